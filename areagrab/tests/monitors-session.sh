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

n=150
while [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x480x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null' EXIT
for _ in $(seq 100); do
  [[ -e /tmp/.X11-unix/X$n ]] && break
  sleep 0.1
done
export DISPLAY=":$n"
unset WAYLAND_DISPLAY
# The left monitor takes the output, which retires the output's own
# monitor; the right one is a monitor without an output.
xrandr --setmonitor left 640/169x480/127+0+0 screen >/dev/null &&
  xrandr --setmonitor right 640/169x480/127+640+0 none >/dev/null || exit 1
QT_QPA_PLATFORM=xcb "$@"
