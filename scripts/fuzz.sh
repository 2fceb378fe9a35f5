#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers) into
# build-fuzz/ and runs each over its corpus for SECONDS (default 30). Seeds: the hand-made
# files in fuzz/seeds/<target>/ and the generator's own files from build/share/quiet-highland
# (built first when missing). Prints one line per target; fails when a target finds anything.
#   scripts/fuzz.sh [SECONDS] [TARGET...]      e.g. scripts/fuzz.sh 600 level catalogue
# FUZZ_JOBS runs that many targets at once (default 1). FUZZ_RUNS stops a target once it has
# made that many executions, even before SECONDS have passed. FUZZ_TIMEOUT is the seconds one
# input may take before it counts as a hang (default 10; a starved process on a busy machine
# can stall longer than that without any fault of the reader).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shift || true
all=(catalogue level key_value reg_text settings font_metrics picture command_line mesh music_name installation)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

share=build/share/quiet-highland
if [ ! -f "$share/Data/gameobjs.txt" ]; then
  QH_TARGETS="qh_content" scripts/build.sh build >/dev/null
fi
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQH_FUZZ=ON \
  -DQH_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
build_targets=()
for t in "${targets[@]}"; do build_targets+=(--target "fuzz_$t"); done
cmake --build build-fuzz -j "$(nproc)" "${build_targets[@]}" >/dev/null

# The generator's files each target reads in the program, as seeds.
seed_files() {
  case "$1" in
    catalogue) echo "$share/Data/gameobjs.txt" ;;
    level) for f in "$share"/Data/level*.lev; do echo "level:$f"; done ;;
    reg_text | settings) echo "$share/registry.reg" ;;
    key_value) echo "links:$share/links.txt" ;;
    font_metrics) echo "$share/Data/font.dat" ;;
    picture) find "$share/Data" -maxdepth 1 \( -name '*.jpg' -o -name '*.tga' \) -size -64k ;;
    command_line | mesh | music_name) ;;
  esac
}

run_one() {
  local t="$1" corpus="build-fuzz/corpus/$1" log="build-fuzz/logs/$1.log"
  mkdir -p "$corpus" build-fuzz/logs build-fuzz/findings/"$t"
  [ -d "fuzz/seeds/$t" ] && cp -n fuzz/seeds/"$t"/* "$corpus"/ 2>/dev/null || true
  local f
  for f in $(seed_files "$t"); do
    case "$f" in
      level:*) { printf '\0'; cat "${f#level:}"; } >"$corpus/gen-$(basename "${f#level:}")" ;;  # byte 0: no scene change
      links:*) { printf 'link1=\n'; cat "${f#links:}"; } >"$corpus/gen-links.txt" ;;
      *) cp "$f" "$corpus/gen-$(basename "$f")" ;;
    esac
  done
  local max_len=4096
  [ "$t" = picture ] && max_len=65536
  local limit=()
  [ -n "${FUZZ_RUNS:-}" ] && limit=(-runs="$FUZZ_RUNS")
  local status=0
  LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}" \
    nice -n 19 "build-fuzz/fuzz/fuzz_$t" "$corpus" -max_total_time="$seconds" -max_len="$max_len" \
    "${limit[@]}" -timeout="${FUZZ_TIMEOUT:-10}" -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$t/" \
    >"$log" 2>&1 || status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  local secs
  secs=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  local units
  units=$(find "$corpus" -type f | wc -l)
  if [ "$status" -eq 0 ]; then
    printf '%-13s %12s executions in %5s s, corpus %5s files: no finding\n' "$t" "${runs:-?}" "${secs:-?}" "$units"
  else
    printf '%-13s FINDING after %s executions (exit %s): see %s and build-fuzz/findings/%s/\n' \
      "$t" "${runs:-?}" "$status" "$log" "$t"
    return 1
  fi
}

jobs="${FUZZ_JOBS:-1}"
failed=0
pids=()
for t in "${targets[@]}"; do
  run_one "$t" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$jobs" ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do wait "$p" || failed=1; done
exit "$failed"
