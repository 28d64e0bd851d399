#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the Linux build's and
# the Windows build's.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j2 -LE wine
# The Windows build (build/win32, made where MinGW-w64 and Wine are
# installed): its unit tests, then its programs end to end, all under Wine,
# the latter with their output in the log.
if [[ -f build/win32/CTestTestfile.cmake ]]; then
  ctest --test-dir build/win32 --output-on-failure -j2
  ctest --test-dir build -L wine --output-on-failure --verbose
fi
