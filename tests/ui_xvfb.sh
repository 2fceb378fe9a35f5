#!/usr/bin/env bash
# Runs one GTK test program on a private Xvfb of its own (no window manager: these tests
# talk to GTK directly and read pixels back from the server).
# usage: ui_xvfb.sh PROGRAM [ARGUMENTS...]
set -u
work=$(mktemp -d "${TMPDIR:-/tmp}/qh-ui.XXXXXX")
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  grep -q '^[0-9]' "$work/display" 2>/dev/null && break
  sleep 0.1
done
if ! grep -q '^[0-9]' "$work/display"; then
  echo "Xvfb did not start: $(cat "$work/xvfb.log")" >&2
  exit 1
fi
export DISPLAY=":$(head -1 "$work/display")"
unset WAYLAND_DISPLAY
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 GDK_BACKEND=x11
# No test may see the machine's own settings, link handlers or desktop.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
mkdir -p "$HOME"
"$@"
