#!/bin/bash
# Runs the start-up and surface benchmarks on a private Xvfb (the first free
# display from :150 to :199, 1920x1080) and stops that server afterwards.
#
#   run-desktop-bench.sh BENCH_STARTUP VORLANE BARE_WINDOW BENCH_SURFACE
#
# Extra arguments: VORLANE_BENCH_STARTUP_ARGS and VORLANE_BENCH_SURFACE_ARGS.
# VORLANE_BENCH_WM=openbox runs a window manager too (default: none).
set -eu
if [ $# -ne 4 ]; then
    echo "usage: $0 BENCH_STARTUP VORLANE BARE_WINDOW BENCH_SURFACE" >&2
    exit 2
fi
startup=$1 vorlane=$2 bare=$3 surface=$4

xpid= wmpid= display=
runtime=$(mktemp -d)
cleanup() {
    [ -n "$wmpid" ] && kill "$wmpid" 2>/dev/null || true
    [ -n "$xpid" ] && kill "$xpid" 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT

for n in $(seq 150 199); do
    { [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; } && continue
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    xpid=$!
    for _ in $(seq 1 100); do
        [ -S "/tmp/.X11-unix/X$n" ] && break
        kill -0 "$xpid" 2>/dev/null || break
        sleep 0.1
    done
    # Another server may have taken the number at the same moment: then ours
    # has died by now.
    sleep 0.3
    if [ -S "/tmp/.X11-unix/X$n" ] && kill -0 "$xpid" 2>/dev/null; then
        display=":$n"
        break
    fi
    wait "$xpid" 2>/dev/null || true
    xpid=
done
if [ -z "$display" ]; then
    echo "$0: no free X display from :150 to :199" >&2
    exit 1
fi
export DISPLAY=$display XDG_RUNTIME_DIR=$runtime
unset QT_QPA_PLATFORM
echo "Xvfb on $DISPLAY (pid $xpid)"
if [ "${VORLANE_BENCH_WM:-}" = openbox ]; then
    openbox >/dev/null 2>&1 &
    wmpid=$!
    sleep 1
fi

echo "== Start-up: exec to first painted desktop =="
# shellcheck disable=SC2086
"$startup" --vorlane "$vorlane" --bare "$bare" ${VORLANE_BENCH_STARTUP_ARGS:-}
echo
echo "== Surface: a desktop of 10,000 shortcuts =="
# shellcheck disable=SC2086
"$surface" ${VORLANE_BENCH_SURFACE_ARGS:-}
