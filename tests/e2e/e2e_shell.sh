#!/usr/bin/env bash
# End-to-end checks of the window's ties to the desktop around it, on the
# real program under a private Xvfb display with openbox, driven by
# xdotool: a file and a web link dragged in with the real mouse from a GTK
# window (XDND), with Shift and with Shift+Ctrl; the close box with and
# without a notification area; the notification-area icon (double click,
# its menu); F1 and the help window with its contents (read over AT-SPI);
# the button that rolls the window up into a strip at the top of the
# screen and back. Judged from outside: X properties and geometry, process
# states, what the drag's source was asked for and told, the accessible
# tree and the settings file.
#
#   usage: e2e_shell.sh path/to/vorlane
#
# Needs Xvfb, openbox, xdotool, x11-utils, wmctrl, trayer, dbus-daemon,
# at-spi2-core, and GTK 3 and AT-SPI for Debian's python3 (tools/dev.sh
# test installs them). The help check needs the manual beside the program
# (the build puts it there). Every process it starts is stopped by PID when
# it ends; nothing outside its own temporary folder is touched.
set -u

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
# GTK comes with Debian's python, not with whatever python3 is first on
# the PATH.
python=/usr/bin/python3
e2e_prepare vorlane-e2e-shell "${1:-}" Xvfb openbox xdotool xprop xwininfo xdpyinfo wmctrl trayer \
    dbus-daemon dbus-send /usr/libexec/at-spi-bus-launcher "$python"
if ! "$python" -c 'import gi; gi.require_version("Gtk", "3.0"); gi.require_version("Atspi", "2.0"); from gi.repository import Gtk, Atspi' 2>/dev/null; then
    e2e_abort "GTK 3 or AT-SPI for $python is missing (python3-gi, gir1.2-gtk-3.0, gir1.2-atspi-2.0)"
fi
# No session bus: the tray icon is then the embedded window of the
# notification-area protocol, which the test can find and click, on every
# machine alike.
unset DBUS_SESSION_BUS_ADDRESS

# A desktop painted pure red, the window where $1 (left top width height)
# puts it, tabs on top.
write_settings() {
    local left top width height
    read -r left top width height <<<"$1"
    printf '[General]\r\nPage_Count=1\r\nActive_Page=0\r\nTab_Position=1\r\nFormMaximized_Key=0\r\nFormLeft_Key=%d\r\nFormTop_Key=%d\r\nFormWidth_Key=%d\r\nFormHeight_Key=%d\r\n\r\n[Page0]\r\nDesktop_Caption=Work\r\nBG_Color=255\r\n' \
        "$left" "$top" "$width" "$height" >"$VORLANE_SETTINGS"
}

# A polite close, as the close box does it: the window manager sends
# WM_DELETE_WINDOW (xdotool's windowclose would destroy the window instead).
close_box() { wmctrl -i -c "$(printf '0x%x' "$1")"; }

# SIGTERM saves, then ends; true when it ended with status 0.
term_and_wait() {
    kill -TERM "$1"
    if ! wait_for 10 is_gone "$1"; then
        fail "the program still runs 10 s after SIGTERM"
        return 1
    fi
    check "it ends with status 0 after SIGTERM" status_of "$1"
}

# Section text $1 places its element at $2 $3.
places_at() { holds_line "$1" "Item_Left=$2" && holds_line "$1" "Item_Top=$3"; }
no_command() { ! grep -q '^CommandString=.' <<<"$1"; }

# Absolute geometry of window $1 as "x y width height".
geometry_of() {
    window_info "$1" | awk -F: '
        /Absolute upper-left X/ { x = $2 + 0 } /Absolute upper-left Y/ { y = $2 + 0 }
        /^ *Width/ { w = $2 + 0 } /^ *Height/ { h = $2 + 0 }
        END { if (w) print x, y, w, h; else exit 1 }'
}

# --- the screen's pixels ----------------------------------------------------

# Where the red page of window $1 begins on the screen: the first red pixel
# down the column through the window's middle, then along that row. Sets
# page_sx and page_sy (screen) and page_y (in the window).
page_sx=
page_sy=
page_y=
find_page_origin() {
    local ax ay width height dx
    fb_layout || return 1
    read -r ax ay width height <<<"$(geometry_of "$1")" || return 1
    [ -n "$height" ] || return 1
    page_y=$(fb_first_red_down $((ax + width / 2)) "$ay" 100) || return 1
    dx=$(fb_row "$ax" $((ay + page_y + 10)) 100 | first_red) || return 1
    page_sx=$((ax + dx)) page_sy=$((ay + page_y))
}

