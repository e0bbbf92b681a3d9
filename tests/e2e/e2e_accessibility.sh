#!/usr/bin/env bash
# The real program as a screen reader meets it: on a private Xvfb display
# with openbox, a private session bus and accessibility bus, an AT-SPI
# client lists the desktops of the tab strip and the shortcuts of the active
# desktop, checks their names, states and places, and opens one shortcut by
# its name; that shortcut's script leaves a marker file behind. The arrow
# keys then move the focus from shortcut to shortcut, announced. A second
# client changes the boxes of Common Options with their Toggle action and
# presses Ok, and the saved file must say what the boxes showed.
#
#   usage: e2e_accessibility.sh path/to/vorlane
#
# Needs Xvfb, openbox, xdotool, x11-utils, dbus-daemon, at-spi2-core,
# python3-gi and gir1.2-atspi-2.0 (tools/dev.sh test installs them). Every
# process it starts is stopped by PID, with the services its buses started;
# nothing outside its own temporary folder is touched. E2E_DISPLAY picks the
# display number; otherwise a free one is found.
set -u

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
python=/usr/bin/python3
e2e_prepare vorlane-a11y "${1:-}" Xvfb openbox xdotool xprop xdpyinfo dbus-daemon dbus-send \
    /usr/libexec/at-spi-bus-launcher "$python"
if ! "$python" -c 'import gi; gi.require_version("Atspi", "2.0"); from gi.repository import Atspi' 2>/dev/null; then
    e2e_abort "python3-gi with gir1.2-atspi-2.0 is missing (tools/dev.sh test installs it)"
fi
e2e_start_display
begin_scenario screen-reader
start_a11y_bus || e2e_abort "no accessibility bus"

# --- the desktops ------------------------------------------------------------

cat >"$scene/mark.sh" <<EOF
#!/bin/sh
echo started >>"$scene/marker"
EOF
chmod +x "$scene/mark.sh"
echo "notes" >"$scene/notes.txt"
printf '%s\r\n' '[General]' 'Page_Count=3' 'Active_Page=1' '' \
    '[Page0]' 'Desktop_Caption=Home' '' \
    '[Page1]' 'Desktop_Caption=Work & Play' 'Item_CountTrue=2' '' \
    '[Page1\Item1]' "AttachedFile=$scene/notes.txt" 'Label_Caption=Notes' 'Item_Left=20' 'Item_Top=20' '' \
    '[Page1\Item2]' "AttachedFile=$scene/mark.sh" 'Label_Caption=Leave a mark' 'Item_Left=140' 'Item_Top=20' '' \
    '[Page2]' 'Desktop_Caption=Spare' '' >"$VORLANE_SETTINGS"

# Qt exposes its tree whatever the bus says about screen readers; it finds
# the accessibility bus through the session bus, never by AT_SPI_BUS_ADDRESS.
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=1 start_copy
program=$last_pid

# --- the client ----------------------------------------------------------------

PYTHONPATH="$here" "$python" - "$program" "$scene/marker" <<'EOF'
import os, subprocess, sys, time
from a11y_client import Atspi, GLib, application, check, children, connect, extents, find, finish, wait

pid, marker = int(sys.argv[1]), sys.argv[2]
if not check("the accessibility bus is there", connect()):
    sys.exit(1)


def states(acc):
    s = acc.get_state_set()
    return {n for n, t in (("selected", Atspi.StateType.SELECTED), ("selectable", Atspi.StateType.SELECTABLE),
                           ("focusable", Atspi.StateType.FOCUSABLE), ("showing", Atspi.StateType.SHOWING))
            if s.contains(t)}


def describe(acc, depth=0):
    print("    %s%s \"%s\" %s %s" % ("  " * depth, acc.get_role_name(), acc.get_name(),
                                   sorted(states(acc) - {"showing", "focusable", "selectable"}), extents(acc)))


app = application(pid)
check("the program is on the accessibility bus", app is not None)
if not app:
    sys.exit(1)
strip = wait(lambda: find(app, ("page tab list",), "Desktops"), 10)
check("the tab strip is a page tab list", strip is not None)
page = wait(lambda: find(app, ("list",), "Work & Play"), 10)
check("the page is a list named after the active desktop", page is not None)
if not strip or not page:
    sys.exit(1)

