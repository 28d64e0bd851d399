#!/usr/bin/env bash
# Installs what is missing, builds, and starts the service in run/ with its data
# files, its COM1 wired to a simulated UPS (upssim, protocol 3 unless
# UPSSIM_PROTOCOL says otherwise, or the plain "Q1" unit with UPSSIM_PLAIN_Q1=1).
# Stop it with Ctrl-C; upssim stops with it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
TARGETS="upskeeper upssim orvik" scripts/build.sh
mkdir -p run
cp build/src/service/core/upskeeper build/src/cli/orvik run/
cp -r data/. run/ 2>/dev/null || true

upssim=build/tools/upssim/upssim
link="$(pwd)/run/ups.tty"
rm -f "$link" run/upssim.ctl run/upssim.dev run/upssim.log
# A session of its own keeps Ctrl-C from the terminal away from upssim, so the
# UPS still answers while the service stops; the exit trap ends it after.
sim_kind=(--protocol "${UPSSIM_PROTOCOL:-3}")
[[ -n "${UPSSIM_PLAIN_Q1:-}" ]] && sim_kind=(--plain-q1)
setsid "$upssim" "${sim_kind[@]}" --link "$link" --ctl run/upssim.ctl \
  --log run/upssim.log --quiet >run/upssim.dev &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
# upssim prints its device once the link and the control socket are in place.
for _ in $(seq 50); do
  [[ -s run/upssim.dev ]] && break
  kill -0 "$sim" 2>/dev/null || { echo "upssim did not start" >&2; exit 1; }
  sleep 0.1
done
[[ -s run/upssim.dev ]] || { echo "upssim did not start" >&2; exit 1; }
echo "COM1=$link" >run/platform.ini

echo "upskeeper is running in $(pwd)/run; the status record is /dev/shm/OrvikMappingObject."
echo "Drive the simulated UPS with: $upssim ctl --socket run/upssim.ctl power fail"
echo "See what the service sees with: run/orvik status (run/orvik --help lists more)"
# In the background so that Ctrl-C and SIGTERM reach the trap, which passes
# them on as the service's stop signal.
run/upskeeper &
keeper=$!
trap 'kill -TERM "$keeper" 2>/dev/null || true' INT TERM
# A trapped signal ends a wait early; the last wait gives the exit code.
while kill -0 "$keeper" 2>/dev/null; do
  wait "$keeper" || true
done
status=0
wait "$keeper" || status=$?
exit "$status"
