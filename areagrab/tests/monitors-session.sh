#!/usr/bin/env bash
# monitors-session.sh COMMAND [ARGS...]
#
# Runs COMMAND on a private X server with two 640x480 monitors side by side
# (one 1280x480 screen split into two RandR monitors, as a desktop with two
# displays shows it to programs), then ends the server. Exit status:
# COMMAND's, or 77 when Xvfb or xrandr is missing.
set -uo pipefail
for tool in Xvfb xrandr; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
done
[[ $# -ge 1 ]] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }

# Xvfb picks a free display itself, so runs side by side never share one.
work="$(mktemp -d /tmp/areagrab-monitors.XXXXXX)"
Xvfb -displayfd 3 -screen 0 1280x480x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  sleep 0.1
done
n="$(head -n1 "$work/display")"
[[ -n "$n" ]] || { echo "monitors-session: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$n"
unset WAYLAND_DISPLAY
# The left monitor takes the output, which retires the output's own
# monitor; the right one is a monitor without an output.
xrandr --setmonitor left 640/169x480/127+0+0 screen >/dev/null &&
  xrandr --setmonitor right 640/169x480/127+640+0 none >/dev/null || exit 1
QT_QPA_PLATFORM=xcb "$@"
