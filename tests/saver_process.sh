# Sourced by the integration scripts: the clock they time with, waiting for the saver
# process started into $saver_pid to end, comparing colours, and the X server with its window manager.

now_ms() { date +%s%3N; }

alive() { kill -0 "$saver_pid" 2>/dev/null; }

# Waits up to $1 seconds for the saver to end; its exit code is then in $rc.
wait_exit() {
  local deadline=$(($(now_ms) + $1 * 1000))
  while alive; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.02
  done
  wait "$saver_pid"
  rc=$?
  return 0
}

# Whether the colours "R G B" $1 and $2 differ by at most $3 in every channel.
near() {
  local a=($1) b=($2) limit=$3 i d
  [ ${#a[@]} -eq 3 ] && [ ${#b[@]} -eq 3 ] || return 1
  for i in 0 1 2; do
    d=$((a[i] - b[i]))
    [ "${d#-}" -le "$limit" ] || return 1
  done
}

# A private Xvfb of size $1 ("WIDTHxHEIGHT") on a free display, which becomes $DISPLAY, its
# log in $work/xvfb.log. Without -noreset the server starts over each time its last client
# leaves and drops a client that is connecting just then: a short-lived xprop or xwininfo
# then makes the window manager or a daemon fail to open the display.
start_xvfb() {
  Xvfb -displayfd 3 -noreset -screen 0 "${1}x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  local i
  # The number is written whole once the server listens, then a newline.
  for i in $(seq 100); do
    [ "$(wc -l <"$work/display")" -ge 1 ] && break
    sleep 0.1
  done
  grep -q '^[0-9][0-9]*$' "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$(head -1 "$work/display")"
}

# openbox on $DISPLAY, its configuration from the system's folders (not the test's), and
# its log in $work/openbox.log; $1 maps a probe window to see it handle requests (it
# announces itself before it does).
start_openbox() {
  local probe=$1 i wm_pid
  XDG_CONFIG_DIRS=/etc/xdg openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  pids+=($wm_pid)
  for i in $(seq 100); do
    kill -0 "$wm_pid" 2>/dev/null || fail "openbox ended at once"
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  "$probe" probe >/dev/null || fail "openbox did not map a window"
}
