"""What the AT-SPI clients of e2e_accessibility.sh share: their tally of
checks, waiting while the bus's events are dispatched, the program's
application on this session's accessibility bus, accessibles found by role
and name, and the popup menus it shows, which are no children of the
application and are caught as they show. Debian's /usr/bin/python3 with
python3-gi and gir1.2-atspi-2.0."""
import os
import subprocess
import sys
import time
import warnings

import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402

# get_action_name() is the call this Debian's bindings have; newer ones rename it.
warnings.simplefilter("ignore", DeprecationWarning)

tally = {"passed": 0, "failed": 0}
popups = []


def check(what, ok, detail=""):
    print(("PASS: " if ok else "FAIL: ") + what + ("" if ok or not detail else " (%s)" % detail))
    tally["passed" if ok else "failed"] += 1
    return ok


def finish():
    print("%d passed, %d failed" % (tally["passed"], tally["failed"]))
    sys.exit(1 if tally["failed"] else 0)


def wait(fn, timeout):
    """fn()'s first truthy answer within timeout seconds, or None."""
    end = time.time() + timeout
    while time.time() < end:
        while GLib.MainContext.default().iteration(False):
            pass
        try:
            r = fn()
        except GLib.Error:
            r = None
        if r:
            return r
        time.sleep(0.05)
    return None


def _on_showing(event):
    try:
        if event.detail1 and event.source.get_role_name() == "popup menu":
            popups.append(event.source)
    except GLib.Error:
        pass


def connect():
    """Joins the accessibility bus of the session bus in the environment; False when there is none."""
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def address():
        reply = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                                  GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, 2000, None)
        return reply.unpack()[0]
    found = wait(address, 10)
    if not found:
        return False
    os.environ["AT_SPI_BUS_ADDRESS"] = found
    Atspi.init()
    return True


def watch_popups():
    """Starts catching popup menus as they show. Only once the program is up: a
    listener that registers while Qt starts its bridge can be missed by it for
    good, and then no menu is ever seen."""
    watch_popups.listener = Atspi.EventListener.new(_on_showing)
    watch_popups.listener.register("object:state-changed:showing")


def application(pid, timeout=20):
    def look():
        desk = Atspi.get_desktop(0)
        for i in range(desk.get_child_count()):
            a = desk.get_child_at_index(i)
            if a and a.get_process_id() == pid:
                return a
    return wait(look, timeout)


def children(acc):
    return [c for c in (acc.get_child_at_index(i) for i in range(acc.get_child_count())) if c]


def showing(acc):
    return acc.get_state_set().contains(Atspi.StateType.SHOWING)


def find(where, roles, name=None, only_showing=False):
    """The first accessible below where, breadth first, whose role is one of roles and whose name is name."""
    queue = [where]
    while queue:
        a = queue.pop(0)
        try:
            if only_showing and a is not where and not showing(a):
                continue
            if a.get_role_name() in roles and (name is None or a.get_name() == name):
                return a
            queue += children(a)
        except GLib.Error:
            continue


def menu_item(name):
    """The item called name of a popup menu on screen."""
    for menu in reversed(popups):
        try:
            item = showing(menu) and find(menu, ("menu item", "menu"), name, only_showing=True)
            if item:
                return item
        except GLib.Error:
            pass


def extents(acc):
    e = acc.get_extents(Atspi.CoordType.SCREEN)
    return (e.x, e.y, e.width, e.height)


def mouse(x, y, button):
    subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", str(button)], check=True, timeout=20)


def click(acc):
    """A left click on the middle of acc: a menu item's Press would run its dialog inside the call."""
    x, y, w, h = extents(acc)
    mouse(x + w // 2, y + h // 2, 1)


def act(acc, name):
    """Runs acc's action called name; False when it has none."""
    names = [acc.get_action_name(k) for k in range(acc.get_n_actions())]
    if name not in names:
        return False
    acc.do_action(names.index(name))
    return True
