#!/usr/bin/env bash
# End-to-end checks of the real program where the user's data crosses its
# edge, on a private Xvfb display with openbox: a settings file that is a
# FIFO, another program replacing the settings file while the window runs,
# and a full disk under "Save All" (a small tmpfs, when it can be mounted:
# CI runs as root). Judged from outside: window titles, process states,
# the settings file and the history folder beside it.
#
#   usage: e2e_edges.sh path/to/vorlane
set -u

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
e2e_prepare vorlane-edges "${1:-}" Xvfb openbox xdotool xprop xwininfo xdpyinfo

file_sum() { md5sum <"$VORLANE_SETTINGS" 2>/dev/null || echo absent; }
history_holds() { grep -lqsF -- "$1" "$scene"/vorlane.history/vorlane-*.ini; }
ends_within() {
    local pid=$1 seconds=$2 t0=$EPOCHREALTIME
    if wait_for "$seconds" is_gone "$pid"; then
        echo "    (ended $(since "$t0") s after SIGTERM)"
        return 0
    fi
    return 1
}

dump_returns() { timeout 10 "$bin" --dump-model >/dev/null 2>&1; }

scenario_fifo() {
    begin_scenario fifo-settings
    mkfifo "$VORLANE_SETTINGS"
    # A reader that waits for the FIFO's writer never comes back.
    check "--dump-model of a FIFO returns at once" dump_returns
    start_copy
    local pid=$last_pid
    if wait_for 20 find_dialog_titled "$pid" Vorlane; then
        pass "the start-up says the settings file cannot be read"
        kill -TERM "$pid"
        if ends_within "$pid" 2; then
            pass "SIGTERM over the message ends the program within 2 s"
            check "it ends with status 0" status_of "$pid"
        else
            fail "the program still runs 2 s after SIGTERM"
        fi
    else
        fail "no message within 20 s: the start hangs on the FIFO"
    fi
    check "the FIFO is still a FIFO" test -p "$VORLANE_SETTINGS"
    end_scenario
}

# Another program (a sync tool, an editor, another copy) replaces the file.
replace_settings() {
    printf '[General]\r\nPage_Count=1\r\n\r\n[Page0]\r\nDesktop_Caption=%s\r\n' "$1" >"$scene/other.ini"
    mv "$scene/other.ini" "$VORLANE_SETTINGS"
}

scenario_replaced() {
    local answer=$1
    begin_scenario "replaced-$answer"
    printf '[General]\r\nPage_Count=1\r\n\r\n[Page0]\r\nDesktop_Caption=Mine\r\n' >"$VORLANE_SETTINGS"
    start_and_wait_window || fail "no window"
    local pid=$last_pid w=$win
    replace_settings Theirs
    if focus_window "$w"; then
        press ctrl+s
        if wait_for 10 find_dialog_titled "$pid" Warning && focus_dialog "$found"; then
            pass "Save All asks before it replaces the other program's version"
            check "that version is kept in the history first" history_holds "Desktop_Caption=Theirs"
            # Escape is No: save this session over it; Return is Yes.
            if [ "$answer" = no ]; then press Escape; else press Return; fi
            check "the question closes" wait_for 10 window_gone "$found"
        else
            fail "Save All replaced the other program's version without a word"
        fi
    else
        fail "the window does not take the focus"
    fi
    if [ "$answer" = no ]; then
        check "the session is saved over it" wait_for 10 grep -qF "Desktop_Caption=Mine" "$VORLANE_SETTINGS"
        # Told once; later versions still go into the history first.
        replace_settings Theirs2
        focus_window "$w" && press ctrl+s
        check "the next save saves at once" wait_for 10 grep -qF "Desktop_Caption=Mine" "$VORLANE_SETTINGS"
        check "... without asking again" test -z "$(find_dialog_titled "$pid" Warning && echo asked)"
        check "... after keeping the newer version too" history_holds "Desktop_Caption=Theirs2"
    else
        check "the other version stays in the file" grep -qF "Desktop_Caption=Theirs" "$VORLANE_SETTINGS"
        check "this session is kept in the history" wait_for 10 history_holds "Desktop_Caption=Mine"
    fi
    kill -TERM "$pid"
    ends_within "$pid" 10 && check "it ends with status 0" status_of "$pid"
    if [ "$answer" = yes ]; then
        check "the window showed the other version and saved it at the end" grep -qF "Desktop_Caption=Theirs" "$VORLANE_SETTINGS"
    fi
    end_scenario
}

scenario_full_disk() {
    begin_scenario full-disk
    local small="$scene/small"
    mkdir -p "$small"
    if [ "$(id -u)" != 0 ] || ! mount -t tmpfs -o size=256k tmpfs "$small" 2>/dev/null; then
        echo "SKIP: a small file system cannot be mounted here (needs root)"
        end_scenario
        return
    fi
    export VORLANE_SETTINGS="$small/vorlane.ini"
    # Most keys left out: any save writes more than is left. Small, so that
    # all of it sits in one write buffer, whose failure comes last.
    printf '[General]\r\nPage_Count=1\r\n\r\n[Page0]\r\nDesktop_Caption=Work\r\n' >"$VORLANE_SETTINGS"
    dd if=/dev/zero of="$small/filler" bs=4k >/dev/null 2>&1
    local before
    before=$(file_sum)
    start_and_wait_window || fail "no window"
    local pid=$last_pid w=$win
    if focus_window "$w"; then
        press ctrl+s
        if wait_for 10 find_dialog_titled "$pid" Vorlane; then
            pass "Save All on a full disk says it failed"
            focus_dialog "$found" && press Return
        else
            fail "Save All on a full disk reported nothing"
        fi
    else
        fail "the window does not take the focus"
    fi
    check "the settings file is byte for byte as it was" test "$(file_sum)" = "$before"
    # Beside the file and its filler only the running window's mark.
    local left
    left=$(ls -A "$small" | grep -vx -e filler -e vorlane.ini -e vorlane.ini.running | tr '\n' ' ')
    check "no temporary file is left ($left)" test -z "$left"
    kill -TERM "$pid"
    ends_within "$pid" 10 && check "it ends with status 0" status_of "$pid"
    check "the end leaves the settings file as it was too" test "$(file_sum)" = "$before"
    umount "$small"
    end_scenario
}

e2e_start_display
scenario_fifo
scenario_replaced no
scenario_replaced yes
scenario_full_disk
e2e_finish
