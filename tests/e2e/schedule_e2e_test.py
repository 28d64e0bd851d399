"""Schedule entries written into the status record, as the schedule page
writes them, run at their time through the service's control channel: a
"General System Test" a few seconds ahead, and a daily one first due three
days back, each make the simulated UPS hear the self-test command once, at
the entry's second."""

import mmap
import os
import struct
import sys
import time

from harness import (RECORD_PATH, RunFolder, check, read_record, run_tests, service_arguments,
                     text, wait_for)
from upssim_run import UpsSim

args = None

MODEL = 64
SCHEDULE_COUNT = 75072
SCHEDULE = 75074
ENTRY_SIZE = 18
GENERAL_SYSTEM_TEST = 1
ONCE, DAILY = 1, 2
DAY = 86400
# Protocol 1, the binary one: identified at once, polled with 0x01; its
# self-test command is 0x03.
PROTOCOL = 1
SELF_TEST = "\x03"
# From the bookkeeping's second to the UPS: the monitor's pass, the datagram,
# the poll task's next exchange.
LATEST_MS = 2000


def entry(action, when, repeat):
    """Nine words of a schedule entry for local time `when`."""
    t = time.localtime(when)
    weekday = (t.tm_wday + 1) % 7 + 1  # 1 = Sunday
    return (action, t.tm_sec, t.tm_min, t.tm_hour, t.tm_mday, t.tm_mon, t.tm_year, weekday,
            repeat)


def write_schedule(entries):
    """The entries first, then the count, as the page writes them."""
    with open(RECORD_PATH, "r+b") as f, mmap.mmap(f.fileno(), 0) as record:
        for i, words in enumerate(entries):
            struct.pack_into("<9h", record, SCHEDULE + ENTRY_SIZE * i, *words)
        struct.pack_into("<h", record, SCHEDULE_COUNT, len(entries))


def scheduled_tests_run_at_their_second_once():
    folder = RunFolder(args.upskeeper, args.data)
    sim = None
    try:
        sim = UpsSim(args.upssim, PROTOCOL, folder.path)
        sim.platform_ini(folder.path)
        if os.path.exists(RECORD_PATH):
            os.unlink(RECORD_PATH)  # left by a crashed run
        folder.start()
        polling = wait_for(lambda: (read_record() or b"") and
                           text(read_record(), MODEL, 64) != "", 60, interval=0.1)
        check(polling, "the service never identified the UPS")

        # Whole seconds ahead, and their CLOCK_MONOTONIC moments, which
        # upssim's log uses.
        first = int(time.time()) + 5
        second = first + 3
        offset = time.monotonic() - time.time()
        write_schedule([entry(GENERAL_SYSTEM_TEST, first, ONCE),
                        entry(GENERAL_SYSTEM_TEST, second - 3 * DAY, DAILY)])
        written = time.monotonic()
        wait_for(lambda: False, second - time.time() + 5, interval=0.2)

        tests = [t for t, c in sim.received() if t >= written and c == SELF_TEST]
        check(len(tests) == 2, f"self-tests heard at {[round(t - offset, 2) for t in tests]}, "
                               f"expected at {first} and {second}")
        for heard, due in zip(tests, (first, second)):
            late_ms = (heard - (due + offset)) * 1000
            check(-50 <= late_ms <= LATEST_MS,
                  f"self-test due at {due} heard {late_ms:.0f} ms after it")
        print(f"       heard {(tests[0] - first - offset) * 1000:.0f} and "
              f"{(tests[1] - second - offset) * 1000:.0f} ms after the due seconds", flush=True)
        code, _ = folder.stop(timeout=40)
        check(code == 0, f"service exit code {code}")
    finally:
        folder.cleanup()
        if sim:
            sim.stop()


def main():
    global args
    args = service_arguments(upssim=True)
    return run_tests([("ScheduledTestsRunAtTheirSecondOnce",
                       scheduled_tests_run_at_their_second_once)])


if __name__ == "__main__":
    sys.exit(main())
