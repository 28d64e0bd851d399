#!/bin/sh
# CPU cost of the serial link: status exchanges back to back with upssim for
# a while (60 s by default), through the service's own serialTransaction.
#
#   bench/serial.sh [SECONDS] [PROTOCOL]      (run from the source folder)
#
# BUILD names the build folder (default build); the two programs are built
# there first.
set -eu
build=${BUILD:-build}
seconds=${1:-60}
protocol=${2:-3}

ninja -C "$build" -j2 upssim linkbench >/dev/null
dir=$(mktemp -d)
sim=
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

"$build/tools/upssim/upssim" --protocol "$protocol" --link "$dir/ups.tty" --quiet >"$dir/device" &
sim=$!
while [ ! -s "$dir/device" ]; do sleep 0.1; done
echo "COM1=$dir/ups.tty" >"$dir/platform.ini"

"$build/tools/linkbench/linkbench" --ini "$dir/platform.ini" --seconds "$seconds" --protocol "$protocol"

# upssim's own share, for comparison: user and system ticks from /proc.
ticks=$(awk '{ print $14 + $15 }' "/proc/$sim/stat")
hz=$(getconf CLK_TCK)
awk -v t="$ticks" -v hz="$hz" 'BEGIN { printf "upssim CPU: %.3f s\n", t / hz }'