print("  what the client sees:")
describe(strip)
tabs = [c for c in children(strip) if c.get_role_name() == "page tab"]
for t in children(strip):
    describe(t, 1)
describe(page)
items = [c for c in children(page) if c.get_role_name() == "list item"]
for i in items:
    describe(i, 1)
    print("        description \"%s\", actions %s" % (i.get_description(),
          [i.get_action_name(k) for k in range(i.get_n_actions())]))

check("the desktops are listed by caption", [t.get_name() for t in tabs] == ["Home", "Work & Play", "Spare"],
      [t.get_name() for t in tabs])
check("only the active desktop's tab is selected", ["selected" in states(t) for t in tabs] == [False, True, False])
check("the shortcuts of the active desktop are listed by caption",
      [i.get_name() for i in items] == ["Notes", "Leave a mark"], [i.get_name() for i in items])
check("a shortcut is described by its file", items and items[0].get_description().endswith("/notes.txt"))
# A caption wider than the page's margin reaches past its edge, as it is
# painted: the middle of each rectangle is what must lie on the strip or page.
def centred_in(outer, inner):
    x, y = inner[0] + inner[2] // 2, inner[1] + inner[3] // 2
    return inner[2] > 0 and inner[3] > 0 and outer[0] <= x < outer[0] + outer[2] and outer[1] <= y < outer[1] + outer[3]
check("tabs and shortcuts have places on the strip and the page",
      all(centred_in(extents(strip), extents(t)) for t in tabs)
      and all(centred_in(extents(page), extents(i)) for i in items))
check("tabs lie side by side", [extents(t)[0] for t in tabs] == sorted(extents(t)[0] for t in tabs))
at = extents(items[1]) if len(items) > 1 else (0, 0, 0, 0)
hit = page.get_accessible_at_point(at[0] + at[2] // 2, at[1] + at[3] // 2, Atspi.CoordType.SCREEN)
check("a point on a shortcut finds that shortcut", hit is not None and hit.get_name() == "Leave a mark")

mark = find(page, ("list item",), "Leave a mark")
names = [mark.get_action_name(k) for k in range(mark.get_n_actions())] if mark else []
check("the shortcut offers Press", "Press" in names, names)
if "Press" in names:
    mark.do_action(names.index("Press"))
    check("Press opened the shortcut's script", wait(lambda: os.path.exists(marker), 10) is not None)
    time.sleep(1)
    runs = open(marker).read().count("started") if os.path.exists(marker) else 0
    check("exactly once", runs == 1, runs)

# A press on another tab switches desktops, announced to listeners; the page
# then lists that one's shortcuts.
announced = []
def on_selected(event):
    try:
        if event.detail1 == 1:
            announced.append(event.source.get_name())
    except GLib.Error:
        pass
listener = Atspi.EventListener.new(on_selected)
listener.register("object:state-changed:selected")
tabs[0].do_action(0)
check("Press on a tab switches to its desktop",
      wait(lambda: "selected" in states(tabs[0]) and find(app, ("list",), "Home"), 10) is not None)
check("the newly selected tab is announced", wait(lambda: "Home" in announced, 5) is not None, announced)
home = find(app, ("list",), "Home")
check("the switched page lists its own shortcuts (none)",
      home is not None and not [c for c in children(home) if c.get_role_name() == "list item"])

# The keyboard alone: each shortcut the arrow keys make current takes the
# focus, and the reader hears of it.
focused = []
def on_focused(event):
    try:
        if event.detail1 == 1 and event.source.get_role_name() == "list item":
            focused.append(event.source.get_name())
    except GLib.Error:
        pass
focus_listener = Atspi.EventListener.new(on_focused)
focus_listener.register("object:state-changed:focused")
tabs[1].do_action(0)
check("Press on the first tab's neighbour switches back",
      wait(lambda: find(app, ("list",), "Work & Play"), 10) is not None)
windows = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(pid), "--name", "^Vorlane$"],
                         capture_output=True, text=True).stdout.split()
for w in windows:
    subprocess.run(["xdotool", "windowactivate", "--sync", w], capture_output=True, timeout=10)
time.sleep(0.5)
subprocess.run(["xdotool", "key", "Right"])
check("the first arrow gives the top-left shortcut the focus, announced",
      wait(lambda: focused and focused[-1] == "Notes", 5) is not None, focused)
