#!/usr/bin/env bash
# Installs what is missing, builds, and starts the service in run/ with its data
# files. Stop it with Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
mkdir -p run
cp build/src/service/core/upskeeper run/
cp -r data/. run/ 2>/dev/null || true
echo "upskeeper is running in $(pwd)/run; the status record is /dev/shm/OrvikMappingObject."
exec run/upskeeper
