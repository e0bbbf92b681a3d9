#!/usr/bin/env bash
# End-to-end checks of the real program on a private Xvfb display with
# openbox, driven by xdotool: start-up, the single-instance hand-off, the
# close box, the keyboard commands, the termination signal, a file handed
# over by a later start, many starts handing files over at once (to a
# running copy, and with none running yet), a handed name that is no UTF-8,
# a double click that starts a shortcut's default application, and the real mouse on the page (rubber band, dragging, the
# shortcut menu; a note's menu, typing into it and moving it), the common
# options dialog worked by keyboard, the page worked by the keyboard alone, all judged from outside through X
# properties, process states, the screen's pixels, the settings file, the
# autostart entry and what a recording handler wrote down.
#
#   usage: e2e_window.sh path/to/vorlane
#
# Needs Xvfb, openbox, xdotool and x11-utils (tools/dev.sh test installs them).
# Every process it starts is stopped by PID when it ends; nothing outside its
# own temporary folder is touched.
set -u

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
e2e_prepare vorlane-e2e "${1:-}" Xvfb openbox xdotool xprop xwininfo xdpyinfo
cleanup_hooks+=(stop_client_watch)

# --- one copy of the program ----------------------------------------------

# A settings file without most keys: any save adds them, so "nothing was
# saved" shows as "the file is byte for byte the same".
minimal_settings() {
    printf '[General]\r\nPage_Count=1\r\n' >"$VORLANE_SETTINGS"
}

begin_scenario() {
    e2e_begin_scenario "$1"
    minimal_settings
}

# A copy started in another folder, with arguments: relative paths on its
# command line are then resolved against that folder. The subshell execs
# the program, so the PID stays our own child.
start_copy_in() {
    local folder=$1
    shift
    (cd "$folder" && exec "$bin" "$@") >>"$scene/vorlane.log" 2>&1 </dev/null &
    last_pid=$!
    helpers+=("$last_pid")
}

# Here every helper is a copy of the program.
running_copies() {
    local pid n=0
    for pid in "${helpers[@]}"; do is_running "$pid" && n=$((n + 1)); done
    echo "$n"
}

at_most_one_running() { [ "$(running_copies)" -le 1 ]; }

file_sum() { md5sum <"$VORLANE_SETTINGS" 2>/dev/null || echo absent; }
saved_in_full() {
    [ -f "$VORLANE_SETTINGS" ] && grep -q 'Page_Count=1' "$VORLANE_SETTINGS" \
        && grep -q 'Desktop_Caption' "$VORLANE_SETTINGS"
}
lock_file() { echo "$XDG_RUNTIME_DIR/vorlane-$(id -u).lock"; }
socket_file() { echo "$XDG_RUNTIME_DIR/vorlane-$(id -u).sock"; }

