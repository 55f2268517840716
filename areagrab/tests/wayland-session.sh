#!/usr/bin/env bash
# wayland-session.sh COMMAND [ARGS...]
#
# Runs COMMAND inside a private headless Wayland session and then ends every
# process of that session. The session: sway (headless, pixman) with one
# 640x480 output of the solid colour #3366aa (with AREAGRAB_WAYLAND_OUTPUTS=2
# a second one of #aa6633 to its right), its Xwayland, pipewire, and the
# desktop portal (xdg-desktop-portal with its wlr back end) on a private
# D-Bus session bus. COMMAND sees WAYLAND_DISPLAY, DISPLAY (the session's
# Xwayland), DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR.
#
# Every process of the session carries AREAGRAB_WAYLAND_MARK in its
# environment; that is how they are all found and ended, whoever started
# them (sway's swaybg and Xwayland, the services the bus starts). The exit
# status is COMMAND's, 1 when a process of the session could not be ended,
# and 77 when the session cannot be set up here (a package missing).
set -uo pipefail

skip() { echo "SKIP: $*" >&2; exit 77; }

for tool in sway swaybg Xwayland grim pipewire dbus-daemon dbus-send \
            dbus-update-activation-environment setpriv xhost; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/deps installs it)"
done
for tool in xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk; do
  [[ -x /usr/libexec/$tool ]] || skip "$tool is not installed (scripts/deps installs it)"
done
[[ $# -ge 1 ]] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }

mark="$$-$(date +%s%N)"
export AREAGRAB_WAYLAND_MARK="$mark"
work="$(mktemp -d /tmp/areagrab-wayland.XXXXXX)"
run="$work/run"          # the session's clients
swayrun="$work/sway-run" # sway's own
mkdir -m 700 "$run" "$swayrun"

# The session's processes, found by their mark; the search itself runs
# without it.
session_pids() {
  local f
  env -u AREAGRAB_WAYLAND_MARK grep -lsxzF "AREAGRAB_WAYLAND_MARK=$mark" /proc/[0-9]*/environ \
    | while read -r f; do f="${f#/proc/}"; echo "${f%/environ}"; done
}

stop_session() {
  local pids left i
  [[ -n "${sway_pid:-}" ]] && kill -TERM "$sway_pid" 2>/dev/null
  for i in $(seq 30); do
    pids="$(session_pids)"
    [[ -z "$pids" ]] && break
    # shellcheck disable=SC2086
    kill -TERM $pids 2>/dev/null
    sleep 0.1
  done
  pids="$(session_pids)"
  if [[ -n "$pids" ]]; then
    echo "wayland-session: still running after SIGTERM, killed:" >&2
    # shellcheck disable=SC2086
    ps -o pid=,user=,args= -p "$(echo $pids | tr ' ' ,)" >&2
    # shellcheck disable=SC2086
    kill -KILL $pids 2>/dev/null
    sleep 0.2
  fi
  left="$(session_pids)"
  rm -rf "$work" 2>/dev/null
  if [[ -n "$left" ]]; then
    echo "wayland-session: processes of the session left behind: $left" >&2
    return 1
  fi
  return 0
}

wait_for() { # wait_for SECONDS TEST...
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

status=1
trap 'stop_session || status=1; exit $status' EXIT
trap 'exit 1' INT TERM

unset DISPLAY WAYLAND_DISPLAY WAYLAND_SOCKET DBUS_SESSION_BUS_ADDRESS
export XDG_RUNTIME_DIR="$run" XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland
export HOME="$work"

outputs="${AREAGRAB_WAYLAND_OUTPUTS:-1}"
[[ "$outputs" == 1 || "$outputs" == 2 ]] || { echo "AREAGRAB_WAYLAND_OUTPUTS must be 1 or 2" >&2; exit 2; }
{
  echo 'output HEADLESS-1 resolution 640x480 position 0 0 bg #3366aa solid_color'
  [[ "$outputs" == 2 ]] && echo 'output HEADLESS-2 resolution 640x480 position 640 0 bg #aa6633 solid_color'
} >"$work/sway.config"
cat >>"$work/sway.config" <<'EOF'
default_border none
default_floating_border none
xwayland force
exec sh -c 'printf "%s/%s %s\n" "$XDG_RUNTIME_DIR" "$WAYLAND_DISPLAY" "$DISPLAY" > "$XDG_RUNTIME_DIR/displays.tmp" && mv "$XDG_RUNTIME_DIR/displays.tmp" "$XDG_RUNTIME_DIR/displays"'
EOF

# sway will not run as root: there it runs as nobody, in a runtime
# directory of its own that root's clients can still reach.
as_user=()
if [[ $(id -u) -eq 0 ]]; then
  chown 65534:65534 "$swayrun"
  chmod 755 "$work"
  chmod 644 "$work/sway.config"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
XDG_RUNTIME_DIR="$swayrun" \
  WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS="$outputs" \
  "${as_user[@]}" sway -c "$work/sway.config" >"$work/sway.log" 2>&1 &
sway_pid=$!
if ! wait_for 20 test -s "$swayrun/displays"; then
  echo "wayland-session: sway did not start" >&2
  cat "$work/sway.log" >&2
  exit 1
fi
# WAYLAND_DISPLAY as the socket's full path: the clients' runtime directory
# is not sway's.
read -r wl x <"$swayrun/displays"
export WAYLAND_DISPLAY="$wl" DISPLAY="$x"
wait_for 20 test -S "/tmp/.X11-unix/X${DISPLAY#:}" || { echo "wayland-session: no Xwayland" >&2; exit 1; }
# Xwayland lets in only its own user; root's clients are let in by name.
if [[ ${#as_user[@]} -gt 0 ]] && ! "${as_user[@]}" xhost +si:localuser:root >/dev/null; then
  echo "wayland-session: Xwayland does not answer" >&2
  exit 1
fi

dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
wait_for 10 test -s "$work/bus" || { echo "wayland-session: no D-Bus session bus" >&2; exit 1; }
DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$work/bus")"
export DBUS_SESSION_BUS_ADDRESS
dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XDG_CURRENT_DESKTOP \
  XDG_SESSION_TYPE XDG_RUNTIME_DIR AREAGRAB_WAYLAND_MARK

pipewire >"$work/pipewire.log" 2>&1 &
# The portal's wlr back end gives up for good when pipewire is not there yet.
if ! wait_for 10 test -S "$XDG_RUNTIME_DIR/pipewire-0"; then
  echo "wayland-session: pipewire did not start" >&2
  cat "$work/pipewire.log" >&2
  exit 1
fi
/usr/libexec/xdg-desktop-portal-wlr >"$work/xdpw.log" 2>&1 &
/usr/libexec/xdg-desktop-portal -r >"$work/xdp.log" 2>&1 &
has_owner() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}
if ! wait_for 20 has_owner org.freedesktop.portal.Desktop; then
  echo "wayland-session: the desktop portal did not start" >&2
  cat "$work/xdp.log" "$work/xdpw.log" >&2
  exit 1
fi

# Ended here rather than by CTest's timeout, which would leave the session.
timeout --kill-after=5 "${WAYLAND_SESSION_TIMEOUT:-120}" "$@"
status=$?
