#!/usr/bin/env bash
# Runs a test program on a virtual X display of its own with openbox managing
# its windows, for the rows that need a window manager's frame and state.
#
#   runwithwm.sh WIDTHxHEIGHT PROGRAM [ARGUMENTS...]
#
# The program gets DISPLAY, QT_QPA_PLATFORM=xcb and DRAVIN_TEST_WM_PID (the
# window manager's pid, for rows that hold it with SIGSTOP). The display and
# the window manager are stopped when the program ends, however it ends.
set -euo pipefail

size=$1
shift

tmp=$(mktemp -d)
xvfb=""
wm=""
spy=""
finish() {
    local rc=$?
    for pid in $spy $wm $xvfb; do
        # A held window manager gets its SIGTERM only once let go.
        kill -CONT "$pid" 2>/dev/null || true
        kill "$pid" 2>/dev/null || true
    done
    for pid in $spy $wm $xvfb; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$tmp"
    exit "$rc"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Xvfb picks a free display and writes its number once it takes clients.
mkfifo "$tmp/display"
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
if ! read -r number <"$tmp/display"; then
    cat "$tmp/xvfb.log" >&2
    echo "runwithwm: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$number"

# openbox has taken the screen once the root window names its check window
# and the work area it leaves; xprop prints the root's properties, then each
# one that changes. Its own configuration, not the user's.
openbox --sm-disable --config-file /etc/xdg/openbox/rc.xml >"$tmp/openbox.log" 2>&1 &
wm=$!
exec 4< <(exec timeout 60 stdbuf -oL xprop -root -spy 2>&1)
spy=$!
check=""
workarea=""
while read -r line <&4; do
    case $line in
    "_NET_SUPPORTING_WM_CHECK(WINDOW): window id"*) check=1 ;;
    "_NET_WORKAREA(CARDINAL) = "*) workarea=1 ;;
    esac
    [ -n "$check" ] && [ -n "$workarea" ] && break
done
ready=$check$workarea
kill "$spy" 2>/dev/null || true
exec 4<&-
if [ "$ready" != 11 ] || ! kill -0 "$wm" 2>/dev/null; then
    cat "$tmp/openbox.log" >&2
    echo "runwithwm: openbox did not take the display" >&2
    exit 1
fi

export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$tmp
export DRAVIN_TEST_WM_PID=$wm
"$@"