# A later start (in folder $2 with arguments $3..., if given) hands over and
# ends with status 0; the first copy lives on.
second_start_hands_over() {
    local first=$1 pid
    if (($# > 1)); then start_copy_in "${@:2}"; else start_copy; fi
    pid=$last_pid
    wait_for 15 is_gone "$pid" || return 1
    status_of "$pid" && is_running "$first"
}

# --- scenarios --------------------------------------------------------------

scenario_start() {
    begin_scenario start
    if start_and_wait_window; then
        pass "the window \"Vorlane\" is mapped"
    else
        fail "no window \"Vorlane\" within 20 s"
    fi
    check "the program keeps running" is_running "$last_pid"
    check "the lock file is in the runtime folder" test -e "$(lock_file)"
    check "the instance socket is in the runtime folder" test -S "$(socket_file)"
    end_scenario
}

scenario_second_start() {
    begin_scenario second-start
    start_and_wait_window || fail "first copy: no window"
    local first=$last_pid before
    before=$(file_sum)
    start_copy
    local second=$last_pid t0=$EPOCHREALTIME
    if wait_for 15 is_gone "$second"; then
        echo "    (the second copy ended after $(since "$t0") s)"
        check "the second copy ends with status 0" status_of "$second"
    else
        fail "the second copy is still running after 15 s"
    fi
    check "the first copy keeps running" is_running "$first"
    check "exactly one copy runs" test "$(running_copies)" = 1
    check "the second copy saved nothing" test "$(file_sum)" = "$before"
    end_scenario
}

scenario_three_at_once() {
    begin_scenario three-at-once
    local round pid n ok
    # Several rounds: a race that two copies win shows up only now and then.
    for round in 1 2 3; do
        local base=${#helpers[@]}
        start_copy
        start_copy
        start_copy
        local -a trio=("${helpers[@]:base}")
        wait_for 20 at_most_one_running
        n=$(running_copies)
        check "round $round: exactly one of three copies started together runs (found $n)" test "$n" = 1
        ok=1
        local survivor=
        for pid in "${trio[@]}"; do
            if is_running "$pid"; then
                survivor=$pid
            elif ! status_of "$pid"; then
                ok=0
            fi
        done
        check "round $round: the copies that gave way ended with status 0" test "$ok" = 1
        if [ -n "$survivor" ]; then
            check "round $round: the survivor shows its window" wait_for 20 find_main_window "$survivor"
            # The survivor must also be the one serving the wake-up socket.
            check "round $round: a later start hands over to the survivor" second_start_hands_over "$survivor"
        fi
        stop_helpers
        check "round $round: lock and socket are gone after the end" \
            test ! -e "$(lock_file)" -a ! -e "$(socket_file)"
    done
    end_scenario
}

scenario_stale_lock() {
    begin_scenario stale-lock
    start_and_wait_window || fail "first copy: no window"
    local dead=$last_pid
    # (The braces keep bash's "Killed" job report out of the log.)
    {
        kill -KILL "$dead"
        wait_for 10 is_gone "$dead"
        wait "$dead"
    } 2>/dev/null
    # Without these the scenario would prove nothing.
    check "kill -9 leaves the lock file behind" test -e "$(lock_file)"
    check "kill -9 leaves the socket behind" test -S "$(socket_file)"
    if start_and_wait_window; then
        pass "a new start shows its window despite the stale lock and socket"
    else
        fail "a new start after kill -9 shows no window within 20 s"
    fi
    local fresh=$last_pid
    check "the new copy keeps running" is_running "$fresh"
    check "a later start hands over to the new copy" second_start_hands_over "$fresh"
    check "exactly one copy runs" test "$(running_copies)" = 1
    end_scenario
}

scenario_close_box() {
    begin_scenario close-box
    start_and_wait_window || fail "no window"
    local pid=$last_pid w=$win before
    before=$(file_sum)
    if focus_window "$w"; then
        # openbox binds Alt+F4 to its polite close (WM_DELETE_WINDOW).
        press alt+F4
        check "the close box minimises the window" wait_for 10 minimised "$w"
    else
        fail "the window does not take the focus"
    fi
    check "the program keeps running" is_running "$pid"
    sleep 0.3
    check "the settings file is unchanged" test "$(file_sum)" = "$before"
    # The wake-up of a second start must bring the minimised window back.
    check "a second start hands over" second_start_hands_over "$pid"
    check "the hand-off brings the minimised window back" wait_for 10 viewable "$w"
    end_scenario
}

scenario_ctrl_s() {
    begin_scenario ctrl-s
    start_and_wait_window || fail "no window"
    local pid=$last_pid w=$win
    if saved_in_full; then
        fail "precondition: the start-up alone wrote the settings file"
    fi
    if focus_window "$w"; then
        press ctrl+s
        check "Ctrl+S writes the settings file in full" wait_for 10 saved_in_full
    else
        fail "the window does not take the focus"
    fi
    check "the program keeps running" is_running "$pid"
    # After a deletion too: the save compares with the disk, not a memory.
    rm -f "$VORLANE_SETTINGS"
    if focus_window "$w"; then
        press ctrl+s
        check "Ctrl+S writes a deleted settings file again" wait_for 10 saved_in_full
    else
        fail "the window does not take the focus again"
    fi
    end_scenario
}

scenario_alt_q() {
    begin_scenario alt-q
    start_and_wait_window || fail "no window"
    local pid=$last_pid w=$win
    rm -f "$VORLANE_SETTINGS"
    if focus_window "$w"; then
        press alt+q
        if wait_for 10 is_gone "$pid"; then
            pass "Alt+Q ends the program"
            check "it ends with status 0" status_of "$pid"
        else
            fail "the program still runs 10 s after Alt+Q"
        fi
    else
        fail "the window does not take the focus"
    fi
    check "nothing was saved" test ! -e "$VORLANE_SETTINGS"
    end_scenario
}

scenario_signals() {
    local sig
    for sig in TERM INT HUP; do
        begin_scenario "sig$sig"
        start_and_wait_window || fail "no window"
        local pid=$last_pid
        rm -f "$VORLANE_SETTINGS"
        kill "-$sig" "$pid"
        if wait_for 10 is_gone "$pid"; then
            pass "SIG$sig ends the program"
            check "it ends with status 0" status_of "$pid"
        else
            fail "the program still runs 10 s after SIG$sig"
        fi
        check "SIG$sig saved the settings file in full" saved_in_full
        check "lock and socket are gone after the end" test ! -e "$(lock_file)" -a ! -e "$(socket_file)"
        end_scenario
    done
}

spool_dir() { echo "$XDG_RUNTIME_DIR/vorlane-$(id -u).handoff"; }
# Hand-offs not yet taken by a window (a writer's file not yet in place
# starts with a dot and is not counted).
handoffs_waiting() { compgen -G "$(spool_dir)/[0-9a-f]*" >/dev/null; }
no_handoff_waiting() { ! handoffs_waiting; }

settings_line() { tr -d '\r' <"$VORLANE_SETTINGS" 2>/dev/null | grep -qxF -- "$1"; }
is_item_header() { [[ $1 =~ ^\[Page0\\Item[0-9]+\]$ ]]; }

scenario_handed_file() {
    begin_scenario handed-file
    start_and_wait_window || fail "first copy: no window"
    local first=$last_pid
    mkdir -p "$tmp/docs"
    printf 'Quarterly figures\n' >"$tmp/docs/Handed Report.txt"
    # What the running copy must store: the path as the kernel resolves it
    # from the second copy's folder.
    local expected
    expected="$(cd "$tmp/docs" && pwd -P)/Handed Report.txt"

    # Relative on purpose: only the second copy knows its own folder.
    start_copy_in "$tmp/docs" "Handed Report.txt"
    local second=$last_pid t0=$EPOCHREALTIME
    if wait_for 15 is_gone "$second"; then
        echo "    (the second copy ended after $(since "$t0") s)"
        check "the second copy ends with status 0" status_of "$second"
    else
        fail "the second copy is still running after 15 s"
    fi
    check "the first copy keeps running" is_running "$first"
    check "the running copy takes the hand-off" wait_for 10 no_handoff_waiting

    # SIGTERM saves, then ends.
    kill -TERM "$first"
    if wait_for 10 is_gone "$first"; then
        check "the first copy ends with status 0 after SIGTERM" status_of "$first"
    else
        fail "the first copy still runs 10 s after SIGTERM"
    fi
    local section
    section=$(item_section_of "$expected")
    if [ -n "$section" ]; then
        pass "an item holds AttachedFile=$expected"
        check "its section is an item of the first desktop" is_item_header "$(head -n 1 <<<"$section")"
        check "its caption is the file's name" holds_line "$section" "Label_Caption=Handed Report.txt"
    else
        fail "no item with AttachedFile=$expected in the settings file"
        tr -d '\r' <"$VORLANE_SETTINGS" 2>/dev/null | head -n 40 | sed 's/^/    | /'
    fi
    check "the first desktop counts one item" settings_line "Item_CountTrue=1"
    check "no hand-off waits afterwards" no_handoff_waiting
    end_scenario
}

# --- many hand-offs at once ---------------------------------------------------

# Copies $3 to $4 of a batch, all started before any is waited on, as a file
# manager starts one copy for each of the files it opens: copy i hands
# "$2<i>.txt" (relative: each resolves it in folder $1) over. Their PIDs go
# to batch, in start order.
batch=()
start_batch() {
    local folder=$1 prefix=$2 i
    batch=()
    for ((i = $3; i <= $4; i++)); do
        start_copy_in "$folder" "$prefix$(printf %02d "$i").txt"
        batch+=("$last_pid")
    done
}
# How many of the batch ended with status 0 (call once all have ended).
batch_ok() {
    local pid n=0
    for pid in "${batch[@]}"; do status_of "$pid" && n=$((n + 1)); done
    echo "$n"
}
batch_gone() {
    local pid
    for pid in "${batch[@]}"; do is_running "$pid" && return 1; done
    return 0
}
# The AttachedFile values of the saved settings, in the order of the items.
attached_files() { tr -d '\r' <"$VORLANE_SETTINGS" 2>/dev/null | sed -n 's/^AttachedFile=//p'; }
# How many of the files $2..$3 of prefix $1 in folder $4 arrived exactly once.
arrived_once() {
    local list=$1 folder=$2 prefix=$3 i n=0
    for ((i = $4; i <= $5; i++)); do
        [ "$(grep -cxF -- "$folder/$prefix$(printf %02d "$i").txt" <<<"$list")" = 1 ] && n=$((n + 1))
    done
    echo "$n"
}
scenario_first_starts_race() {
    begin_scenario first-starts-race
    mkdir -p "$tmp/first"
    local i folder
    for ((i = 1; i <= 20; i++)); do printf 'first %d\n' "$i" >"$tmp/first/f$(printf %02d "$i").txt"; done
    folder=$(cd "$tmp/first" && pwd -P)
    local t0=$EPOCHREALTIME
    start_batch "$tmp/first" f 1 20
    wait_for 60 at_most_one_running
    echo "    (20 first starts settled after $(since "$t0") s)"
    local survivor= pid
    for pid in "${batch[@]}"; do is_running "$pid" && survivor=$pid; done
    check "exactly one of 20 copies started together runs (found $(running_copies))" test "$(running_copies)" = 1
    if [ -n "$survivor" ]; then
        check "the survivor shows its window" wait_for 20 find_main_window "$survivor"
        check "every hand-off is taken" wait_for 20 no_handoff_waiting
        kill -TERM "$survivor"
        wait_for 10 is_gone "$survivor" || fail "the survivor still runs 10 s after SIGTERM"
    fi
    # The survivor's status too: it saved and ended on SIGTERM.
    batch_gone && check "all 20 ended with status 0" test "$(batch_ok)" = 20
    local list n
    list=$(attached_files)
    n=$(arrived_once "$list" "$folder" f 1 20)
    echo "    ($n of 20 files arrived exactly once; $(grep -c . <<<"$list") shortcuts in all)"
    check "each of the 20 files is a shortcut exactly once" test "$n" = 20
    check "and nothing else arrived" test "$(grep -c . <<<"$list")" = 20
    end_scenario
}

scenario_thirty_at_a_running_copy() {
    begin_scenario thirty-at-a-running-copy
    mkdir -p "$tmp/thirty"
    local i folder
    # UTF-8 names (not ASCII) stay plain paths.
    for ((i = 1; i <= 30; i++)); do printf 'many %d\n' "$i" >"$tmp/thirty/mé$(printf %02d "$i").txt"; done
    for ((i = 1; i <= 8; i++)); do printf 'late %d\n' "$i" >"$tmp/thirty/late$(printf %02d "$i").txt"; done
    folder=$(cd "$tmp/thirty" && pwd -P)
    start_and_wait_window || fail "first copy: no window"
    local first=$last_pid t0=$EPOCHREALTIME
    start_batch "$tmp/thirty" mé 1 30
    wait_for 60 batch_gone || fail "some of the 30 copies still run after 60 s"
    echo "    (30 starts ended after $(since "$t0") s)"
    check "the 30 copies ended with status 0" test "$(batch_ok)" = 30
    check "every hand-off is taken" wait_for 20 no_handoff_waiting

    # A copy that cannot answer now (stopped here; busy elsewhere) takes
    # what waited, once it can, in the order the copies were started.
    kill -STOP "$first"
    start_batch "$tmp/thirty" late 1 8
    wait_for 60 batch_gone || fail "some of the 8 copies still run after 60 s"
    check "the 8 copies handing over to a stopped copy ended with status 0" test "$(batch_ok)" = 8
    check "their hand-offs wait" handoffs_waiting
    kill -CONT "$first"
    check "every hand-off is taken once the copy runs again" wait_for 20 no_handoff_waiting
    check "the first copy keeps running" is_running "$first"
    kill -TERM "$first"
    wait_for 10 is_gone "$first" || fail "the first copy still runs 10 s after SIGTERM"

    local list n late expected
    list=$(attached_files)
    n=$(arrived_once "$list" "$folder" mé 1 30)
    echo "    ($n of 30 files arrived exactly once; $(grep -c . <<<"$list") shortcuts in all)"
    check "each of the 30 files is a shortcut exactly once" test "$n" = 30
    late=$(grep -F -- "$folder/late" <<<"$list")
    expected=$(for ((i = 1; i <= 8; i++)); do echo "$folder/late$(printf %02d "$i").txt"; done)
    check "the 8 handed to the stopped copy arrived once each, in the order they were started" \
        test "$late" = "$expected"
    check "and nothing else arrived" test "$(grep -c . <<<"$list")" = 38
    ((failed > scene_failed_before)) && sed 's/^/    | /' <<<"$list"
    end_scenario
}

# A home of the scenario's own whose default handler for every document
# records what it was asked to open in $1; recording_home_end puts the
# session's home back.
saved_home= saved_data= saved_config= saved_dirs=
recording_home_begin() {
    saved_home=$HOME saved_data=$XDG_DATA_HOME saved_config=$XDG_CONFIG_HOME saved_dirs=${XDG_DATA_DIRS-}
    export HOME="$scene/home"
    export XDG_DATA_HOME="$HOME/.local/share" XDG_CONFIG_HOME="$HOME/.config"
    export XDG_DATA_DIRS="$XDG_DATA_HOME:/usr/local/share:/usr/share"
    install_recording_handler "$1"
}
recording_home_end() {
    export HOME=$saved_home XDG_DATA_HOME=$saved_data XDG_CONFIG_HOME=$saved_config
    if [ -n "$saved_dirs" ]; then export XDG_DATA_DIRS=$saved_dirs; else unset XDG_DATA_DIRS; fi
}

# Names are bytes: one that is no UTF-8, handed at the first start, and one
# holding a line break (which no settings line can hold), handed by a second:
# after the save each shortcut names that very file, and a double click opens
# it.
scenario_handed_name_not_utf8() {
    begin_scenario handed-name-not-utf8
    local handled="$scene/handled.txt"
    recording_home_begin "$handled"
    mkdir -p "$tmp/latin1"
    local name=$'Caf\xe9 \xff list.txt' name2=$'two\nlines.txt' real real2
    printf 'Menu\n' >"$tmp/latin1/$name"
    printf 'Lines\n' >"$tmp/latin1/$name2"
    real="$(cd "$tmp/latin1" && pwd -P)/$name"
    real2="$(cd "$tmp/latin1" && pwd -P)/$name2"

    start_copy_in "$tmp/latin1" "$name"
    local pid=$last_pid
    wait_for 20 find_main_window "$pid" || fail "no window"
    second_start_hands_over "$pid" "$tmp/latin1" "$name2" || fail "the second start did not hand over"
    check "the hand-offs are taken" wait_for 20 no_handoff_waiting
    kill -TERM "$pid"
    wait_for 10 is_gone "$pid" || fail "the copy still runs 10 s after SIGTERM"
    local attached decoded=() uri
    attached=$(attached_files)
    # Percent signs to \x escapes, which printf %b turns into the bytes.
    for uri in $attached; do
        [[ $uri == file://* ]] && decoded+=("$(printf '%b' "$(sed 's/%/\\x/g' <<<"${uri#file://}")")")
    done
    check "the first shortcut's attached file names the file that is no UTF-8" test "${decoded[0]-}" -ef "$real"
    check "the second's names the one with a line break" test "${decoded[1]-}" -ef "$real2"
    ((failed > scene_failed_before)) && sed 's/^/    | /' <<<"$attached"
    attached=$(head -n 1 <<<"$attached")

    if [ -n "$attached" ]; then
        # The shortcut where a double click finds it (see the double-click scenario).
        printf '[General]\r\nPage_Count=1\r\n\r\n[Page0]\r\nDesktop_Caption=Work\r\nItem_CountTrue=1\r\n\r\n[Page0\\Item1]\r\nAttachedFile=%s\r\nLabel_Caption=menu\r\nItem_Left=40\r\nItem_Top=40\r\n' \
            "$attached" >"$VORLANE_SETTINGS"
        if start_and_wait_window; then
            sleep 0.3
            xdotool mousemove --window "$win" 56 80
            sleep 0.2
            xdotool click --repeat 2 --delay 80 1
            if wait_for 10 test -e "$handled"; then
                check "a double click opens that very file in its default application" \
                    test "$(cat "$handled")" = "$real"
            else
                fail "the handler did not run within 10 s of the double click"
            fi
            wait_for 10 handler_gone "$handled" || kill -KILL "$(cat "$handled.pid")" 2>/dev/null
        else
            fail "no window for the double click"
        fi
    fi
    end_scenario
    recording_home_end
}

# Writes a recording default handler for text/plain into $HOME: it notes
# its arguments one per line in $1 (whole, by a rename), its PID in $1.pid
# and where its standard output leads in $1.stdout.
install_recording_handler() {
    local out=$1 q
    mkdir -p "$HOME/bin" "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"
    q=$(printf '%q' "$out")
    {
        echo '#!/bin/sh'
        echo "echo \$\$ >$q.pid"
        # Read before any redirection: dash redirects in the shell itself.
        echo "where=\$(readlink /proc/\$\$/fd/1)"
        echo "echo \"\$where\" >$q.stdout"
        echo "for a in \"\$@\"; do printf '%s\\n' \"\$a\"; done >$q.part"
        echo "mv $q.part $q"
    } >"$HOME/bin/record-handler"
    chmod +x "$HOME/bin/record-handler"
    printf '[Desktop Entry]\nType=Application\nName=Test handler\nExec=%s %%f\nMimeType=text/plain;\nNoDisplay=true\n' \
        "$HOME/bin/record-handler" >"$XDG_DATA_HOME/applications/test-handler.desktop"
    printf '[Default Applications]\ntext/plain=test-handler.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"
}

# Not our child: the program starts it detached, so init inherits it, and
# the init of some containers reaps only every second or so; a zombie has
# ended all the same.
handler_gone() {
    local pid stat state
    pid=$(cat "$1.pid" 2>/dev/null) || return 0
    stat=$(cat "/proc/$pid/stat" 2>/dev/null) || return 0
    read -r state _ <<<"${stat##*)}"
    [ "$state" = Z ]
}

scenario_double_click() {
    begin_scenario double-click
    local handled="$scene/handled.txt"
    recording_home_begin "$handled"
    mkdir -p "$tmp/docs"
    # Not empty: an empty file counts as inode/x-empty, not text/plain.
    printf 'Things to do\n' >"$tmp/docs/notes.txt"
    local file="$tmp/docs/notes.txt"
    printf '[General]\r\nPage_Count=1\r\n\r\n[Page0]\r\nDesktop_Caption=Work\r\nItem_CountTrue=1\r\n\r\n[Page0\\Item1]\r\nAttachedFile=%s\r\nCommandString=--from-test\r\nLabel_Caption=notes.txt\r\nItem_Left=40\r\nItem_Top=40\r\n' \
        "$file" >"$VORLANE_SETTINGS"

    if start_and_wait_window; then
        local pid=$last_pid w=$win t0
        # The picture covers (40,40)-(72,72) of the surface, which begins
        # below the tab strip; y=80 in the window hits it for any strip
        # height from 20 to 40 pixels.
        sleep 0.3
        xdotool mousemove --window "$w" 56 80
        sleep 0.2
        t0=$EPOCHREALTIME
        xdotool click --repeat 2 --delay 80 1
        if wait_for 10 test -e "$handled"; then
            echo "    (the handler ran $(since "$t0") s after the double click)"
            pass "a double click on the shortcut starts the default application"
            check "it gets the file, then the command string's words" \
                test "$(cat "$handled")" = "$file"$'\n'"--from-test"
            check "its standard output is not ours but /dev/null" test "$(cat "$handled.stdout")" = /dev/null
        else
            fail "the handler did not run within 10 s of the double click"
        fi
        if wait_for 10 handler_gone "$handled"; then
            pass "the handler ends by itself"
        else
            fail "the handler still runs 10 s after it started"
            kill -KILL "$(cat "$handled.pid")" 2>/dev/null
        fi
        check "the program keeps running" is_running "$pid"
    else
        fail "no window"
    fi
    end_scenario
    recording_home_end
}

# --- questions, loads and the requests that wait for them -------------------

hex_id() { printf '0x%x' "$1"; }
transient_for() { xprop -id "$1" WM_TRANSIENT_FOR 2>/dev/null | sed -n 's/^.*window id # //p'; }
# Whether window $1 lies above window $2 in the window manager's stacking.
stacked_above() {
    local order
    order=$(xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null | sed -n 's/^.*window id # //p' | tr -d ' ' | tr ',' '\n')
    local upper lower
    upper=$(grep -nxF "$(hex_id "$1")" <<<"$order" | cut -d: -f1)
    lower=$(grep -nxF "$(hex_id "$2")" <<<"$order" | cut -d: -f1)
    [ -n "$upper" ] && [ -n "$lower" ] && [ "$upper" -gt "$lower" ]
}

# Opens the desktop menu of copy $1 with a right click on the empty
# background of its window $2 and walks $3 entries down; Return then
# chooses. The menu has no accelerators.
desktop_menu_entry() {
    local pid=$1 w=$2 steps=$3 keys=()
    focus_window "$w" || return 1
    xdotool mousemove --window "$w" 420 320
    sleep 0.2
    xdotool click 3
    wait_for 10 popup_shown "$pid" || return 1
    sleep 0.2
    while ((steps-- > 0)); do keys+=(Down); done
    press "${keys[@]}" Return
}

# Every window the window manager takes on while it runs, with its type and
# title read at once: a window mapped and destroyed between two polls would
# go unseen otherwise. One "id properties" line per window in $1.
client_watch_pid=
client_reader_pid=
start_client_watch() {
    local fifo="$scene/clients.fifo" log=$1
    rm -f "$fifo"
    mkfifo "$fifo" || return 1
    (
        declare -A seen
        while read -r line; do
            : >"$log.ready"
            for id in $(grep -o '0x[0-9a-f]*' <<<"$line"); do
                [ -n "${seen[$id]-}" ] && continue
                seen[$id]=1
                echo "$id $(xprop -id "$id" _NET_WM_WINDOW_TYPE _NET_WM_NAME 2>/dev/null | tr '\n' ' ')"
            done
        done <"$fifo" >"$log"
    ) &
    client_reader_pid=$!
    xprop -root -spy _NET_CLIENT_LIST >"$fifo" 2>/dev/null &
    client_watch_pid=$!
    # Its first line is the list as it stands: from then on it misses nothing.
    wait_for 10 test -e "$log.ready"
}
stop_client_watch() {
    [ -n "$client_watch_pid" ] && stop_pid "$client_watch_pid"
    # Its end closes the pipe, and the reader ends with it.
    [ -n "$client_reader_pid" ] && { wait_for 5 is_gone "$client_reader_pid" || stop_pid "$client_reader_pid"; wait "$client_reader_pid" 2>/dev/null; }
    client_watch_pid= client_reader_pid=
}

# Whether window $1 is the topmost of the window manager's clients.
on_top() {
    [ "$(xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null | sed -n 's/^.*window id # //p' | tr -d ' ' | tr ',' '\n' | tail -n 1)" = "$(hex_id "$1")" ]
}
# Whether a window of copy $1 that is a splash (the start-up progress) is shown.
splash_shown() {
    local w
    for w in $(xdotool search --all --pid "$1" --name '.*' 2>/dev/null); do
        [ "$(map_state "$w")" = IsViewable ] || continue
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_SPLASH && return 0
    done
    return 1
}
# A question kept for no window that is off the screen: for none, for one
# shown, or for the program as a whole (its client leader: "transient for
# the group", which window managers keep above all of the program's windows).
owned_by_nothing_hidden() {
    local owner leader
    owner=$(transient_for "$1")
    leader=$(xprop -id "$1" WM_CLIENT_LEADER 2>/dev/null | sed -n 's/^.*window id # //p')
    [ -z "$owner" ] || [ "$owner" = "$leader" ] || [ "$(map_state "$owner")" = IsViewable ]
}

# A picture that cannot be shown, met while the desktops load before the
# window is up: its message and the question after it each come on top, as
# windows of their own rather than of the main window that is not on screen
# yet, with the progress window out of the way; the window follows.
scenario_startup_picture_question() {
    begin_scenario startup-picture-question
    printf 'not a picture\n' >"$scene/broken.jpg"
    printf '[General]\r\nPage_Count=1\r\nActive_Page=0\r\n\r\n[Page0]\r\nDesktop_Caption=One\r\nBackground_Picture=%s\r\n' \
        "$scene/broken.jpg" >"$VORLANE_SETTINGS"
    start_copy
    local pid=$last_pid title question
    for title in Vorlane Confirm; do
        if ! wait_for 20 find_dialog_titled "$pid" "$title"; then
            fail "no question \"$title\" while the desktops load"
            break
        fi
        question=$found
        sleep 0.3
        check "\"$title\" is the topmost window" on_top "$question"
        check "... kept for no window off the screen" owned_by_nothing_hidden "$question"
        check "... with the progress window out of the way" eval '! splash_shown "$pid"'
        # Escape: OK for the message, Cancel for the question.
        focus_dialog "$question" && press Escape
        wait_for 10 window_gone "$question" || fail "\"$title\" stays open after Escape"
    done
    check "then the window shows" wait_for 20 find_main_window "$pid"
    check "... and the progress window is gone" eval '! splash_shown "$pid"'
    end_scenario
}

scenario_password_prompt_term() {
    begin_scenario password-prompt-term
    printf '[General]\r\nPage_Count=2\r\nActive_Page=0\r\n\r\n[Page0]\r\nDesktop_Caption=Secret\r\nPassword=56\r\nPassword_On_Desktop=1\r\n\r\n[Page1]\r\nDesktop_Caption=Open\r\n' \
        >"$VORLANE_SETTINGS"
    # Complete, so that a save of the unchanged model would find nothing to
    # change: any difference afterwards is a save that should not be.
    check "precondition: --resave completes the settings file" "$bin" --resave
    local before clients="$scene/clients.log"
    before=$(file_sum)
    start_client_watch "$clients" || fail "the window manager's client list cannot be watched"
    start_copy
    local pid=$last_pid
    if wait_for 20 find_titled "$pid" "Password for Secret Desktop"; then
        pass "the start-up prompt \"Password for Secret Desktop\" shows"
        sleep 0.3
        kill -TERM "$pid"
        local t0=$EPOCHREALTIME
        if wait_for 2 is_gone "$pid"; then
            echo "    (ended $(since "$t0") s after SIGTERM)"
            pass "SIGTERM during the prompt ends the program within 2 s"
            check "it ends with status 0" status_of "$pid"
        else
            fail "the program still runs 2 s after SIGTERM during the prompt"
        fi
    else
        fail "no prompt \"Password for Secret Desktop\" within 20 s"
    fi
    stop_helpers
    stop_client_watch
    # Qt's main window carries the type NORMAL first; the splash lists it
    # last, a dialog never.
    if grep -q '_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_NORMAL.*"Vorlane"' "$clients"; then
        fail "the main window was mapped"
        sed 's/^/    | /' "$clients"
    elif grep -qv '_NET_WM_WINDOW_TYPE' "$clients"; then
        fail "a window was mapped and gone before it could be named"
        sed 's/^/    | /' "$clients"
    else
        pass "the main window was never mapped"
    fi
    check "the settings file is byte for byte unchanged" test "$(file_sum)" = "$before"
    end_scenario
}

# $1 desktops of $2 shortcuts each, most keys left out: the first save adds
# them.
write_big_settings() {
    awk -v pages="$1" -v per="$2" 'BEGIN {
        ORS = "\r\n"
        print "[General]"; print "Page_Count=" pages; print "Active_Page=0"; print ""
        for (p = 0; p < pages; p++) {
            print "[Page" p "]"; print "Desktop_Caption=Desk " p; print "Item_CountTrue=" per; print ""
            for (i = 1; i <= per; i++) {
                print "[Page" p "\\Item" i "]"
                print "AttachedFile=/nonexistent/vorlane-e2e/report-" p "-" i ".txt"
                print "Label_Caption=report " p "-" i
                print "Item_Left=" (i * 37) % 600; print "Item_Top=" (i * 53) % 400; print ""
            }
        }
    }' >"$VORLANE_SETTINGS"
}

# What decides how much of the file is read: the desktop count, each
# desktop's shortcut count, and the last shortcut of every desktop.
file_shape() {
    tr -d '\r' <"$VORLANE_SETTINGS" 2>/dev/null | awk '
        /^\[/ { sec = $0; next }
        /^Page_Count=/ || /^Item_CountTrue=/ { print sec " " $0 }
        /^AttachedFile=/ { last[substr(sec, 1, index(sec, "\\"))] = sec }
        END { for (p in last) print "last " last[p] }' | sort
}

cpu_ticks() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    set -- ${stat##*)}
    echo $((${12} + ${13}))
}
# No CPU used for 0.3 s: what the start-up left to do after the first paint
# is done.
settled() {
    local a b i
    a=$(cpu_ticks "$1") || return 1
    for i in 1 2 3; do
        sleep 0.1
        b=$(cpu_ticks "$1") || return 1
        [ "$a" = "$b" ] || return 1
    done
}

scenario_reload_term() {
    begin_scenario reload-term
    # Big enough that a reload reads for some 0.2-0.5 s here.
    local pages=5 per=10000
    write_big_settings "$pages" "$per"
    start_and_wait_window || fail "no window"
    local pid=$last_pid before shape
    if focus_window "$win"; then
        press ctrl+s
        check "precondition: Ctrl+S completes the big settings file" wait_for 30 grep -q '^SingleClick_Time=' "$VORLANE_SETTINGS"
    else
        fail "the window does not take the focus"
    fi
    stop_pid "$pid"
    shape=$(file_shape)
    check "precondition: the file holds $pages desktops of $per shortcuts" \
        test "$(grep -c "Item_CountTrue=$per\$" <<<"$shape")" = "$pages" -a "$(grep -c "Item$per\]\$" <<<"$shape")" = "$pages"

    local delay
    for delay in 0.01 0.03 0.05; do
        if ! start_and_wait_window; then
            fail "delay $delay: no window"
            continue
        fi
        pid=$last_pid
        wait_for 30 settled "$pid"
        # Changed behind the program's back: only a reload that really ran
        # leaves the file as it is now, since the end saves what the
        # program holds unless it was still reading.
        sed -i "s/^Desktop_Caption=Desk $((pages - 1)).*\r\$/Desktop_Caption=Desk $((pages - 1)) (delay $delay)\r/" "$VORLANE_SETTINGS"
        before=$(file_sum)
        settings_line "Desktop_Caption=Desk $((pages - 1)) (delay $delay)" \
            || fail "delay $delay: precondition: the caption was not changed on disk"
        if ! focus_window "$win"; then
            fail "delay $delay: the window does not take the focus"
            continue
        fi
        press ctrl+F5
        if wait_for 10 find_dialog_titled "$pid" Warning && focus_dialog "$found"; then
            # Return is OK in this question.
            xdotool key Return
            sleep "$delay"
            kill -TERM "$pid"
            local t0=$EPOCHREALTIME
            if wait_for 30 is_gone "$pid"; then
                echo "    (SIGTERM $delay s after OK: ended $(since "$t0") s later)"
                check "delay $delay: the program ends with status 0" status_of "$pid"
            else
                fail "delay $delay: the program still runs 30 s after SIGTERM"
            fi
        else
            fail "delay $delay: no focused question \"Warning\" after Ctrl+F5"
        fi
        stop_helpers
        check "delay $delay: desktops and shortcut counts are as before" test "$(file_shape)" = "$shape"
        check "delay $delay: the settings file is byte for byte unchanged" test "$(file_sum)" = "$before"
    done
    end_scenario
}

scenario_handoff_during_question() {
    begin_scenario handoff-during-question
    printf '[General]\r\nPage_Count=2\r\nActive_Page=0\r\n\r\n[Page0]\r\nDesktop_Caption=Alpha\r\n\r\n[Page1]\r\nDesktop_Caption=Beta\r\n' \
        >"$VORLANE_SETTINGS"
    mkdir -p "$tmp/later"
    printf 'Minutes\n' >"$tmp/later/Later Note.txt"
    local expected
    expected="$(cd "$tmp/later" && pwd -P)/Later Note.txt"
    start_and_wait_window || fail "first copy: no window"
    local first=$last_pid w=$win question=
    # New Shortcut, New Url, New Note, New Desktop, Rename Desktop, Delete Desktop.
    desktop_menu_entry "$first" "$w" 6 || fail "no desktop menu"
    if wait_for 10 find_dialog_titled "$first" Warning; then
        question=$found
        pass "\"Delete Desktop\" asks"
    else
        fail "\"Delete Desktop\" shows no question \"Warning\""
    fi

    start_copy_in "$tmp/later" "Later Note.txt"
    local second=$last_pid
    if wait_for 15 is_gone "$second"; then
        check "the second copy ends with status 0" status_of "$second"
    else
        fail "the second copy is still running after 15 s"
    fi
    check "the hand-off is written" handoffs_waiting
    sleep 1
    check "the hand-off waits while the question is open" handoffs_waiting
    if [ -n "$question" ]; then
        check "the question is still open" test "$(map_state "$question")" = IsViewable
        if focus_dialog "$question"; then
            # Return is OK in this question.
            press Return
            check "the question closes" wait_for 10 window_gone "$question"
        else
            fail "the question does not take the focus"
        fi
    fi
    check "after the answer the hand-off is taken" wait_for 10 no_handoff_waiting
    check "the first copy keeps running" is_running "$first"

    kill -TERM "$first"
    if wait_for 10 is_gone "$first"; then
        check "the first copy ends with status 0 after SIGTERM" status_of "$first"
    else
        fail "the first copy still runs 10 s after SIGTERM"
    fi
    check "one desktop is left" settings_line "Page_Count=1"
    local page
    page=$(section_lines Page0)
    check "the remaining desktop is Beta" holds_line "$page" "Desktop_Caption=Beta"
    check "it counts one shortcut" holds_line "$page" "Item_CountTrue=1"
    local section
    section=$(item_section_of "$expected")
    if [ -n "$section" ]; then
        check "the handed file is its shortcut" test "$(head -n 1 <<<"$section")" = '[Page0\Item1]'
    else
        fail "no item with AttachedFile=$expected in the settings file"
        tr -d '\r' <"$VORLANE_SETTINGS" 2>/dev/null | head -n 60 | sed 's/^/    | /'
    fi
    end_scenario
}

scenario_term_during_question() {
    begin_scenario term-during-question
    printf '[General]\r\nPage_Count=2\r\nActive_Page=0\r\n\r\n[Page0]\r\nDesktop_Caption=Alpha\r\n\r\n[Page1]\r\nDesktop_Caption=Beta\r\n' \
        >"$VORLANE_SETTINGS"
    mkdir -p "$tmp/later"
    printf 'Agenda\n' >"$tmp/later/Agenda.txt"
    local expected
    expected="$(cd "$tmp/later" && pwd -P)/Agenda.txt"
    start_and_wait_window || fail "first copy: no window"
    local first=$last_pid
    desktop_menu_entry "$first" "$win" 6 || fail "no desktop menu"
    wait_for 10 find_dialog_titled "$first" Warning || fail "\"Delete Desktop\" shows no question \"Warning\""
    start_copy_in "$tmp/later" "Agenda.txt"
    wait_for 15 is_gone "$last_pid" || fail "the second copy is still running after 15 s"
    kill -TERM "$first"
    if wait_for 10 is_gone "$first"; then
        pass "SIGTERM during the question ends the program"
        check "it ends with status 0" status_of "$first"
    else
        fail "the program still runs 10 s after SIGTERM during the question"
    fi
    check "the end saves the settings file" grep -q '^SingleClick_Time=' "$VORLANE_SETTINGS"
    check "the question counts as cancelled: both desktops are kept" settings_line "Page_Count=2"
    check "Alpha is still the first desktop" holds_line "$(section_lines Page0)" "Desktop_Caption=Alpha"
    # Added at this end or left for the next start: either way not lost.
    if [ -z "$(item_section_of "$expected")" ]; then
        check "the handed file not yet added waits in the spool" handoffs_waiting
        start_and_wait_window || fail "the next start shows no window"
        check "the next start takes the hand-off" wait_for 10 no_handoff_waiting
        stop_helpers
    fi
    check "the handed file is a shortcut of Alpha" test "$(head -n 1 <<<"$(item_section_of "$expected")")" = '[Page0\Item1]'
    end_scenario
}

scenario_rename_message() {
    begin_scenario rename-message
    printf '[General]\r\nPage_Count=1\r\n\r\n[Page0]\r\nDesktop_Caption=Alpha\r\n' >"$VORLANE_SETTINGS"
    start_and_wait_window || fail "no window"
    local pid=$last_pid w=$win dialog= message=
    # New Shortcut, New Url, New Note, New Desktop, Rename Desktop.
    desktop_menu_entry "$pid" "$w" 5 || fail "no desktop menu"
    if wait_for 10 find_dialog_titled "$pid" Rename && focus_dialog "$found"; then
        dialog=$found
        pass "\"Rename Desktop\" opens the focused dialog \"Rename\""
        press ctrl+a BackSpace Return
        if wait_for 10 find_dialog_titled "$pid" Vorlane; then
            message=$found
            pass "an empty name brings a message box titled exactly \"Vorlane\""
            check "it belongs to the rename dialog (WM_TRANSIENT_FOR)" test "$(transient_for "$message")" = "$(hex_id "$dialog")"
            check "it lies above the rename dialog" stacked_above "$message" "$dialog"
            xdotool windowraise "$dialog"
            sleep 0.3
            check "it stays above the rename dialog when that is raised" stacked_above "$message" "$dialog"
            check "it is still shown" test "$(map_state "$message")" = IsViewable
            if focus_dialog "$message"; then
                press Return
                check "the message box closes" wait_for 10 window_gone "$message"
                check "the rename dialog stays open" test "$(map_state "$dialog")" = IsViewable
            else
                fail "the message box does not take the focus"
            fi
        else
            fail "no message box \"Vorlane\" after an empty name"
        fi
        if focus_dialog "$dialog"; then
            press Escape
            check "Escape closes the rename dialog" wait_for 10 window_gone "$dialog"
        else
            fail "the rename dialog does not take the focus back"
        fi
    else
        fail "no focused dialog \"Rename\" from the desktop menu"
    fi
    kill -TERM "$pid"
    wait_for 10 is_gone "$pid" || fail "the program still runs 10 s after SIGTERM"
    check "the desktop keeps its caption" holds_line "$(section_lines Page0)" "Desktop_Caption=Alpha"
    end_scenario
}

# --- the real mouse on the page -------------------------------------------

# How many pixels lie before the first pure red one on the row from screen
# pixel $1 $2 on; at most $3 are looked at.
fb_first_red_right() { fb_row "$1" "$2" "$3" | first_red; }

# Where the page of window $1 begins, in window coordinates, for a desktop
# painted pure red (BG_Color=255): the first red pixel of the row through
# the window's middle, then of the column just inside the page's left edge.
# Shortcuts must keep clear of that row's left end and of the page's top
# left corner. Sets page_x and page_y.
page_x=
page_y=
find_page_origin() {
    local info ax ay width height
    fb_layout || return 1
    info=$(xwininfo -id "$1" 2>/dev/null) || return 1
    ax=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
    ay=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
    width=$(sed -n 's/^ *Width: *//p' <<<"$info")
    height=$(sed -n 's/^ *Height: *//p' <<<"$info")
    ((ax >= 0 && ay >= 0 && width > 0 && height > 0)) || return 1
    # A frame or a tab strip is never this wide.
    page_x=$(fb_first_red_right "$ax" $((ay + height / 2)) 100) || return 1
    page_y=$(fb_first_red_down $((ax + page_x + 10)) "$ay" 100) || return 1
}

# Moves the pointer to page point $2 $3 of window $1 and gives the program
# time to see it: without pauses a real press-move-release sequence loses
# steps.
page_move() {
    xdotool mousemove --window "$1" $((page_x + $2)) $((page_y + $3))
    sleep 0.1
}
# A left-button drag on window $1 through the page points "x y" that
# follow: pressed at the first, released at the last.
page_drag() {
    local w=$1 x y
    read -r x y <<<"$2"
    shift 2
    page_move "$w" "$x" "$y"
    xdotool mousedown 1
    sleep 0.1
    local point
    for point; do
        read -r x y <<<"$point"
        page_move "$w" "$x" "$y"
    done
    sleep 0.1
    xdotool mouseup 1
    sleep 0.2
}

# One red desktop holding shortcuts "left top file", in element order (the
# file last: it may hold spaces). $1: one more line for [General], or
# nothing. The files must exist: a missing one is not loaded.
write_shortcut_desktop() {
    local general=$1 entry left top file i=0
    shift
    {
        printf '[General]\r\nPage_Count=1\r\nActive_Page=0\r\n'
        [ -n "$general" ] && printf '%s\r\n' "$general"
        printf '\r\n[Page0]\r\nDesktop_Caption=Work\r\nBG_Color=255\r\nItem_CountTrue=%d\r\n' $#
        for entry; do
            read -r left top file <<<"$entry"
            i=$((i + 1))
            printf '\r\n[Page0\\Item%d]\r\nAttachedFile=%s\r\nLabel_Caption=%s\r\nItem_Left=%d\r\nItem_Top=%d\r\n' \
                "$i" "$file" "${file##*/}" "$left" "$top"
        done
    } >"$VORLANE_SETTINGS"
}

# The AttachedFile of every shortcut of the first desktop that a load
# reads, one a line in element order. A save leaves the sections of
# deleted shortcuts behind; the count decides which are read.
loaded_files() {
    local count i
    count=$(section_lines Page0 | sed -n 's/^Item_CountTrue=//p')
    for ((i = 1; i <= ${count:-0}; i++)); do
        section_lines "Page0\\Item$i" | sed -n 's/^AttachedFile=//p'
    done
}

# The section of the shortcut with file $1 holds position $2 $3.
placed_at() {
    local section
    section=$(item_section_of "$1")
    holds_line "$section" "Item_Left=$2" && holds_line "$section" "Item_Top=$3"
}
show_positions() {
    tr -d '\r' <"$VORLANE_SETTINGS" 2>/dev/null | grep -E '^(\[Page0|AttachedFile=|Item_Left=|Item_Top=|Item_CountTrue=)' | sed 's/^/    | /'
}

# Starts a copy on the settings file as written, waits for its window and
# finds where its page begins.
start_on_page() {
    start_and_wait_window || { fail "no window"; return 1; }
    focus_window "$win" || { fail "the window does not take the focus"; return 1; }
    # The pointer is drawn into the framebuffer: keep it out of the way.
    xdotool mousemove 0 0
    if wait_for 10 find_page_origin "$win"; then
        echo "    (the page begins at $page_x,$page_y of the window)"
    else
        fail "no red page found in the window's pixels"
        return 1
    fi
}

scenario_band_and_drag() {
    begin_scenario band-and-drag
    mkdir -p "$scene/files"
    local a="$scene/files/Alpha.txt" b="$scene/files/Beta two.txt" c="$scene/files/Gamma.txt" f
    for f in "$a" "$b" "$c"; do printf 'text\n' >"$f"; done
    # Immediate saving on: a drag that reported a change would write the
    # file at once.
    write_shortcut_desktop "Immediate_Save=1" "200 120 $a" "280 150 $b" "520 300 $c"
    if start_on_page; then
        local pid=$last_pid w=$win before
        before=$(file_sum)
        # From the empty background around both pictures; the band is judged
        # one move behind the pointer, hence the last step of one pixel.
        page_drag "$w" "150 90" "180 110" "230 140" "290 170" "340 200" "341 201"
        # Alpha's picture spans (200,120)-(232,152); the drag passes the
        # start distance in its first step and ends on the background.
        page_drag "$w" "216 136" "241 146" "266 156" "291 166" "316 176" "341 186" "366 196"
        sleep 0.3
        check "the program keeps running" is_running "$pid"
        check "the band and the drag saved nothing, even with immediate saving on" test "$(file_sum)" = "$before"
        kill -TERM "$pid"
        if wait_for 10 is_gone "$pid"; then
            check "it ends with status 0 after SIGTERM" status_of "$pid"
        else
            fail "the program still runs 10 s after SIGTERM"
        fi
        check "the file still counts three shortcuts" holds_line "$(section_lines Page0)" "Item_CountTrue=3"
        check "the dragged shortcut moved by (150,60) to (350,180)" placed_at "$a" 350 180
        check "the other one in the band moved with it to (430,210)" placed_at "$b" 430 210
        check "the shortcut outside the band stayed at (520,300)" placed_at "$c" 520 300
        ((failed > scene_failed_before)) && show_positions
    fi
    end_scenario
}

scenario_menu_delete() {
    begin_scenario menu-delete
    mkdir -p "$scene/files"
    local a="$scene/files/Alpha.txt" b="$scene/files/Beta.txt" c="$scene/files/Gamma.txt" f
    for f in "$a" "$b" "$c"; do printf 'text\n' >"$f"; done
    write_shortcut_desktop "" "120 120 $a" "240 120 $b" "360 120 $c"
    if start_on_page; then
        local pid=$last_pid w=$win
        # Alpha selected first: the right press on Beta, without Ctrl, must
        # leave Beta selected alone, or Alpha goes too.
        page_move "$w" 136 136
        xdotool click 1
        sleep 0.3
        page_move "$w" 256 136
        xdotool click 3
        if wait_for 10 popup_shown "$pid"; then
            sleep 0.2
            # Copy, Cut, Delete.
            press Down Down Down Return
            if wait_for 10 find_dialog_titled "$pid" Warning && focus_dialog "$found"; then
                local question=$found
                pass "\"Delete Shortcut\" asks"
                # Return is OK in this question.
                press Return
                check "the question closes" wait_for 10 window_gone "$question"
            else
                fail "no focused question \"Warning\" after \"Delete Shortcut\""
            fi
        else
            fail "no shortcut menu after a right click on a shortcut"
        fi
        check "the program keeps running" is_running "$pid"
        kill -TERM "$pid"
        if wait_for 10 is_gone "$pid"; then
            check "it ends with status 0 after SIGTERM" status_of "$pid"
        else
            fail "the program still runs 10 s after SIGTERM"
        fi
        check "the desktop counts two shortcuts" holds_line "$(section_lines Page0)" "Item_CountTrue=2"
        check "the shortcuts read back are Alpha and Gamma, in that order" test "$(loaded_files)" = "$a"$'\n'"$c"
        check "Alpha keeps its place" placed_at "$a" 120 120
        check "Gamma keeps its place" placed_at "$c" 360 120
        ((failed > scene_failed_before)) && show_positions
    fi
    end_scenario
}

# --- the keyboard alone -------------------------------------------------------

# Lines in file $1 (0 when it is missing).
lines_in() { [ -f "$1" ] && wc -l <"$1" || echo 0; }

scenario_keyboard_only() {
    begin_scenario keyboard-only
    mkdir -p "$scene/files"
    local mark="$scene/files/mark.sh" beta="$scene/files/Beta.txt" gamma="$scene/files/Gamma.txt" marker="$scene/marker"
    printf '#!/bin/sh\necho started >>"%s"\n' "$marker" >"$mark"
    chmod +x "$mark"
    printf 'text\n' >"$beta"
    printf 'text\n' >"$gamma"
    # Work: three shortcuts in a row. Vault asks for its password ("key")
    # when it is opened.
    write_shortcut_desktop "" "40 40 $mark" "140 40 $beta" "240 40 $gamma"
    sed -i 's/^Page_Count=1\r$/Page_Count=2\r/' "$VORLANE_SETTINGS"
    printf '\r\n[Page1]\r\nDesktop_Caption=Vault\r\nPassword=57\r\nPassword_On_Desktop=1\r\n' >>"$VORLANE_SETTINGS"
    # No mouse from here on: the window is brought forward by the window
    # manager and everything else is keys.
    if start_and_wait_window && focus_window "$win"; then
        local pid=$last_pid w=$win dialog
        # The page has the keyboard from the start; the first arrow picks the
        # top-left shortcut. Enter held down starts it once, not once per repeat.
        press Right
        xdotool keydown Return
        sleep 1.5
        xdotool keyup Return
        sleep 1
        check "Enter held for 1.5 s starts the shortcut once (started $(lines_in "$marker") times)" \
            test "$(lines_in "$marker")" = 1
        press ctrl+Return alt+Return
        sleep 1
        check "Ctrl+Enter and Alt+Enter start nothing" test "$(lines_in "$marker")" = 1

        # The menu key opens the current shortcut's menu (Copy, Cut, Delete,
        # Rename): the third shortcut is renamed.
        press Right Right Menu
        if wait_for 10 popup_shown "$pid"; then
            pass "the menu key opens the shortcut's menu"
            sleep 0.2
            press Down Down Down Down Return
            if wait_for 10 find_dialog_titled "$pid" Rename && focus_dialog "$found"; then
                pass "its \"Rename Shortcut\" asks for the new name"
                press ctrl+a
                xdotool type --delay 40 Renamed
                press Return
                check "the rename dialog closes" wait_for 10 window_gone "$found"
            else
                fail "no focused dialog \"Rename\" from the shortcut's menu"
            fi
        else
            fail "no menu after the menu key"
        fi

        # Ctrl+Tab goes to Vault through its password question.
        focus_window "$w"
        press ctrl+Tab
        if wait_for 10 find_dialog_titled "$pid" "Password for Vault Desktop" && focus_dialog "$found"; then
            dialog=$found
            pass "Ctrl+Tab asks for the next desktop's password"
            xdotool type --delay 40 key
            press Return
            check "the question closes" wait_for 10 window_gone "$dialog"
            focus_window "$w"
            # No shortcut there: Shift+F10 opens the desktop's menu; New Note,
            # after "Undo Shortcut Change" (the rename) and New Shortcut and
            # New URL ("Redo", with nothing to redo, is passed over).
            press shift+F10
            if wait_for 10 popup_shown "$pid"; then
                pass "Shift+F10 opens the desktop's menu"
                sleep 0.2
                press Down Down Down Down Return
                sleep 0.3
            else
                fail "no menu after Shift+F10"
            fi
        else
            fail "no focused question \"Password for Vault Desktop\" after Ctrl+Tab"
        fi

        # Back with Ctrl+Page Up; Shift+Tab reaches the tabs and Tab the page
        # again; the first two shortcuts, selected with Right and Shift+Right,
        # go with Delete.
        focus_window "$w"
        press ctrl+Prior shift+Tab Tab Right shift+Right Delete
        if wait_for 10 find_dialog_titled "$pid" Warning && focus_dialog "$found"; then
            pass "Delete asks about the selected shortcuts"
            press Return
            check "the question closes" wait_for 10 window_gone "$found"
        else
            fail "no focused question \"Warning\" after Delete"
        fi
        check "the program keeps running" is_running "$pid"
        kill -TERM "$pid"
        if wait_for 10 is_gone "$pid"; then
            check "it ends with status 0 after SIGTERM" status_of "$pid"
        else
            fail "the program still runs 10 s after SIGTERM"
        fi
        check "Work keeps only the third shortcut" test "$(loaded_files)" = "$gamma"
        check "the third shortcut carries its new name" holds_line "$(section_lines 'Page0\Item1')" "Label_Caption=Renamed"
        check "Vault holds the new note" holds_line "$(section_lines Page1)" "Note_CountTrue=1"
        ((failed > scene_failed_before)) && show_positions
    else
        fail "no window, or it does not take the focus"
    fi
    end_scenario
}

# --- a note: its text, its menu, a real move --------------------------------

# Where the page of window $1 begins on the screen (find_page_origin first):
# sets page_sx and page_sy.
page_sx=
page_sy=
page_on_screen() {
    local info ax ay
    info=$(xwininfo -id "$1" 2>/dev/null) || return 1
    ax=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
    ay=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
    [ -n "$ax" ] && [ -n "$ay" ] || return 1
    page_sx=$((ax + page_x)) page_sy=$((ay + page_y))
}
# The $3 pixels of the page's row $2 from page point $1 on, as runs of
# named colours: "red:10 yellow:200 red:10". Exact edges, and readable
# when a check fails.
page_runs() {
    fb_row $((page_sx + $1)) $((page_sy + $2)) "$3" | awk '
        { c = $0 == "255 0 0" ? "red" : $0 == "255 255 0" ? "yellow" : $0 == "0 0 0" ? "black" \
              : $0 == "255 255 255" ? "white" : "other"
          if (c == last) n++; else { if (n) { printf "%s%s:%d", sep, last, n; sep = " " } last = c; n = 1 } }
        END { if (n) printf "%s%s:%d", sep, last, n; print "" }'
}
runs_are() {
    local got
    got=$(page_runs "$1" "$2" "$3")
    [ "$got" = "$4" ] && return 0
    echo "    (page row $2 from x $1: $got; wanted $4)"
    return 1
}
no_yellow_in_row() { ! page_runs "$1" "$2" "$3" | grep -q yellow; }
# How many dark pixels (red and green below 100: text, not the yellow
# paper) the page rectangle $1 $2 of $3 x $4 pixels holds.
dark_pixels() {
    local y n=0 rows=
    for ((y = $2; y < $2 + $4; y++)); do
        rows+=$(fb_row $((page_sx + $1)) $((page_sy + y)) "$3")$'\n'
    done
    awk 'NF == 3 && $1 < 100 && $2 < 100 { n++ } END { print n + 0 }' <<<"$rows"
}
popup_gone() { ! popup_shown "$1"; }

# Opens the menu of the note under page point $2 $3 of window $1 (copy
# $4) with a right click and walks $5 entries down; Return then chooses,
# and the menu must be gone before the next one opens.
note_menu_entry() {
    local w=$1 x=$2 y=$3 pid=$4 steps=$5 keys=()
    page_move "$w" "$x" "$y"
    xdotool click 3
    wait_for 10 popup_shown "$pid" || return 1
    sleep 0.2
    while ((steps-- > 0)); do keys+=(Down); done
    press "${keys[@]}" Return
    wait_for 10 popup_gone "$pid"
}

scenario_note_edit_move() {
    begin_scenario note-edit-move
    # One yellow note of 200 x 80 at (100,100) in bold black type, on a red
    # desktop. Immediate saving on: none of what follows may save before
    # the end.
    printf '[General]\r\nPage_Count=1\r\nActive_Page=0\r\nImmediate_Save=1\r\n\r\n[Page0]\r\nDesktop_Caption=Work\r\nBG_Color=255\r\nNote_CountTrue=1\r\n\r\n[Page0\\Note1]\r\nCount=1\r\n1=Old line\r\nNote_Width=200\r\nNote_Height=80\r\nNote_Left=100\r\nNote_Top=100\r\nNote_Font=DejaVu Sans,12,1,1000,clBlack\r\nNote_Color=0000FFFF\r\nUseParentColor=0\r\n' \
        >"$VORLANE_SETTINGS"
    # A row through the middle of the three upper size handles, from 5
    # pixels left of the first: black framed in white.
    local handles_row="red:2 white:1 black:4 white:1 red:94 white:1 black:4 white:1 red:94 white:1 black:4 white:1 red:4"
    if start_on_page && page_on_screen "$win"; then
        local pid=$last_pid w=$win before dark_before dark_after
        before=$(file_sum)
        # Row 170 lies below two lines of text and clear of every size
        # handle, before and after the move.
        check "the note shows as a yellow box from x 100 to 299 on row 170" runs_are 90 170 220 "red:10 yellow:200 red:10"
        check "the note's top edge is row 100" runs_are 150 99 1 "red:1"
        check "... and its bottom edge row 179" runs_are 150 180 1 "red:1"
        dark_before=$(dark_pixels 100 100 200 80)
        check "its line shows as dark type on the note ($dark_before dark pixels)" test "$dark_before" -ge 20

        # Reading face: Edit, Move & Resize, Properties, Delete.
        if note_menu_entry "$w" 200 140 "$pid" 1; then
            sleep 0.2
            press ctrl+End Return
            xdotool type --delay 60 "New line"
            sleep 0.3
            dark_after=$(dark_pixels 100 100 200 80)
            check "the typed line shows: more dark pixels ($dark_before, then $dark_after)" test "$dark_after" -gt $((dark_before + 20))
        else
            fail "no note menu after a right click on the note (for Edit)"
        fi
        # Editing face: Block first.
        note_menu_entry "$w" 200 140 "$pid" 1 || fail "no note menu after a right click on the note (for Block)"
        if note_menu_entry "$w" 200 140 "$pid" 2; then
            xdotool mousemove 0 0
            # Handles 0, 1 and 2 on row 99: 6 pixels each, centred on x 100,
            # 200 and 300, black framed in white.
            check "\"Move & Resize\" shows the size handles above the note" \
                wait_for 5 runs_are 95 99 212 "$handles_row"
        else
            fail "no note menu after a right click on the note (for Move & Resize)"
        fi

        # The real mouse, by (150,60) in steps.
        page_move "$w" 200 140
        xdotool mousedown 1
        sleep 0.1
        local step
        for step in "225 150" "250 160" "275 170" "300 180" "325 190" "350 200"; do
            page_move "$w" ${step% *} ${step#* }
        done
        sleep 0.3
        # Clear of the outline, which runs along the edges of (248,160)-(447,239).
        check "while the button is down the note stays where it was" runs_are 90 170 150 "red:10 yellow:140"
        check "... and nothing yellow shows at the new place yet" no_yellow_in_row 300 230 140
        xdotool mouseup 1
        sleep 0.2
        xdotool mousemove 0 0
        # Moved by the grid-truncated (148,60) to (248,160).
        check "after the release the yellow box spans x 248 to 447 on row 230" \
            wait_for 5 runs_are 238 230 220 "red:10 yellow:200 red:10"
        check "... from row 160 to 239" runs_are 300 159 1 "red:1"
        check "... and not beyond" runs_are 300 240 1 "red:1"
        check "the old place shows the desktop again" runs_are 90 120 150 "red:150"
        check "the text moved with the note" test "$(dark_pixels 248 160 200 80)" -ge "$dark_after"
        check "the handles show again around the moved note" \
            runs_are 243 159 212 "$handles_row"

        check "the program keeps running" is_running "$pid"
        check "typing and moving saved nothing, even with immediate saving on" test "$(file_sum)" = "$before"
        kill -TERM "$pid"
        if wait_for 10 is_gone "$pid"; then
            check "it ends with status 0 after SIGTERM" status_of "$pid"
        else
            fail "the program still runs 10 s after SIGTERM"
        fi
        local note
        note=$(section_lines 'Page0\Note1')
        check "the desktop still counts one note" holds_line "$(section_lines Page0)" "Note_CountTrue=1"
        check "the note counts two lines" holds_line "$note" "Count=2"
        check "its first line is the old one" holds_line "$note" "1=Old line"
        check "its second line is the typed one" holds_line "$note" "2=New line"
        check "it moved by (148,60) to Note_Left=248" holds_line "$note" "Note_Left=248"
        check "... and Note_Top=160" holds_line "$note" "Note_Top=160"
        check "its size is kept" holds_line "$note" "Note_Width=200"
        check "... both ways" holds_line "$note" "Note_Height=80"
        check "its colour is kept" holds_line "$note" "Note_Color=0000FFFF"
        ((failed > scene_failed_before)) && sed 's/^/    | /' <<<"$note"
    fi
    end_scenario
}

# An empty desktop explains itself in its middle until its first element.
scenario_empty_hint() {
    begin_scenario empty-hint
    printf '[General]\r\nPage_Count=1\r\nActive_Page=0\r\n\r\n[Page0]\r\nDesktop_Caption=Work\r\nBG_Color=255\r\n' \
        >"$VORLANE_SETTINGS"
    if start_on_page && page_on_screen "$win"; then
        local pid=$last_pid w=$win width height
        width=$(window_info "$w" | sed -n 's/^ *Width: *//p')
        height=$(window_info "$w" | sed -n 's/^ *Height: *//p')
        # Left of where a new shortcut and its caption appear, on the
        # page's middle rows: pixels that are not the desktop's red.
        hint_pixels() {
            local y rows= mid=$(((height - page_y) / 2))
            for ((y = mid - 50; y < mid + 30; y += 2)); do
                rows+=$(fb_row $((page_sx + width / 8)) $((page_sy + y)) $((width / 2 - 110 - width / 8)))$'\n'
            done
            awk 'NF == 3 && $0 != "255 0 0" { n++ } END { print n + 0 }' <<<"$rows"
        }
        local before
        before=$(hint_pixels)
        check "the empty desktop shows a hint in its middle ($before pixels)" test "$before" -gt 50
        printf 'list\n' >"$scene/first.txt"
        check "a second start hands a file over" second_start_hands_over "$pid" "$scene" "$scene/first.txt"
        check "the first shortcut takes the hint away" wait_for 10 eval '[ "$(hint_pixels)" = 0 ]'
        kill -TERM "$pid"
        wait_for 10 is_gone "$pid" || fail "the program still runs 10 s after SIGTERM"
        check "the hint is never saved" test -z "$(grep -iF "desktop is empty" "$VORLANE_SETTINGS")"
    fi
    end_scenario
}

# --- the options dialogs ----------------------------------------------------

# The [General] lines that no window geometry decides, without $1: what a
# dialog that changed only $1 must leave as it was.
general_without() {
    section_lines General | grep -v -e '^Form[A-Za-z]*_Key=' -e "^$1="
}

scenario_common_options() {
    begin_scenario common-options
    local saved_config=$XDG_CONFIG_HOME
    # Private: the autostart entry lands in this folder and nowhere else.
    export XDG_CONFIG_HOME="$scene/config"
    mkdir -p "$XDG_CONFIG_HOME"
    local entry="$XDG_CONFIG_HOME/autostart/vorlane.desktop"
    printf '[General]\r\nPage_Count=1\r\nActive_Page=0\r\nTab_Multiline=1\r\n\r\n[Page0]\r\nDesktop_Caption=Work\r\n' \
        >"$VORLANE_SETTINGS"
    # Complete first, so that every other option of the page has a line to
    # compare afterwards.
    "$bin" --resave >>"$scene/vorlane.log" 2>&1 </dev/null || fail "precondition: --resave fails"
    settings_line "Tab_Multiline=1" || fail "precondition: the file does not hold Tab_Multiline=1"
    local others
    others=$(general_without Tab_Multiline)
    if start_and_wait_window; then
        local pid=$last_pid w=$win dialog=
        if focus_window "$w"; then
            xdotool mousemove --window "$w" 420 320
            sleep 0.2
            xdotool click 3
            if wait_for 10 popup_shown "$pid"; then
                sleep 0.2
                # New Shortcut, New Url, New Note, New Desktop, Rename
                # Desktop, Delete Desktop, (Paste Shortcut: disabled with
                # nothing copied, so skipped), Find..., Arrange Shortcuts,
                # Options. Right opens the submenu on its first entry,
                # Common Options.
                press Down Down Down Down Down Down Down Down Down Right
                sleep 0.2
                press Return
            else
                fail "no desktop menu after a right click on the background"
            fi
        else
            fail "the window does not take the focus"
        fi
        if wait_for 10 find_dialog_titled "$pid" "Common Options" && focus_dialog "$found"; then
            dialog=$found
            pass "Options > Common Options opens the focused dialog \"Common Options\""
            sleep 0.3
            # The page tabs hold the focus first; then come the check boxes
            # of the first page in their column: "Load at startup", "Tabs
            # position on top", "Multiline tabs". Return is OK.
            press Tab space Tab Tab space Return
            check "OK closes the dialog" wait_for 10 window_gone "$dialog"
        else
            fail "no focused dialog \"Common Options\" from the desktop menu"
        fi
        check "ticking \"Load at startup\" writes the autostart entry" wait_for 5 test -f "$entry"
        local exec
        exec=$(sed -n 's/^Exec=//p' "$entry" 2>/dev/null)
        # The program names itself as the kernel knows it: links resolved.
        local program
        program=$(readlink -f "$bin")
        check "its Exec line is the program's full path ($exec)" test "$exec" = "$program" -o "$exec" = "\"$program\""
        check "the program keeps running" is_running "$pid"
        kill -TERM "$pid"
        if wait_for 10 is_gone "$pid"; then
            check "it ends with status 0 after SIGTERM" status_of "$pid"
        else
            fail "the program still runs 10 s after SIGTERM"
        fi
        check "unticking \"Multiline tabs\" saves Tab_Multiline=0" settings_line "Tab_Multiline=0"
        check "the other options are as they were" test "$(general_without Tab_Multiline)" = "$others"
        ((failed > scene_failed_before)) && section_lines General | sed 's/^/    | /'
    else
        fail "no window"
    fi
    end_scenario
    export XDG_CONFIG_HOME=$saved_config
}

# --- main -------------------------------------------------------------------

e2e_start_display
scenario_start
scenario_second_start
scenario_three_at_once
scenario_stale_lock
scenario_close_box
scenario_ctrl_s
scenario_alt_q
scenario_signals
scenario_handed_file
scenario_double_click
scenario_password_prompt_term
scenario_startup_picture_question
scenario_reload_term
scenario_handoff_during_question
scenario_term_during_question
scenario_first_starts_race
scenario_thirty_at_a_running_copy
scenario_handed_name_not_utf8
scenario_rename_message
scenario_band_and_drag
scenario_menu_delete
scenario_note_edit_move
scenario_empty_hint
scenario_common_options
scenario_keyboard_only
e2e_finish