# Starts a copy on the settings file as written, waits for its window and
# finds where its red page begins; false, with the failure told, if not.
start_on_red_page() {
    start_and_wait_window || { fail "no window"; return 1; }
    # The pointer is drawn into the framebuffer: keep it out of the way.
    xdotool mousemove 0 0
    wait_for 10 find_page_origin "$win" || { fail "no red page found in the window's pixels"; return 1; }
}

# --- scenarios --------------------------------------------------------------

# Starts the drag source $1 (title) with its arguments; waits for its window,
# moves it to screen point $2 $3 and sets source_pid and source_win.
source_pid=
source_win=
start_source() {
    local title=$1 x=$2 y=$3 log w
    shift 3
    log="$scene/source-${title// /-}.log"
    "$python" "$here/drag_source.py" "$title" "$@" >"$log" 2>&1 </dev/null &
    source_pid=$!
    helpers+=("$source_pid")
    source_win=
    local steps=100
    while ((steps-- > 0)); do
        for w in $(xdotool search --all --pid "$source_pid" --name "^$title\$" 2>/dev/null); do
            [ "$(map_state "$w")" = IsViewable ] && source_win=$w
        done
        [ -n "$source_win" ] && break
        sleep 0.1
    done
    [ -n "$source_win" ] || return 1
    xdotool windowmove --sync "$source_win" "$x" "$y" >/dev/null 2>&1
    sleep 0.3
}
source_said() { grep -qxF -- "$2" "$scene/source-${1// /-}.log" 2>/dev/null; }

# A drag with the real mouse from the middle of window $1 to screen point
# $2 $3, in steps with pauses: XDND needs time between them. $4: keys held
# from just after the press until after the release (xdotool's names).
drag_to_screen() {
    local sx sy sw sh i steps=12 keys=${4-}
    read -r sx sy sw sh <<<"$(geometry_of "$1")"
    local x0=$((sx + sw / 2)) y0=$((sy + sh / 2))
    xdotool mousemove "$x0" "$y0"
    sleep 0.3
    xdotool mousedown 1
    sleep 0.3
    [ -n "$keys" ] && xdotool keydown "$keys"
    for ((i = 1; i <= steps; i++)); do
        xdotool mousemove $((x0 + ($2 - x0) * i / steps)) $((y0 + ($3 - y0) * i / steps))
        sleep 0.1
    done
    # The last position message and its answer before the release.
    xdotool mousemove "$2" "$3"
    sleep 0.3
    xdotool mouseup 1
    sleep 0.3
    [ -n "$keys" ] && xdotool keyup "$keys"
    sleep 0.2
}
source_lines() { grep -c -- "$2" "$scene/source-${1// /-}.log" 2>/dev/null; }

