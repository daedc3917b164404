#!/usr/bin/env bash
# Runs a window check on a desktop of its own: a private Xvfb server (1600x1000, the first free
# display), the openbox window manager, a D-Bus session with the accessibility bus, and the
# program's accessibility always on. Everything started here ends with the check.
#   run-session.sh PROGRAM MEDIA_DIR CHECK.py [ARGS...]
set -euo pipefail

program=$1 media=$2 check=$3
shift 3
work=$(mktemp -d)
cleanup() {
    [[ -n "${xvfb:-}" ]] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The server writes its display number to descriptor 5 once it takes clients.
Xvfb -displayfd 5 -screen 0 1600x1000x24 -nolisten tcp 5>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.1
done
[[ -s "$work/display" ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(tr -d '\n' <"$work/display")"

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export QT_QPA_PLATFORM=xcb
export NO_AT_BRIDGE=0
unset QT_SCALE_FACTOR QT_QPA_PLATFORMTHEME
status=0
dbus-run-session -- bash -c '
    openbox --sm-disable >/dev/null 2>&1 &
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    status=0
    /usr/bin/python3 "$@" || status=$?
    kill %1 %2 2>/dev/null
    exit $status' check "$check" "$program" "$media" "$@" || status=$?
exit $status
