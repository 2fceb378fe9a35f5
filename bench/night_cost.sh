#!/usr/bin/env bash
# What a night costs: CPU per second of the saver drawing into the full-screen root window
# (-root, as a screensaver daemon runs it) beside XScreenSaver's glslideshow at its defaults
# showing three 800x600 pictures, under Xvfb with openbox, at 1920x1080 and 1024x768. The
# two programs take turns, two rounds at each size; the table gives the best and the worst
# round of each and the ratio of the saver's to glslideshow's (best to best, worst to worst).
# CPU is the whole process's (every thread; children it waited for included), from
# /proc/PID/stat; the X server's CPU for each is shown beside it, and the frames a second
# each showed: on a busy machine a program that cannot get the CPU it wants shows fewer
# frames, and its CPU then says what it got, not what it costs.
# QH_NIGHT_NICE (e.g. -10) runs both programs and the X server at that priority.
#   bench/night_cost.sh BUILD_DIR [--quick]
# --quick: one short round at 1024x768 only, so CI sees it still runs; figures meaningless.
set -euo pipefail
build=$(cd "${1:?usage: night_cost.sh BUILD_DIR [--quick]}" && pwd)
quick=0
[ "${2:-}" = "--quick" ] && quick=1
saver=$build/bin/quiet-highland
render=$build/bin/quiet-highland-render
slideshow=${QH_GLSLIDESHOW:-/usr/libexec/xscreensaver/glslideshow}
[ -x "$saver" ] && [ -x "$render" ] || { echo "night_cost: build $build first" >&2; exit 1; }
[ -x "$slideshow" ] || { echo "night_cost: $slideshow is missing (Debian: xscreensaver-gl)" >&2; exit 1; }

warmup=5 measure=15 rounds=2 sizes=(1920x1080 1024x768)
if [ $quick -eq 1 ]; then warmup=2 measure=2 rounds=1 sizes=(1024x768); fi

work=$(mktemp -d "${TMPDIR:-/tmp}/qh-night.XXXXXX")
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Nothing of the machine's own: settings, desktop, buses, sound card.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/xdg XDG_RUNTIME_DIR=$work/run
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-bus SDL_AUDIODRIVER=dummy
# The daemon puts its program folder on the PATH: glslideshow's image loader is found there.
export PATH=$(dirname "$slideshow"):$PATH
unset WAYLAND_DISPLAY XSCREENSAVER_WINDOW DBUS_SESSION_BUS_ADDRESS SDL_VIDEODRIVER QH_FRAME_COUNT_FILE
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/pictures"
chmod 700 "$XDG_RUNTIME_DIR"

# glslideshow's three pictures: frames of our own scenes, 800x600.
for scene in 1 2 3; do
  SDL_VIDEODRIVER=offscreen "$render" --frames 1 --time 12:00:00 --start-scene $scene --no-clock \
    --png "$work/pictures/scene$scene.png" >/dev/null 2>&1 || { echo "night_cost: the capture tool failed" >&2; exit 1; }
done
# XScreenSaver's image loader reads where the pictures are from the user's settings; without
# them it would show the desktop (or colour bars).
printf 'imageDirectory:\t%s\ngrabDesktopImages:\tFalse\nchooseRandomImages:\tTrue\n' "$work/pictures" \
  >"$HOME/.xscreensaver"

