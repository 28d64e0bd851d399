#!/usr/bin/env bash
# CPU time and peak memory of an idle upskeeper over a minute (or $1 seconds).
# Targets: under 0.03 CPU-seconds per minute, under 8 MiB peak RSS.
# The service polls COM1 as platform.ini says; without a COM1 line there it
# probes /dev/ttyS0. Set UPS_DEVICE to point COM1 elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/build.sh >/dev/null
run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
cp build/src/service/core/upskeeper "$run/"
cp -r data/. "$run/" 2>/dev/null || true
# A real UPS may report a power failure or a low battery: the shutdown
# sequence then ends with a recorder, never with this machine's power-off.
printf '#!/bin/sh\necho "$*" >> "${0%%/*}/power-requests.log"\n' >"$run/power-recorder"
chmod 755 "$run/power-recorder"
{
  if [ -n "${UPS_DEVICE:-}" ]; then echo "COM1=$UPS_DEVICE"; fi
  echo "PowerOffCommand=\"$run/power-recorder\" power off requested"
  echo "StopServiceCommand=\"$run/power-recorder\" stop requested"
} >"$run/platform.ini"
(cd "$run" && exec ./upskeeper) &
pid=$!
sleep "$seconds"
# Run time of every thread in nanoseconds, exact where tick-based accounting is not.
cpu_ns=$(cat /proc/$pid/task/*/schedstat | awk '{sum += $1} END {print sum}')
per_thread=$(for t in /proc/$pid/task/*; do awk -v id="${t##*/}" '{printf "    thread %s: %.1f ms in %d wake-ups\n", id, $1 / 1e6, $3}' "$t/schedstat"; done)
peak_kib=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
threads=$(awk '/Threads/ {print $2}' "/proc/$pid/status")
kill -TERM "$pid"
wait "$pid" || true
awk -v ns="$cpu_ns" -v secs="$seconds" -v kib="$peak_kib" -v th="$threads" 'BEGIN {
  cpu = ns / 1e9
  printf "idle upskeeper over %d s: %d threads\n", secs, th
  printf "  CPU time:  %.3f s (%.4f s per minute; target < 0.03)\n", cpu, cpu * 60 / secs
  printf "  peak RSS:  %.2f MiB (target < 8)\n", kib / 1024
}'
echo "  per thread (the first is the main thread, whose time is mostly start-up):"
echo "$per_thread"
