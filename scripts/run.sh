#!/usr/bin/env bash
# Installs what is missing, builds, and starts the saver full screen on the bundled scenes.
# Any key or mouse button ends it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
exec build/bin/quiet-highland /s
