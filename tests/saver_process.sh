# Sourced by the integration scripts: the clock they time with, and waiting for the saver
# process started into $saver_pid to end.

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
