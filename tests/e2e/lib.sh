# Shared by the end-to-end scripts, sourced by each of them: the tally of
# checks, a private Xvfb display with openbox, a temporary home, one folder
# per scenario, starting and stopping copies of the program, the X helpers
# that judge its windows from outside and readers of the settings file and
# of the screen's pixels.
#
# A script sources this file, then calls
#   e2e_prepare PREFIX "$1" TOOL...   (checks its argument and the tools,
#                                      makes the temporary folder and home)
#   e2e_start_display                 (Xvfb + openbox, or ends the script)
# runs its scenarios between begin_scenario NAME and end_scenario, and ends
# with e2e_finish. Every process it starts through here is stopped by PID
# when the script ends; nothing outside its own temporary folder is touched.
# E2E_DISPLAY picks the display number; otherwise a free one is found.

passed=0
failed=0
pass() { echo "PASS: $*"; passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
check() {
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

# Fails before the first scenario and ends the script.
e2e_abort() {
    fail "$*"
    echo "$passed passed, $failed failed"
    exit 1
}

tmp=
fb_dir=
xvfb_pid=
wm_pid=
helpers=()         # every process a scenario started, the program's copies among them
cleanup_hooks=()   # commands a script adds to run before the helpers are stopped
screen_w=1920
screen_h=1080

# $1: the temporary folder's name prefix; $2: the program; the rest: the
# tools the script needs.
e2e_prepare() {
    local prefix=$1 tool
    bin=$2
    shift 2
    if [ -z "$bin" ] || [ ! -x "$bin" ]; then
        e2e_abort "usage: $0 path/to/vorlane (got '${bin}')"
    fi
    # Copies started in other folders need it absolute.
    case $bin in /*) ;; *) bin=$PWD/$bin ;; esac
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || e2e_abort "$tool is missing (tools/dev.sh test installs it)"
    done

    tmp=$(mktemp -d "${TMPDIR:-/tmp}/$prefix.XXXXXX") || exit 1
    chmod 700 "$tmp"
    # Xvfb keeps its framebuffer in an XWD file here.
    fb_dir="$tmp/fb"
    mkdir -p "$fb_dir"

    mkdir -p "$tmp/home" "$tmp/home/.config" "$tmp/home/.local/share" "$tmp/home/.cache"
    export HOME="$tmp/home"
    export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
    export VORLANE_REGISTRY="$HOME/registry.ini"
    export QT_QPA_PLATFORM=xcb
    unset SESSION_MANAGER
    # Qt 6.4 given this connects to the accessibility bus but never
    # registers; it must find the bus through the session bus.
    unset AT_SPI_BUS_ADDRESS
}

# --- processes ----------------------------------------------------------------

# Polls "$@" every 0.1 s for at most $1 seconds.
wait_for() {
    local steps=$(($1 * 10))
    shift
    until "$@"; do
        ((steps-- > 0)) || return 1
        sleep 0.1
    done
}

# Alive, not a zombie, and still our own child: a PID alone could have been
# reused by someone else's process once ours was reaped.
is_running() {
    local stat state ppid
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    # The command name may hold spaces and parentheses; state and parent
    # follow the last ')'.
    read -r state ppid _ <<<"${stat##*)}"
    [ "$state" != Z ] && [ "$ppid" = "$$" ]
}
is_gone() { ! is_running "$1"; }

# Seconds since an $EPOCHREALTIME value, one decimal.
since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }'; }

# Exit status of an ended child (bash keeps it after reaping).
status_of() { wait "$1" 2>/dev/null; }

# Every descendant of a PID, deepest last: a bus starts its services (the
# registry daemon, the accessibility bus's own daemon) as children.
descendants() {
    local kid
    for kid in $(ps -o pid= --ppid "$1" 2>/dev/null); do
        echo "$kid"
        descendants "$kid"
    done
}

# Stops a child of ours and whatever it started under it.
stop_pid() {
    local pid=$1 kid
    is_running "$pid" || return 0
    for kid in $(descendants "$pid" | tac); do kill -TERM "$kid" 2>/dev/null; done
    kill -TERM "$pid" 2>/dev/null
    wait_for 10 is_gone "$pid" || kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

# Last started first: a drag source or a tray host outlives no program
# that used it, a bus no client.
stop_helpers() {
    local i
    for ((i = ${#helpers[@]} - 1; i >= 0; i--)); do stop_pid "${helpers[i]}"; done
    helpers=()
}

cleanup() {
    local hook
    for hook in "${cleanup_hooks[@]}"; do $hook; done
    stop_helpers
    [ -n "$wm_pid" ] && stop_pid "$wm_pid"
    [ -n "$xvfb_pid" ] && stop_pid "$xvfb_pid"
    [ -n "$tmp" ] && rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# --- the display ----------------------------------------------------------

xvfb_up() {
    local n=$1
    # The lock names the server that owns the display; a racing run that
    # took the number first would answer xdpyinfo too.
    [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock")" = "$xvfb_pid" ] \
        && xdpyinfo -display ":$n" >/dev/null 2>&1
}

start_xvfb() {
    local i n attempts=0 steps
    local first=$((RANDOM % 110))
    for ((i = 0; i < 110 && attempts < 8; i++)); do
        if [ -n "${E2E_DISPLAY-}" ]; then
            ((i == 0)) || break
            n=$E2E_DISPLAY
        else
            n=$((90 + (first + i) % 110))
        fi
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        attempts=$((attempts + 1))
        # -fbdir: the screen's pixels, readable without a screenshot tool.
        Xvfb ":$n" -screen 0 "${screen_w}x${screen_h}x24" -nolisten tcp -noreset -fbdir "$fb_dir" \
            >"$tmp/xvfb.log" 2>&1 </dev/null &
        xvfb_pid=$!
        steps=150
        until xvfb_up "$n"; do
            # Gone: another server took the number between our look and
            # our start.
            is_running "$xvfb_pid" && ((steps-- > 0)) || break
            sleep 0.1
        done
        if xvfb_up "$n"; then
            export DISPLAY=":$n"
            return 0
        fi
        stop_pid "$xvfb_pid"
        xvfb_pid=
    done
    return 1
}

wm_up() {
    is_running "$wm_pid" && xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

start_openbox() {
    openbox --sm-disable >"$tmp/openbox.log" 2>&1 </dev/null &
    wm_pid=$!
    wait_for 15 wm_up
}

# Xvfb and openbox up, or the script ends with what they said.
e2e_start_display() {
    if ! start_xvfb; then
        cat "$tmp/xvfb.log" 2>/dev/null
        e2e_abort "no Xvfb display could be started (see above)"
    fi
    if ! start_openbox; then
        cat "$tmp/openbox.log" 2>/dev/null
        e2e_abort "openbox did not come up"
    fi
    echo "display $DISPLAY, Xvfb $xvfb_pid, openbox $wm_pid"
    # The first XTEST key on a fresh server switches the keyboard map under
    # the clients, and a key sent then can be lost; spend it on nothing.
    xdotool key --delay 60 shift
    sleep 0.3
    started_all=$EPOCHREALTIME
}

e2e_finish() {
    echo "all scenarios: $(since "$started_all") s"
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

# A private session bus with an accessibility bus on it, for this
# scenario's processes only: Qt then shows its widgets over AT-SPI. Sets
# and exports DBUS_SESSION_BUS_ADDRESS.
a11y_up() { dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1; }
start_a11y_bus() {
    dbus-daemon --session --nofork --print-address=1 >"$scene/bus.address" 2>"$scene/dbus.log" </dev/null &
    helpers+=("$!")
    wait_for 10 test -s "$scene/bus.address" || return 1
    export DBUS_SESSION_BUS_ADDRESS
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$scene/bus.address")
    # --a11y=1 makes the bus report accessibility as enabled.
    /usr/libexec/at-spi-bus-launcher --launch-immediately --a11y=1 >"$scene/a11y.log" 2>&1 </dev/null &
    helpers+=("$!")
    wait_for 10 a11y_up
}

# --- scenarios and copies of the program --------------------------------------

# A fresh runtime folder (lock, socket) and settings path per scenario.
# A script that needs more at the start of each redefines begin_scenario
# around this.
scene=
e2e_begin_scenario() {
    scene="$tmp/$1"
    mkdir -p "$scene"
    mkdir -m 700 "$scene/run"
    export XDG_RUNTIME_DIR="$scene/run"
    export VORLANE_SETTINGS="$scene/vorlane.ini"
    echo "--- $1"
    scene_failed_before=$failed
    scene_started=$EPOCHREALTIME
}
begin_scenario() { e2e_begin_scenario "$1"; }

# Stops what the scenario started; after a failure shows what every process
# of it wrote.
end_scenario() {
    stop_helpers
    if ((failed > scene_failed_before)); then
        local log
        for log in "$scene"/*.log; do
            [ -s "$log" ] || continue
            echo "    ${log##*/}:"
            sed 's/^/    | /' "$log" | tail -n 40
        done
    fi
    echo "    ($(since "$scene_started") s)"
}

last_pid=
start_copy() {
    "$bin" >>"$scene/vorlane.log" 2>&1 </dev/null &
    last_pid=$!
    helpers+=("$last_pid")
}

# xwininfo without an id waits for a click on a window: never call it so.
window_info() { [ -n "$1" ] && xwininfo -id "$1" 2>/dev/null; }
map_state() { window_info "$1" | sed -n 's/^ *Map State: *//p'; }
wm_state() { xprop -id "$1" WM_STATE 2>/dev/null | sed -n 's/^.*window state: *//p'; }

# The main window of a copy: titled "Vorlane", of the normal type, shown.
# Qt's hidden group-leader window and the splash carry the same title, and
# a signal sent while only the splash shows finds no handler yet. (--all:
# by default xdotool joins --pid and --name with "or", and then finds the
# windows of every other copy too.)
win=
find_main_window() {
    local w
    for w in $(xdotool search --all --pid "$1" --name '^Vorlane$' 2>/dev/null); do
        # Qt lists NORMAL last on every window as a fallback, the splash
        # included; only a plain window has it first.
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q '= _NET_WM_WINDOW_TYPE_NORMAL\b' || continue
        [ "$(map_state "$w")" = IsViewable ] || continue
        win=$w
        return 0
    done
    return 1
}

# Starts a copy and waits for its window; sets last_pid and win.
start_and_wait_window() {
    win=
    start_copy
    wait_for 20 find_main_window "$last_pid"
}

viewable() { [ "$(map_state "$1")" = IsViewable ] && [ "$(wm_state "$1")" = Normal ]; }
minimised() {
    [ "$(map_state "$1")" != IsViewable ] \
        && { [ "$(wm_state "$1")" = Iconic ] || xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_HIDDEN; }
}
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

# Keys go through XTEST to whatever has the focus, as a user's would, so
# the window must really hold it first.
focus_window() {
    timeout 10 xdotool windowactivate --sync "$1" >/dev/null 2>&1
    wait_for 10 has_focus "$1" || return 1
    sleep 0.2
}

press() {
    xdotool key --delay 60 "$@"
    sleep 0.1
}

# A pop-up of copy $1 is shown: a mapped window that bypasses the window
# manager.
popup_shown() {
    local w
    for w in $(xdotool search --all --pid "$1" --onlyvisible --name '.*' 2>/dev/null); do
        window_info "$w" | grep -q 'Override Redirect State: yes' && return 0
    done
    return 1
}

# --- dialogs ----------------------------------------------------------------

# A mapped window of copy $1 whose title is exactly $2 (xdotool's own match
# ignores case); sets found.
found=
title_is() { [ "$(xprop -id "$1" _NET_WM_NAME 2>/dev/null)" = "_NET_WM_NAME(UTF8_STRING) = \"$2\"" ]; }
find_titled() {
    local w
    for w in $(xdotool search --all --pid "$1" --name "^$2\$" 2>/dev/null); do
        title_is "$w" "$2" || continue
        [ "$(map_state "$w")" = IsViewable ] || continue
        found=$w
        return 0
    done
    return 1
}
# Same, but never the main window: message boxes may share its title.
find_dialog_titled() {
    local w
    for w in $(xdotool search --all --pid "$1" --name "^$2\$" 2>/dev/null); do
        title_is "$w" "$2" || continue
        [ "$(map_state "$w")" = IsViewable ] || continue
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q '= _NET_WM_WINDOW_TYPE_DIALOG\b' || continue
        found=$w
        return 0
    done
    return 1
}
window_gone() { [ "$(map_state "$1")" != IsViewable ]; }
# Keys go to the focus: wait until the window holds it.
focus_dialog() {
    wait_for 10 has_focus "$1" || { timeout 10 xdotool windowactivate --sync "$1" >/dev/null 2>&1 && wait_for 10 has_focus "$1"; }
}

# --- the settings file ----------------------------------------------------------

# The [section] named $1 (without brackets), its lines without the CR.
section_lines() {
    tr -d '\r' <"$VORLANE_SETTINGS" 2>/dev/null | awk -v want="[$1]" '
        /^\[/ { inside = ($0 == want); next }
        inside && NF { print }'
}
# The [section] of the settings file whose AttachedFile= is exactly $1, its
# lines without the CR, or nothing.
item_section_of() {
    tr -d '\r' <"$VORLANE_SETTINGS" 2>/dev/null | awk -v want="AttachedFile=$1" '
        /^\[/ { if (hit) exit; n = 0; hit = 0 }
        { sec[n++] = $0; if ($0 == want) hit = 1 }
        END { if (hit) for (i = 0; i < n; i++) print sec[i] }'
}
# Text $1 holds the line $2 exactly.
holds_line() { grep -qxF -- "$2" <<<"$1"; }

# --- the screen's pixels ----------------------------------------------------

# The framebuffer file is XWD: a header of big-endian 32-bit fields, a
# colour map of 12-byte entries, then the pixels row by row.
fb_file() { echo "$fb_dir/Xvfb_screen0"; }
fb_field() { od -An -tu1 -j "$1" -N 4 "$(fb_file)" 2>/dev/null | awk 'NF == 4 { print (($1 * 256 + $2) * 256 + $3) * 256 + $4 }'; }
fb_data=
fb_stride=
fb_order=
fb_layout() {
    [ -n "$fb_data" ] && return 0
    local header order bpp stride red green blue colours
    header=$(fb_field 0) order=$(fb_field 28) bpp=$(fb_field 44) stride=$(fb_field 48)
    red=$(fb_field 56) green=$(fb_field 60) blue=$(fb_field 64) colours=$(fb_field 76)
    # What a 24-bit Xvfb screen holds: 4 bytes a pixel, red in the high byte.
    [ "$bpp" = 32 ] && [ "$red" = 16711680 ] && [ "$green" = 65280 ] && [ "$blue" = 255 ] || return 1
    fb_data=$((header + colours * 12)) fb_stride=$stride fb_order=$order
}
# The pixels from screen pixel $1 $2 on, $3 of them along the row, as
# "red green blue" lines.
fb_row() {
    od -An -tu1 -v -w4 -j $((fb_data + $2 * fb_stride + $1 * 4)) -N $(($3 * 4)) "$(fb_file)" 2>/dev/null \
        | awk -v lsb=$((fb_order == 0)) 'NF == 4 { if (lsb) print $3, $2, $1; else print $2, $3, $4 }'
}
first_red() { awk '$0 == "255 0 0" { print NR - 1; found = 1; exit } END { exit !found }'; }
# How many pixels lie before the first pure red one on the column down
# from screen pixel $1 $2; at most $3 are looked at.
fb_first_red_down() {
    local i
    for ((i = 0; i < $3; i++)); do
        [ "$(fb_row "$1" $(($2 + i)) 1)" = "255 0 0" ] && { echo "$i"; return 0; }
    done
    return 1
}
