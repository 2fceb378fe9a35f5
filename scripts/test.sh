#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit and integration tests
# of the normal build, then the unit tests and the damaged installations again under the
# address and undefined-behaviour sanitizers, then every fuzz target briefly over its
# corpus (QH_FUZZ_SECONDS each, default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
(cd build && ctest --output-on-failure -j "$(nproc)")
scripts/build.sh build-sanitize -DQH_SANITIZE=ON
(cd build-sanitize && ctest --output-on-failure -j "$(nproc)" -L 'unit|hostile')
scripts/fuzz.sh "${QH_FUZZ_SECONDS:-30}"