# Process CPU in clock ticks: user + system of the process and of the children it reaped.
cpu_ticks() { awk '{ print $14 + $15 + $16 + $17 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
ticks_per_s=$(getconf CLK_TCK)

priority=()
[ -n "${QH_NIGHT_NICE:-}" ] && priority=(nice -n "$QH_NIGHT_NICE")

start_x() {
  "${priority[@]}" Xvfb -displayfd 3 -noreset -screen 0 "${1}x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  pids+=($xvfb_pid)
  for _ in $(seq 100); do grep -q '^[0-9]' "$work/display" 2>/dev/null && break; sleep 0.1; done
  export DISPLAY=":$(head -1 "$work/display")"
  XDG_CONFIG_DIRS=/etc/xdg openbox --sm-disable >"$work/openbox.log" 2>&1 &
  openbox_pid=$!
  pids+=($openbox_pid)
  for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
}

stop_x() {
  kill "$openbox_pid" "$xvfb_pid" 2>/dev/null || true
  wait "$openbox_pid" "$xvfb_pid" 2>/dev/null || true
}

# Frames shown so far: the saver's own count (QH_FRAME_COUNT_FILE), or the sum of what
# glslideshow -verbose reports after each of its fades and pans.
frames_shown() {
  if [ "$1" = saver ]; then
    awk '{ print $2 }' "$work/counts" 2>/dev/null || echo 0
  else
    awk '/ frames / { for (i = 1; i < NF; i++) if ($(i + 1) == "frames") n += $i } END { print n + 0 }' \
      "$work/program.log"
  fi
}

# Runs "$@" into the root window; prints its CPU and the X server's, in % of a core, and
# the frames it showed a second (glslideshow's only over the fades and pans it finished).
measure() {
  local kind=$1
  shift
  rm -f "$work/counts"
  QH_FRAME_COUNT_FILE=$work/counts "${priority[@]}" "$@" >"$work/program.log" 2>&1 &
  local pid=$!
  sleep "$warmup"
  kill -0 "$pid" 2>/dev/null || { echo "night_cost: $1 ended: $(tail -3 "$work/program.log")" >&2; exit 1; }
  local p0 x0 f0 p1 x1 f1
  p0=$(cpu_ticks "$pid") x0=$(cpu_ticks "$xvfb_pid") f0=$(frames_shown "$kind")
  sleep "$measure"
  p1=$(cpu_ticks "$pid") x1=$(cpu_ticks "$xvfb_pid") f1=$(frames_shown "$kind")
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  awk -v p=$((p1 - p0)) -v x=$((x1 - x0)) -v f=$((f1 - f0)) -v s="$measure" -v t="$ticks_per_s" \
    'BEGIN { printf "%.1f %.1f %.1f\n", 100 * p / t / s, 100 * x / t / s, f / s }'
}

echo "night_cost: load average $(cut -d' ' -f1-3 /proc/loadavg) before the runs" >&2
results=$work/results
for size in "${sizes[@]}"; do
  start_x "$size"
  for round in $(seq "$rounds"); do
    echo "night_cost: $size round $round" >&2
    echo "$size saver $(measure saver "$saver" -root)" >>"$results"
    echo "$size glslideshow $(measure glslideshow "$slideshow" -root -verbose)" >>"$results"
  done
  stop_x
done
echo "night_cost: load average $(cut -d' ' -f1-3 /proc/loadavg) after the runs" >&2

# One row per size: best–worst of each program (process CPU, the X server's beside it, the
# frames a second it showed), and the ratio.
printf '%-10s %-30s %-30s %s\n' "screen" "saver % (X %, fps)" "glslideshow % (X %, fps)" "ratio best-worst"
for size in "${sizes[@]}"; do
  awk -v size="$size" '
    $1 == size { n[$2]++; if (!($2 in lo) || $3 < lo[$2]) { lo[$2] = $3; lx[$2] = $4; lf[$2] = $5 }
                 if (!($2 in hi) || $3 > hi[$2]) { hi[$2] = $3; hx[$2] = $4; hf[$2] = $5 } }
    END {
      s = sprintf("%.0f-%.0f (%.0f-%.0f, %.0f-%.0f)", lo["saver"], hi["saver"], lx["saver"], hx["saver"], lf["saver"], hf["saver"])
      g = sprintf("%.0f-%.0f (%.0f-%.0f, %.0f-%.0f)", lo["glslideshow"], hi["glslideshow"], lx["glslideshow"],
                  hx["glslideshow"], lf["glslideshow"], hf["glslideshow"])
      rl = lo["glslideshow"] > 0 ? lo["saver"] / lo["glslideshow"] : 0
      rh = hi["glslideshow"] > 0 ? hi["saver"] / hi["glslideshow"] : 0
      printf "%-10s %-30s %-30s %.2f-%.2f\n", size, s, g, rl, rh
    }' "$results"
done
