#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as $1). Extra arguments go to CMake.
# QH_TARGETS, when set, names the targets to build instead of everything.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
shift || true
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
targets=()
for t in ${QH_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
