#!/usr/bin/env bash
# Configures and builds into a folder (default build/); extra arguments go to
# cmake. TARGETS (space separated) builds only those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
launcher=()
if command -v ccache >/dev/null; then
  # Paths relative to the checkout, so that other clones and build folders
  # share the cache.
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
ninja -C "$dir" ${TARGETS:-}
