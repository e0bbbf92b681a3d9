"""Prints the entries of the contents tree in a program's help window, read
over AT-SPI, one a line; exits 1 when none shows within the time allowed.

    help_contents.py PID WINDOW-TITLE [SECONDS]

The program must run with the session bus of this process
(DBUS_SESSION_BUS_ADDRESS, an AT-SPI bus launched on it) and with
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1. Run it with Debian's /usr/bin/python3
(python3-gi, gir1.2-atspi-2.0).
"""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

ITEM_ROLES = ("tree item", "table cell", "list item")


def descendants(node, depth=0):
    yield node
    if depth > 12:
        return
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child:
            yield from descendants(child, depth + 1)


def contents(pid, title):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if not app or app.get_process_id() != pid:
            continue
        for j in range(app.get_child_count()):
            window = app.get_child_at_index(j)
            if not window or window.get_name() != title:
                continue
            for tree in descendants(window):
                if tree.get_role_name() != "tree":
                    continue
                names = [a.get_name() for a in descendants(tree) if a.get_role_name() in ITEM_ROLES]
                names = [n for n in names if n]
                if names:
                    return names
    return []


def main():
    pid, title = int(sys.argv[1]), sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 10.0
    Atspi.init()
    end = time.time() + seconds
    while True:
        try:
            names = contents(pid, title)
        except GLib.Error:  # a window went away under us: look again
            names = []
        if names:
            for name in names:
                print(name)
            return 0
        if time.time() > end:
            return 1
        time.sleep(0.2)


sys.exit(main())
