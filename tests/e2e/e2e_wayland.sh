#!/usr/bin/env bash
# End-to-end checks of the real program under Wayland, on a private headless
# weston drawing with pixman (so that its screenshots hold pixels), judged
# from what the program writes to standard error and from weston's
# screenshots: a start shows the window and says nothing (no notification
# area there: no icon, and no warning about one), and a question's title
# bar, which Qt draws itself there, holds its whole caption. Weston's
# headless output has no seat: nothing here is clicked or typed, so the
# menus and the compact strip are checked in tst_shell instead.
#
#   usage: e2e_wayland.sh path/to/vorlane
#
# Needs weston, Qt's Wayland platform (qt6-wayland) and Debian's python3
# (tools/dev.sh test installs them). Every process it starts is stopped by
# PID when it ends; nothing outside its own temporary folder is touched.
set -u

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
python=/usr/bin/python3
e2e_prepare vorlane-e2e-wayland "${1:-}" weston weston-screenshooter "$python"
if ! compgen -G '/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so' >/dev/null; then
    e2e_abort "Qt's Wayland platform is missing (qt6-wayland)"
fi
unset DISPLAY DBUS_SESSION_BUS_ADDRESS
export QT_QPA_PLATFORM=wayland

# --- the compositor ---------------------------------------------------------

weston_pid=
stop_weston() { [ -n "$weston_pid" ] && stop_pid "$weston_pid"; }
cleanup_hooks+=(stop_weston)
start_weston() {
    mkdir -m 700 "$tmp/wayland"
    # An absolute name: each scenario has a runtime folder of its own.
    export WAYLAND_DISPLAY="$tmp/wayland/vorlane-e2e"
    XDG_RUNTIME_DIR="$tmp/wayland" weston --backend=headless-backend.so --use-pixman --socket=vorlane-e2e \
        --idle-time=0 --width=1024 --height=768 --debug >"$tmp/weston.log" 2>&1 </dev/null &
    weston_pid=$!
    wait_for 15 test -S "$WAYLAND_DISPLAY"
}

# A screenshot of the whole output; its path in $shot.
shot=
screenshot() {
    local dir="$scene/shots"
    mkdir -p "$dir"
    rm -f "$dir"/*.png
    (cd "$dir" && timeout 10 weston-screenshooter >/dev/null 2>&1) || return 1
    shot=$(ls "$dir"/*.png 2>/dev/null | head -n 1)
    [ -n "$shot" ]
}
red_page_shown() { screenshot && [ "$("$python" "$here/wayland_shot.py" red "$shot")" -gt 20000 ]; }
caption_offset= symbols_right=
question_shown() { screenshot && read -r caption_offset symbols_right < <("$python" "$here/wayland_shot.py" title "$shot"); [ -n "$symbols_right" ]; }

# --- scenarios --------------------------------------------------------------

scenario_quiet_start() {
    begin_scenario quiet-start
    printf '[General]\r\nPage_Count=1\r\nActive_Page=0\r\n\r\n[Page0]\r\nDesktop_Caption=Work\r\nBG_Color=255\r\n' \
        >"$VORLANE_SETTINGS"
    start_copy
    local pid=$last_pid
    if wait_for 20 red_page_shown; then
        pass "the window shows its (red) page"
        # The notification-area icon is asked for once the desktops are loaded.
        sleep 1
        check "the program keeps running" is_running "$pid"
        if [ -s "$scene/vorlane.log" ]; then
            fail "the start says nothing on standard error"
            sed 's/^/    | /' "$scene/vorlane.log"
        else
            pass "the start says nothing on standard error"
        fi
    else
        fail "no window with the red page within 20 s"
    fi
    end_scenario
}

scenario_question_title() {
    begin_scenario question-title
    printf '[General]\r\nPage_Count=1\r\nActive_Page=0\r\n\r\n[Page0]\r\nDesktop_Caption=Work\r\nPassword=56\r\nPassword_On_Desktop=1\r\n' \
        >"$VORLANE_SETTINGS"
    start_copy
    if wait_for 20 question_shown; then
        echo "    (the caption lies $caption_offset pixels off the middle of its bar, $symbols_right symbols right of it)"
        # A caption cut short runs into the first of the three buttons.
        check "the title bar of \"Password for Work Desktop\" holds the whole caption" test "$symbols_right" = 3
    else
        fail "no start-up question \"Password for Work Desktop\" within 20 s"
    fi
    end_scenario
}

# --- main -------------------------------------------------------------------

if ! start_weston; then
    cat "$tmp/weston.log" 2>/dev/null
    e2e_abort "weston did not come up (see above)"
fi
echo "weston $weston_pid at $WAYLAND_DISPLAY"
started_all=$EPOCHREALTIME
scenario_quiet_start
scenario_question_title
e2e_finish
