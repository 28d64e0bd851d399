#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the Linux build's and
# the Windows build's.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j2
# The Windows build's unit tests, under Wine (the build makes build/win32
# where MinGW-w64 and Wine are installed).
if [[ -f build/win32/CTestTestfile.cmake ]]; then
  ctest --test-dir build/win32 --output-on-failure -j2
fi
