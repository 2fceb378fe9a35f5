#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit and integration tests
# of the normal build, then the unit tests again under the address and undefined-behaviour
# sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
(cd build && ctest --output-on-failure -j "$(nproc)")
scripts/build.sh build-sanitize -DQH_SANITIZE=ON
(cd build-sanitize && ctest --output-on-failure -j "$(nproc)" -L unit)
