#!/usr/bin/env bash
# Configures and builds into a folder (default build/); extra arguments go to
# cmake. TARGETS (space separated) builds only those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
ninja -C "$dir" ${TARGETS:-}
