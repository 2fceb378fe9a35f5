#!/usr/bin/env bash
# Installs what is missing, builds the saver and its scenes, and starts it full screen on
# the bundled scenes. Any key or mouse button ends it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
QH_TARGETS="quiet-highland qh_content" scripts/build.sh build
exec build/bin/quiet-highland /s