scenario_drops() {
    begin_scenario drops
    write_settings "700 100 900 600"
    mkdir -p "$scene/files"
    # A launcher with a blank in its name: the list carries it as %20, and
    # the caption leaves the ending off.
    local file="$scene/files/Team Notes.desktop"
    printf '[Desktop Entry]\nType=Link\nName=Team Notes\nURL=file:///tmp\n' >"$file"
    local address="https://example.org/plans?id=7&view=full"
    local title="Plans for Q3 – draft"
    if ! start_on_red_page; then
        end_scenario
        return
    fi
    local pid=$last_pid w=$win
    echo "    (the page begins at $page_sx,$page_sy on the screen)"
    local file_src link_src
    if start_source "File source" 40 700 uri-list "$file"; then
        file_src=$source_win
    else
        fail "the file's drag source shows no window"
    fi
    if start_source "Link source" 340 700 moz-url "$address" "$title"; then
        link_src=$source_win
    else
        fail "the link's drag source shows no window"
    fi

    # Page points (300,150) and (520,330): the shortcuts go 16 pixels to
    # the left of the pointer, at its height.
    if [ -n "${file_src-}" ]; then
        drag_to_screen "$file_src" $((page_sx + 300)) $((page_sy + 150))
        check "the file's drop ends with the effect copy" wait_for 5 source_said "File source" "end copy"
        check "... after the list was asked for" source_said "File source" "data text/uri-list"
    fi
    if [ -n "${link_src-}" ]; then
        drag_to_screen "$link_src" $((page_sx + 520)) $((page_sy + 330))
        check "the link's drop ends with the effect copy" wait_for 5 source_said "Link source" "end copy"
    fi
    if [ -n "${file_src-}" ]; then
        # Shift makes a GTK source offer a move alone: granting it would let a
        # file manager delete the file, so the drop is refused.
        drag_to_screen "$file_src" $((page_sx + 300)) $((page_sy + 400)) shift
        check "with Shift the file's drag is refused" wait_for 5 source_said "File source" "end none"
        check "... and never ends as a move" test "$(source_lines "File source" "^end move")" = 0
        # Shift and Ctrl: a link.
        drag_to_screen "$file_src" $((page_sx + 100)) $((page_sy + 400)) ctrl+shift
        check "with Shift and Ctrl the file's drop ends with the effect link" \
            wait_for 5 source_said "File source" "end link"
    fi
    check "the program keeps running" is_running "$pid"
    sleep 0.3
    term_and_wait "$pid"
    check "the desktop counts three shortcuts: the refused drag made none" \
        holds_line "$(section_lines Page0)" "Item_CountTrue=3"
    local section
    section=$(item_section_of "$file")
    if [ -n "$section" ]; then
        pass "a shortcut holds the dropped file, blank and all"
        check "its caption is the file's name without .desktop" holds_line "$section" "Label_Caption=Team Notes"
        check "it has no command string" no_command "$section"
        check "it sits 16 pixels left of the drop point, at its height (284,150)" places_at "$section" 284 150
    else
        fail "no shortcut with AttachedFile=$file"
    fi
    check "the linked drop made the third shortcut, at (84,400)" places_at "$(section_lines 'Page0\Item3')" 84 400
    section=$(item_section_of "$address")
    if [ -n "$section" ]; then
        pass "a shortcut holds the link's address"
        check "its caption is the link's title ($title)" holds_line "$section" "Label_Caption=$title"
        check "it has no command string" no_command "$section"
        check "it sits 16 pixels left of the drop point, at its height (504,330)" places_at "$section" 504 330
    else
        fail "no shortcut with AttachedFile=$address"
    fi
    if ((failed > scene_failed_before)); then
        tr -d '\r' <"$VORLANE_SETTINGS" | grep -E '^(\[Page0|AttachedFile=|Label_Caption=|Item_Left=|Item_Top=|Item_CountTrue=)' | sed 's/^/    | /'
    fi
    end_scenario
}

scenario_close_without_tray() {
    begin_scenario close-without-tray
    write_settings "300 200 700 500"
    if start_and_wait_window; then
        local pid=$last_pid w=$win
        close_box "$w"
        check "with no notification area the close box minimises the window" wait_for 10 minimised "$w"
        sleep 0.5
        check "the program keeps running" is_running "$pid"
    else
        fail "no window"
    fi
    end_scenario
}

# The embedded icon of copy $1 inside the tray host's window $2: a window
# of the program's that is a descendant of the host's. Sets icon.
icon=
find_tray_icon() {
    local tree w
    [ -n "$2" ] || return 1
    tree=$(xwininfo -tree -id "$2" 2>/dev/null) || return 1
    for w in $(xdotool search --all --pid "$1" --onlyvisible --name '.*' 2>/dev/null); do
        if grep -q "^ *$(printf '0x%x' "$w") " <<<"$tree"; then
            icon=$w
            return 0
        fi
    done
    return 1
}

tray_host_win=
find_tray_host() {
    local w
    for w in $(xdotool search --all --pid "$1" --onlyvisible --name '.*' 2>/dev/null); do
        tray_host_win=$w
        return 0
    done
    return 1
}