subprocess.run(["xdotool", "key", "Right"])
check("the next arrow moves it to the shortcut on the right, announced",
      wait(lambda: focused and focused[-1] == "Leave a mark", 5) is not None, focused)
mark = find(page, ("list item",), "Leave a mark")
check("that shortcut is focused and selected", mark is not None and "selected" in states(mark)
      and mark.get_state_set().contains(Atspi.StateType.FOCUSED))

finish()
EOF
status=$?
# The client keeps its own tally; a failure there shows the logs here.
((status == 0)) || failed=$((failed + 1))
end_scenario

# --- Common Options by assistive technology -------------------------------------
# A screen reader opens Common Options from the desktop menu, changes the eight
# boxes of its first page with their Toggle action, which clicks nothing, and
# presses Ok: what the boxes show is what the window applies and saves, and
# the two that live outside the settings file (start at logon, several
# copies) are written where start-up reads them.
begin_scenario options
start_a11y_bus || e2e_abort "no accessibility bus"
printf '%s\r\n' '[General]' 'Page_Count=1' 'Active_Page=0' 'Tab_Position=1' 'Tab_Multiline=0' \
    'bStatusBar_Enabled=1' 'Drop_Enabled=0' 'Leave_Missing=1' 'Single_Click=0' '' \
    '[Page0]' 'Desktop_Caption=Options' >"$VORLANE_SETTINGS"
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=1 start_copy
program=$last_pid

PYTHONPATH="$here" "$python" - "$program" <<'EOF'
import sys
from a11y_client import (Atspi, GLib, act, application, check, click, connect, extents, find, finish, menu_item,
                         mouse, showing, wait, watch_popups)

pid = int(sys.argv[1])
if not check("the accessibility bus is there", connect()):
    sys.exit(1)


def checked(acc):
    return acc.get_state_set().contains(Atspi.StateType.CHECKED)


app = application(pid)
page = app and wait(lambda: find(app, ("list",), "Options", only_showing=True), 10)
if not check("the page is on the accessibility bus", page is not None):
    sys.exit(1)
watch_popups()
x, y, w, h = extents(page)
mouse(x + w - 30, y + h - 30, 3)
options = wait(lambda: menu_item("Options"), 10)
if check("the desktop menu offers Options", options is not None):
    click(options)
common = wait(lambda: menu_item("Common Options"), 10)
if not check("Options offers Common Options", common is not None):
    finish()
click(common)
dialog = wait(lambda: find(app, ("dialog",), "Common Options", only_showing=True), 10)
if not check("Common Options opens", dialog is not None):
    finish()

for name in ["Load at startup", "Tabs position on top", "Multiline tabs", "Status Bar Enabled", "Drop Enabled",
             "Leave missing shortcut", "Singe Click", "Multi Instance"]:
    box = find(dialog, ("check box",), name, only_showing=True)
    before = box is not None and checked(box)
    check("\"%s\" toggles to %s" % (name, "unticked" if before else "ticked"),
          box is not None and act(box, "Toggle") and wait(lambda: checked(box) != before, 5) is not None)
ok = find(dialog, ("push button",), "Ok", only_showing=True)
check("Ok is pressed", ok is not None and act(ok, "Press"))


def gone():
    try:
        return not showing(dialog)
    except GLib.Error:
        return True


check("the dialog closes", wait(gone, 10) is not None)
finish()
EOF
options_status=$?
((options_status == 0)) || failed=$((failed + 1))
# A termination signal saves and ends.
if is_running "$program"; then
    kill -TERM "$program"
    wait_for 20 is_gone "$program" || fail "the program still runs 20 s after SIGTERM"
fi
general=$(section_lines General)
for line in Tab_Position=0 Tab_Multiline=1 bStatusBar_Enabled=0 Drop_Enabled=1 Leave_Missing=0 Single_Click=1; do
    check "the file holds $line, as the box showed it" holds_line "$general" "$line"
done
check "Load at startup wrote the autostart entry" test -f "$XDG_CONFIG_HOME/autostart/vorlane.desktop"
registry_holds() { tr -d '\r' <"$VORLANE_REGISTRY" 2>/dev/null | grep -qx "$1"; }
check "Multi Instance is written where start-up reads it" registry_holds 'multiinstance=1'
end_scenario
((status == 0 && failed == 0))
