#!/usr/bin/env bash
# Builds the benchmarks (bench/) and runs every one of them, each program in a process of
# its own, then prints one table: wall and CPU time per iteration (CPU is the whole
# process's, the software rasteriser's threads included) and each benchmark's own figures.
#   scripts/bench.sh [build-folder] [--quick] [extra Google Benchmark options...]
# --quick runs each benchmark once for a handful of iterations and a short memory run, so
# that CI sees every benchmark still builds and runs; its figures mean nothing.
# Last comes bench/night_cost.sh: the saver's CPU per second beside XScreenSaver's
# glslideshow under Xvfb (a table of its own; QH_BENCH_NIGHT=0 leaves it out).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then dir="$1"; shift; fi
quick=0
if [ "${1:-}" = "--quick" ]; then quick=1; shift; fi

programs=(qh_engine_frame_bench qh_gl_frame_bench qh_startup_bench qh_memory_bench qh_mixer_bench)
QH_TARGETS="${programs[*]} quiet-highland quiet-highland-render" scripts/build.sh "$dir" >/dev/null

options=(--benchmark_format=json)
if [ $quick -eq 1 ]; then
  options+=(--benchmark_min_time=0.001)
  export QH_BENCH_QUICK=1 QH_BENCH_FRAMES=150
else
  options+=(--benchmark_repetitions=3 --benchmark_report_aggregates_only=true)
fi
# Headless: never a window on somebody's display.
export SDL_VIDEODRIVER=offscreen DISPLAY= WAYLAND_DISPLAY=

results=$(mktemp)
trap 'rm -f "$results"' EXIT
for program in "${programs[@]}"; do
  echo "bench: running $program" >&2
  "$dir/bench/$program" "${options[@]}" "$@" >>"$results"
done

# One row per benchmark: name, case, wall, CPU, unit, then every counter as name=value.
# Google Benchmark's JSON puts one field on a line; the fields of a run come between the
# lines that open and close it.
awk '
  function value(line) { sub(/^[^:]*: */, "", line); sub(/,$/, "", line); gsub(/^"|"$/, "", line); return line }
  function key(line) { match(line, /"[^"]*"/); return substr(line, RSTART + 1, RLENGTH - 2) }
  BEGIN {
    printf "%-58s %-26s %10s %10s %-3s %s\n", "benchmark", "case", "wall", "cpu", "", "figures"
    split("name family_index per_family_instance_index run_name run_type repetitions repetition_index threads iterations real_time cpu_time time_unit label aggregate_name aggregate_unit error_occurred error_message", known, " ")
    for (i in known) standard[known[i]] = 1
  }
  /"benchmarks": \[/ { inside = 1; next }
  !inside { next }
  /^ *\{/ { name = label = unit = extra = err = aggregate = ""; wall = cpu = 0; next }
  /^ *\}/ {
    if (name != "" && (aggregate == "" || aggregate == "median"))
      printf "%-58s %-26s %10.3f %10.3f %-3s%s%s\n", name, label, wall, cpu, unit, extra, err
    name = ""
    next
  }
  /^ *"/ {
    k = key($0); v = value($0)
    if (k == "run_name") { name = v; gsub(/\/(process_time|real_time|manual_time)/, "", name) }
    else if (k == "label") label = v
    else if (k == "real_time") wall = v
    else if (k == "cpu_time") cpu = v
    else if (k == "time_unit") unit = v
    else if (k == "aggregate_name") aggregate = v
    else if (k == "error_message") err = " ERROR: " v
    else if (!(k in standard)) extra = extra sprintf(" %s=%.3g", k, v)
  }
' "$results"
failed=0
grep -q '"error_occurred": true' "$results" && failed=1
if [ "${QH_BENCH_NIGHT:-1}" != 0 ]; then
  echo
  echo "bench: running night_cost.sh" >&2
  night=()
  [ $quick -eq 1 ] && night=(--quick)
  bench/night_cost.sh "$dir" "${night[@]}" || failed=1
fi
if [ $failed -eq 1 ]; then
  echo "bench: a benchmark could not run (see ERROR above)" >&2
  exit 1
fi