scenario_tray() {
    begin_scenario tray
    write_settings "300 200 700 500"
    trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 32 \
        >"$scene/trayer.log" 2>&1 </dev/null &
    local host=$!
    helpers+=("$host")
    if ! wait_for 10 find_tray_host "$host"; then
        fail "the tray host shows no window"
        end_scenario
        return
    fi
    sleep 0.5
    if ! start_and_wait_window; then
        fail "no window"
        end_scenario
        return
    fi
    local pid=$last_pid w=$win
    if wait_for 10 find_tray_icon "$pid" "$tray_host_win"; then
        pass "the program's icon sits in the notification area"
    else
        fail "no icon of the program inside the tray host's window"
        xwininfo -tree -id "$tray_host_win" 2>/dev/null | sed 's/^/    | /'
        end_scenario
        return
    fi
    close_box "$w"
    check "the close box minimises the window" wait_for 10 minimised "$w"
    sleep 0.5
    check "the program keeps running" is_running "$pid"
    xdotool mousemove --window "$icon" 4 4
    sleep 0.3
    xdotool click --repeat 2 --delay 80 1
    check "a double click on the icon shows the window again" wait_for 10 viewable "$w"
    check "... and gives it the focus" wait_for 10 has_focus "$w"

    # The icon's menu: About, a separator, Exit. Exit saves and ends.
    rm -f "$VORLANE_SETTINGS"
    xdotool mousemove --window "$icon" 4 4
    sleep 0.3
    xdotool click 3
    if wait_for 10 popup_shown "$pid"; then
        sleep 0.3
        press Down Down Return
        if wait_for 10 is_gone "$pid"; then
            pass "\"Exit\" in the icon's menu ends the program"
            check "it ends with status 0" status_of "$pid"
            check "... after saving the settings" eval 'holds_line "$(section_lines Page0)" "Desktop_Caption=Work"'
        else
            fail "the program still runs 10 s after \"Exit\" in the icon's menu"
        fi
    else
        fail "no menu after a right click on the icon"
    fi
    end_scenario
}

# Mapped windows of copy $1 titled exactly $2, one id a line.
windows_titled() {
    local w
    for w in $(xdotool search --all --pid "$1" --name "^$2\$" 2>/dev/null); do
        [ "$(map_state "$w")" = IsViewable ] || continue
        [ "$(xprop -id "$w" _NET_WM_NAME 2>/dev/null)" = "_NET_WM_NAME(UTF8_STRING) = \"$2\"" ] && echo "$w"
    done
}
one_window_titled() { [ "$(windows_titled "$1" "$2" | wc -l)" = 1 ]; }

scenario_help() {
    begin_scenario help
    write_settings "300 200 700 500"
    local manual title
    manual="$(dirname "$bin")/vorlane.chm"
    if ! title=$("$python" "$here/chm_title.py" "$manual"); then
        fail "no manual with a title beside the program ($manual)"
        end_scenario
        return
    fi
    local a11y=0
    if start_a11y_bus; then a11y=1; else fail "no accessibility bus: the contents cannot be read"; fi
    if QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 start_and_wait_window; then
        local pid=$last_pid w=$win
        if focus_window "$w"; then
            press F1
            if wait_for 10 one_window_titled "$pid" "$title"; then
                pass "F1 opens the help window titled as the manual (\"$title\")"
                local viewer
                viewer=$(windows_titled "$pid" "$title")
                check "... a window of its own" test "$viewer" != "$w"
                if ((a11y)); then
                    local entries
                    if entries=$("$python" "$here/help_contents.py" "$pid" "$title" 10 2>"$scene/contents.log"); then
                        pass "its contents tree lists the manual's topics ($(wc -l <<<"$entries"), the first \"$(head -n 1 <<<"$entries")\")"
                    else
                        fail "its contents tree shows no topic"
                    fi
                fi
                # Once more from the main window: the same help window comes
                # to the front, no second one.
                focus_window "$w" && press F1
                sleep 0.5
                check "a second F1 opens no second help window" one_window_titled "$pid" "$title"
                check "... and brings the help window to the front" wait_for 10 has_focus "$viewer"
            else
                fail "no window \"$title\" within 10 s of F1"
                xdotool search --all --pid "$pid" --name '.*' 2>/dev/null | while read -r id; do
                    echo "    | $id $(xprop -id "$id" _NET_WM_NAME 2>/dev/null)"
                done
            fi
        else
            fail "the window does not take the focus"
        fi
        check "the program keeps running" is_running "$pid"
    else
        fail "no window"
    fi
    end_scenario
    unset DBUS_SESSION_BUS_ADDRESS
}

