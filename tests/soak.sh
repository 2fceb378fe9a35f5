#!/usr/bin/env bash
# The long run under the sanitizers: the capture tool over FRAMES one-second frames (5,000
# by default: some 80 minutes of scene time, about 140 changes of scene through all five
# scenes), the music and the nature sounds mixed. It must end cleanly with no sanitizer
# report, and its resident memory must stay flat once the first round of scenes has been
# shown: every later round loads and lets go the same things.
# usage: soak.sh TOOL SHARE_DIR [FRAMES]
# Prints the time taken and the most resident memory (KiB) in each stretch of 500 frames.
set -u
tool=$(realpath "$1")
share=$(realpath "$2")
frames=${3:-5000}
# A round of the five scenes: 30 s shown and 6 s of change each. Memory is compared after
# two rounds (the second round meets every picture's slot already used once).
round=180
slack_kib=${QH_SOAK_SLACK_KIB:-16384}

work=$(mktemp -d "${TMPDIR:-/tmp}/qh-soak.XXXXXX")
trap 'kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/saver_process.sh"

mkdir -p "$work/config/quiet-highland" "$work/home"
printf 'REGEDIT4\n\n%s\n"dir"="%s"\n' '[HKEY_LOCAL_MACHINE\software\quorvale\screensavers\Quiet Highland]' \
  "$share" >"$work/config/quiet-highland/registry.reg"
# Freed memory is held back from reuse (ASan's quarantine, 256 MiB by default) so a use
# after a free is caught; a smaller quarantine still catches it within many frames, and
# lets the memory level off within the run instead of after a quarter of a gigabyte.
# Leaks are the unit tests' business: at exit the graphics driver leaves allocations of its
# own that are not ours (as in tests/hostile_data.sh).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:quarantine_size_mb=32}
started=$(now_ms)
(cd "$work" && HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/xdg" \
  QH_FRAME_TIMES="$work/frames" exec "$tool" --frames "$frames" --dt 1000 --time 06:00:00 --mix \
  --music --nature-sounds --day-cycle >"$work/out" 2>"$work/err") &
pid=$!
saver_pid=$pid
# (frames done, resident KiB) once a second.
: >"$work/memory"
while alive; do
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null)
  done_frames=0
  [ -f "$work/frames" ] && done_frames=$(wc -l <"$work/frames")
  [ -n "$rss" ] && echo "$done_frames $rss" >>"$work/memory"
  sleep 1
done
wait "$pid"
rc=$?
seconds=$((($(now_ms) - started) / 1000))
echo "$frames frames in $seconds s, exit code $rc"
# The most resident memory in each stretch of 500 frames.
awk '{ w = int($1 / 500); if ($2 > most[w]) most[w] = $2; if (w > last) last = w }
     END { for (w = 0; w <= last; w++) printf "  frames %5d-%5d: %7d KiB\n", w * 500, w * 500 + 499, most[w] }' \
  "$work/memory"
status=0
if grep -qE 'AddressSanitizer|UndefinedBehaviorSanitizer|runtime error:|LeakSanitizer' "$work/err"; then
  echo "FAIL: a sanitizer report:"; sed 's/^/  /' "$work/err" | head -40
  status=1
fi
[ "$rc" -eq 0 ] || { echo "FAIL: exit code $rc"; sed 's/^/  /' "$work/err" | head -20; status=1; }
# Flat: nothing after the second round above the most the second round reached, but for
# the allocator's own slack.
read -r second_round later < <(awk -v a="$round" -v b=$((2 * round)) \
  '$1 >= a && $1 < b && $2 > m1 { m1 = $2 } $1 >= b && $2 > m2 { m2 = $2 } END { print m1 + 0, m2 + 0 }' \
  "$work/memory")
echo "resident memory: at most $second_round KiB in the second round of scenes, at most $later KiB after it"
if [ "$frames" -gt $((3 * round)) ]; then
  [ "$second_round" -gt 0 ] || { echo "FAIL: no memory figures for the second round"; status=1; }
  if [ "$later" -gt $((second_round + slack_kib)) ]; then
    echo "FAIL: the resident memory grew by $((later - second_round)) KiB after the second round of scenes"
    status=1
  fi
fi
exit $status
