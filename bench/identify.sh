#!/usr/bin/env bash
# How long upskeeper takes to identify each protocol: for protocols 1 to 9,
# the seconds from the service's start to the first poll command the
# simulated UPS receives (upssim's log, CLOCK_MONOTONIC), next to the least
# time the probe timings allow.
#
#   bench/identify.sh [PROTOCOL...]     (default 1 to 9; BUILD names the build folder)
#
# The least time adds up: the port's 1000 ms settling wait at start; every
# probe exchange of the candidates tried (60 ms flush + bytes x inter-byte
# delay + settle time + the whole time-out, which every read waits out); the
# 100 ms pause after each probe step; and, in the identifying step, the
# first poll command's flush and bytes up to its last one. Process start-up
# is not counted.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
ninja -C "$build" -j2 upskeeper upssim >/dev/null
exec python3 - "$build" "$@" <<'PY'
import os, sys, time
sys.path.insert(0, "tests/e2e")
from harness import RECORD_PATH, RunFolder, wait_for
from upssim_run import UpsSim

build = sys.argv[1]
protocols = [int(p) for p in sys.argv[2:]] or list(range(1, 10))

FLUSH_MS, STEP_PAUSE_MS, OPEN_SETTLE_MS = 60, 100, 1000
# Candidate: inter-byte delay, settle time, time-out (ms); 3 and 4 keep 2's.
SETTINGS = {1: (20, 10, 1000), 2: (20, 10, 1000), 3: (20, 10, 1000), 4: (20, 10, 1000),
            5: (0, 10, 600), 6: (20, 10, 600), 7: (20, 10, 600), 8: (20, 20, 1000),
            9: (20, 10, 600)}
# Bytes of the first poll command of each protocol.
FIRST_POLL_BYTES = {1: 1, 2: 3, 3: 3, 4: 3, 5: 4, 6: 4, 7: 4, 8: 4, 9: 4}


def probe_exchanges(candidate, protocol):
    """Bytes of each probe exchange of one candidate, and whether it identifies."""
    if candidate == 1:
        return [1], protocol == 1
    if candidate <= 4:
        return ([3] if protocol == 3 else [3, 3]), 2 <= protocol <= 4
    return [4], candidate == protocol


def least_ms(protocol):
    total = OPEN_SETTLE_MS
    for candidate in range(1, 10):
        delay, settle, timeout = SETTINGS[candidate]
        sizes, identified = probe_exchanges(candidate, protocol)
        total += sum(FLUSH_MS + n * delay + settle + timeout for n in sizes)
        if identified:
            return total + FLUSH_MS + (FIRST_POLL_BYTES[protocol] - 1) * delay
        total += STEP_PAUSE_MS


def probe_count(protocol):
    count = 0
    for candidate in range(1, 10):
        sizes, identified = probe_exchanges(candidate, protocol)
        count += len(sizes)
        if identified:
            return count


print("protocol  measured s  least s  over s")
for protocol in protocols:
    folder = RunFolder(os.path.join(build, "src/service/core/upskeeper"), "data")
    sim = UpsSim(os.path.join(build, "tools/upssim/upssim"), protocol, folder.path)
    try:
        sim.platform_ini(folder.path)
        if os.path.exists(RECORD_PATH):
            os.unlink(RECORD_PATH)
        probes = probe_count(protocol)
        started = time.monotonic()
        folder.start()
        wait_for(lambda: len(sim.received()) > probes, 60, interval=0.05)
        heard = sim.received()
        if len(heard) <= probes:
            print(f"{protocol:8}  not identified within 60 s")
            continue
        measured = heard[probes][0] - started
        least = least_ms(protocol) / 1000
        print(f"{protocol:8}  {measured:10.3f}  {least:7.3f}  {measured - least:6.3f}")
    finally:
        if folder.process and folder.process.poll() is None:
            folder.stop(timeout=30)
        folder.cleanup()
        sim.stop()
PY