# The main window of copy $1 in any form: titled "Vorlane" and shown. (The
# strip lists a type of its own before NORMAL.) Sets win.
find_shown_window() {
    local w
    for w in $(xdotool search --all --pid "$1" --name '^Vorlane$' 2>/dev/null); do
        [ "$(map_state "$w")" = IsViewable ] || continue
        win=$w
        return 0
    done
    return 1
}
frame_extents() { xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/^.*= *//p' | tr -d ' '; }
wm_states() { xprop -id "$1" _NET_WM_STATE 2>/dev/null; }

# A click on the button at the right end of the tab row of window $1, $2
# pixels down; then the window in its other form (framed or not, as $3
# says) is shown. Sets win.
click_caption_button() {
    local width
    width=$(window_info "$1" | sed -n 's/^ *Width: *//p')
    [ -n "$width" ] || return 1
    xdotool mousemove --window "$1" $((width - 6)) "$2"
    sleep 0.2
    xdotool click 1
    sleep 0.5
    if [ "$3" = strip ]; then
        wait_for 10 eval 'find_shown_window "$pid" && [ "$(frame_extents "$win")" = 0,0,0,0 ]'
    else
        wait_for 10 eval 'find_shown_window "$pid" && [ "$(frame_extents "$win")" != 0,0,0,0 ]'
    fi
}
maximised() { wm_states "$1" | grep -q _NET_WM_STATE_MAXIMIZED_VERT && wm_states "$1" | grep -q _NET_WM_STATE_MAXIMIZED_HORZ; }
geometry_is() { [ "$(geometry_of "$1")" = "$2" ]; }

scenario_compact_strip() {
    begin_scenario compact-strip
    write_settings "300 200 700 500"
    if ! start_on_red_page; then
        end_scenario
        return
    fi
    local pid=$last_pid w=$win
    local before frames
    before=$(geometry_of "$w")
    frames=$(frame_extents "$w")
    echo "    (window at $before, frame $frames, tabs $page_y pixels high)"
    # The tab row ends in the button; the page follows the row.
    local by=$((page_y / 2))
    if ! click_caption_button "$w" "$by" strip; then
        fail "no strip after a click on the button at the tab row's end"
        end_scenario
        return
    fi
    local strip=$win x y sw sh
    read -r x y sw sh <<<"$(geometry_of "$strip")"
    echo "    (the strip: $x $y $sw $sh)"
    check "the strip touches the top of the screen" test "$y" = 0
    # Four button widths in from either side, as wide as the rest.
    check "it is centred, four button widths in from either side" \
        test "$x" -gt 0 -a $((x % 4)) = 0 -a "$sw" = $((screen_w - 2 * x + 2))
    check "it is low: one row of tabs" test "$sh" -ge 10 -a "$sh" -lt 80
    check "it stays above other windows" eval 'wm_states "$strip" | grep -q _NET_WM_STATE_ABOVE'
    # The tabs alone: not a pixel of the (red) page under them.
    sleep 0.3
    check "no band of the page shows under the tabs" \
        eval '! fb_first_red_down $((x + sw / 2)) "$y" "$sh" && ! fb_first_red_down $((x + sw - 60)) "$y" "$sh"'
    check "the program keeps running" is_running "$pid"

    if click_caption_button "$strip" "$by" window; then
        local back=$win
        check "a second click restores the window exactly ($before)" wait_for 5 geometry_is "$back" "$before"
        check "... with its frame ($frames)" test "$(frame_extents "$back")" = "$frames"
        check "... no longer above other windows" eval '! wm_states "$back" | grep -q _NET_WM_STATE_ABOVE'

        # Rolled up while maximised: out again maximised, and restored
        # from that to where it was before.
        wmctrl -i -r "$(printf '0x%x' "$back")" -b add,maximized_vert,maximized_horz
        if wait_for 10 maximised "$back" && sleep 0.3 && click_caption_button "$back" "$by" strip \
            && click_caption_button "$win" "$by" window; then
            back=$win
            check "a window rolled up while maximised comes back maximised" wait_for 5 maximised "$back"
            wmctrl -i -r "$(printf '0x%x' "$back")" -b remove,maximized_vert,maximized_horz
            check "... and restores to its place before ($before)" wait_for 5 geometry_is "$back" "$before"
        else
            fail "the maximised window does not roll up and out again"
        fi
    else
        fail "no window after a click on the strip's button"
    fi
    if ((failed > scene_failed_before)); then
        find_shown_window "$pid" && echo "    (now: $(geometry_of "$win"), frame $(frame_extents "$win"); $(wm_states "$win"))"
    fi
    end_scenario
}

# The window of the settings file from anywhere: `vorlane --show` and
# `--toggle` act on the copy that runs on it, also when several copies may
# run, and start one when none does.
framed_window_shown() { find_shown_window "$1" && [ "$(frame_extents "$win")" != 0,0,0,0 ]; }
# Copies on this scenario's settings file (other runs may share the machine).
vorlane_processes() {
    local comm n=0
    for comm in $(grep -lx vorlane /proc/[0-9]*/comm 2>/dev/null); do
        tr '\0' '\n' <"${comm%/comm}/environ" 2>/dev/null | grep -qxF "VORLANE_SETTINGS=$VORLANE_SETTINGS" && n=$((n + 1))
    done
    echo "$n"
}

scenario_show_toggle() {
    begin_scenario show-toggle
    write_settings "300 200 700 500"
    printf '[HKEY_LOCAL_MACHINE\\Software\\Quendry\\Vorlane]\r\nmultiinstance=1\r\n' >"$VORLANE_REGISTRY"
    if ! start_on_red_page; then
        end_scenario
        return
    fi
    local pid=$last_pid w=$win before
    before=$(vorlane_processes)
    focus_window "$w" || fail "the window does not take the focus"
    check "--toggle ends at once with status 0" timeout 5 "$bin" --toggle
    check "... and hides the window that was shown and active" wait_for 10 minimised "$w"
    check "--toggle again brings it back" timeout 5 "$bin" --toggle
    check "... shown" wait_for 10 viewable "$w"
    local by=$((page_y / 2))
    # Back and settled: the click lands on the button only then.
    focus_window "$w" || fail "the window does not take the focus again"
    if click_caption_button "$w" "$by" strip; then
        check "--show ends at once with status 0" timeout 5 "$bin" --show
        check "... and rolls the compact strip out into the window" wait_for 10 framed_window_shown "$pid"
        w=$win
    else
        fail "no strip after a click on the button at the tab row's end"
    fi
    check "with several copies allowed, none more started" test "$(vorlane_processes)" = "$before"

    # The key that calls the window from anywhere, Ctrl+Alt+Space unless
    # the user chose another.
    focus_window "$w" || fail "the window does not take the focus"
    xdotool key --delay 60 ctrl+alt+space
    check "Ctrl+Alt+Space hides the active window" wait_for 10 minimised "$w"
    xdotool key --delay 60 ctrl+alt+space
    check "... and calls it back from anywhere" wait_for 10 viewable "$w"
    term_and_wait "$pid"

    # Switched off (an empty choice): the key is left to others.
    printf '[HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane]\r\nToggleShortcut=\r\n' >>"$VORLANE_REGISTRY"
    if start_on_red_page; then
        pid=$last_pid w=$win
        focus_window "$w" || fail "the window does not take the focus"
        xdotool key --delay 60 ctrl+alt+space
        sleep 1
        check "switched off, the key leaves the window alone" viewable "$w"
        term_and_wait "$pid"
    fi

    # None runs: it starts one.
    (exec "$bin" --show) >>"$scene/vorlane.log" 2>&1 </dev/null &
    last_pid=$!
    helpers+=("$last_pid")
    check "--show starts Vorlane when none runs on the file" wait_for 20 find_main_window "$last_pid"
    rm -f "$VORLANE_REGISTRY"
    end_scenario
}

# Started maximised, the window still knows its normal size: restored, it
# takes the one the file holds, and the next save keeps that one.
scenario_maximised_start() {
    begin_scenario maximised-start
    write_settings "300 200 700 500"
    sed -i 's/^FormMaximized_Key=0\r$/FormMaximized_Key=1\r/' "$VORLANE_SETTINGS"
    if ! start_and_wait_window; then
        fail "no window"
        end_scenario
        return
    fi
    local pid=$last_pid w=$win width height
    check "it starts maximised" wait_for 10 maximised "$w"
    wmctrl -i -r "$(printf '0x%x' "$w")" -b remove,maximized_vert,maximized_horz
    read -r _ _ width height <<<"$(geometry_of "$w")"
    wait_for 5 eval '! maximised "$w" && read -r _ _ width height <<<"$(geometry_of "$w")" && [ "$width $height" = "700 500" ]'
    read -r _ _ width height <<<"$(geometry_of "$w")"
    check "restored, it takes the saved size 700x500 (now ${width}x$height)" test "$width $height" = "700 500"
    if term_and_wait "$pid"; then
        local general
        general=$(section_lines General)
        check "the save keeps it" eval 'holds_line "$general" FormMaximized_Key=0 && holds_line "$general" FormWidth_Key=700 && holds_line "$general" FormHeight_Key=500'
    fi
    end_scenario
}

# --- main -------------------------------------------------------------------

e2e_start_display
scenario_drops
scenario_close_without_tray
scenario_tray
scenario_help
scenario_compact_strip
scenario_show_toggle
scenario_maximised_start
e2e_finish
