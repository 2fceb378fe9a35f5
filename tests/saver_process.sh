# Sourced by the integration scripts: the clock they time with, waiting for the saver
# process started into $saver_pid to end, comparing colours, and the window manager.

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

# openbox on $DISPLAY, its configuration from the system's folders (not the test's), and
# its log in $work/openbox.log; $1 maps a probe window to see it handle requests (it
# announces itself before it does). Under a loaded machine openbox has been seen to fail
# its first connection to a server that had just started and then served every other
# client: a window manager that died is started again, up to three times.
start_openbox() {
  local probe=$1 attempt i wm_pid
  for attempt in 1 2 3; do
    XDG_CONFIG_DIRS=/etc/xdg openbox --sm-disable >>"$work/openbox.log" 2>&1 &
    wm_pid=$!
    pids+=($wm_pid)
    for i in $(seq 100); do
      kill -0 "$wm_pid" 2>/dev/null || break
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
      sleep 0.1
    done
    if kill -0 "$wm_pid" 2>/dev/null; then
      "$probe" probe >/dev/null || fail "openbox did not map a window"
      return 0
    fi
    echo "openbox ended at once (attempt $attempt); starting it again" >>"$work/openbox.log"
    sleep 0.2
  done
  fail "openbox did not start on $DISPLAY"
}
