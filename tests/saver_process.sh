# Sourced by the integration scripts: the clock they time with, waiting for the saver
# process started into $saver_pid to end, and comparing colours.

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
