#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit and integration tests
# of the normal build, then the unit tests and the damaged installations again under the
# address and undefined-behaviour sanitizers, then every fuzz target briefly over its
# corpus (QH_FUZZ_SECONDS each, default 30). Every benchmark runs once, briefly, so that
# none stops building or running.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
(cd build && ctest --output-on-failure -j "$(nproc)")
# Every benchmark once, briefly, so that none rots; speed is never judged here.
scripts/bench.sh build --quick >/dev/null
scripts/build.sh build-sanitize -DQH_SANITIZE=ON
(cd build-sanitize && ctest --output-on-failure -j "$(nproc)" -L 'unit|hostile')
scripts/fuzz.sh "${QH_FUZZ_SECONDS:-30}"
