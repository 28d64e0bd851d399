"""Paging from the running service through modemsim: a power failure at
upssim with two pageUsers entries on event 1 makes two complete calls at the
modem, each "ATZ", the upper-cased dial line with the message, "+++" and
"ATH0", with the fixed pauses between them, while the UPS link keeps polling
at its normal rate; a modem that streams noise without end costs the same
pauses.

The service finds the modem as COM2 (pageport 1) through platform.ini.
Runs in network and mount namespaces of its own where it can (a loopback for
port 8828, a /dev/shm for the record). About two minutes."""

import os
import sys
import time

from harness import (MANUFACTURER, RECORD_PATH, RunFolder, check, close_run, event_entry as entry,
                     isolated_run, read_record, run_tests, service_arguments, set_power,
                     silence_actions, text, wait_for, write_record)
from modemsim_run import ModemSim
from upssim_run import UpsSim

args = None

# Record offsets.
PAGE_PORT = 1616
# Within an event's entry.
PAGE_ENABLE, PAGE_DELAY, PAGE_MESSAGE, PAGE_USERS = 732, 736, 738, 754

TOLERANCE = 0.1
# From "ATH0" to the next call's "ATZ": a 400 ms read, 1 s, and 1 s settle
# after the port is opened again.
BETWEEN_CALLS = 0.4 + 1.0 + 1.0


def call_gaps(semicolons):
    """Pauses (s) between the lines of one call, each with its read."""
    return [0.5 + 0.3 + 2.0, (6 + semicolons) * 2.0 + 0.3 + 4.0, 0.5 + 0.3 + 1.0]


class PageRun:
    """upssim as COM1, modemsim as COM2, and upskeeper with every event
    silent except the power failure's page."""

    def __init__(self):
        self.folder = RunFolder(args.upskeeper, args.data)
        self.sim = None
        self.modem = None
        try:
            self.sim = UpsSim(args.upssim, 2, self.folder.path,
                              {"manufacturer": "TESTWORKS", "model": "VALUE-1000",
                               "battery-charge": "80", "discharge": "0", "charge-rate": "0"})
            self.modem = ModemSim(args.modemsim, self.folder.path, {"dial-ms": 3000})
            self.sim.platform_ini(self.folder.path)
            with open(os.path.join(self.folder.path, "platform.ini"), "a") as f:
                f.write(f"COM2={self.modem.link}\n")
            if os.path.exists(RECORD_PATH):
                os.unlink(RECORD_PATH)  # left by a crashed run
            self.folder.start()
            identified = wait_for(lambda: (r := read_record()) and
                                  text(r, MANUFACTURER, 64) == "ACME-POWER", 120, interval=0.1)
            check(identified, "the service never identified the UPS")
            silence_actions()
            write_record("i", PAGE_PORT, 1)
            power = entry(1)
            write_record("h", power + PAGE_DELAY, 0)
            write_record("i", power + PAGE_ENABLE, 1)
        except Exception:
            self.close()
            raise

    def page(self, users, message):
        """Sets event 1's page, fails the power until the calls are made
        (one per entry), restores it; returns the modem lines of the calls
        and the time of the failure."""
        power = entry(1)
        write_record(None, power + PAGE_MESSAGE, message.encode().ljust(16, b"\0"))
        write_record(None, power + PAGE_USERS, users.encode().ljust(258, b"\0"))
        calls = len([u for u in users.split(";") if u.strip()])
        before = len(self.modem.received())
        failed_at = time.monotonic()
        set_power(self.sim, "fail")
        done = wait_for(lambda: sum(1 for _, line, _ in self.modem.received()[before:]
                                    if line == "ATH0\r") >= calls,
                        30 * calls + 10, interval=0.2)
        # A line sent after the last hang-up would show here.
        time.sleep(1.5)
        lines = self.modem.received()[before:]
        self.restore()
        check(done, f"{calls} calls expected, the modem got {lines}")
        return lines, failed_at

    def restore(self):
        set_power(self.sim, "restore")

    def close(self):
        try:
            close_run(self.folder, self.sim)
        finally:
            if self.modem:
                self.modem.stop()


run = None


def check_calls(lines, dial_lines, semicolons):
    """The modem lines are one complete call per dial line, with the pauses."""
    expected = [text for dial in dial_lines for text in ("ATZ\r", dial, "+++\r", "ATH0\r")]
    check([line for _, line, _ in lines] == expected,
          f"lines {[line for _, line, _ in lines]}, expected {expected}")
    times = [t for t, _, _ in lines]
    gaps = [b - a for a, b in zip(times, times[1:])]
    wanted = []
    for call in range(len(dial_lines)):
        if call:
            wanted.append(BETWEEN_CALLS)
        wanted += call_gaps(semicolons)
    off = [(i, round(g, 3), w) for i, (g, w) in enumerate(zip(gaps, wanted))
           if abs(g - w) > TOLERANCE]
    check(not off, f"pauses off by more than {TOLERANCE} s (index, got, wanted): {off}")
    return gaps


def ups_polling(begin, end):
    """(commands per second, longest silence in seconds) of the UPS link."""
    times = [t for t, _ in run.sim.received() if begin <= t < end]
    longest = max((b - a for a, b in zip([begin] + times, times + [end])), default=end - begin)
    return len(times) / (end - begin), longest


def two_entries_make_two_calls_while_the_ups_poll_goes_on():
    time.sleep(20)  # a quiet stretch of polling to compare with
    lines, failed_at = run.page(" atdt5550101,, ;atdt5550202,,", "4711*")
    gaps = check_calls(lines, ["ATDT5550101,,4711*\r", "ATDT5550202,,4711*\r"], 0)
    rate_before, longest_before = ups_polling(failed_at - 20, failed_at)
    rate_during, longest_during = ups_polling(lines[0][0], lines[-1][0])
    print(f"       call gaps {[round(g, 3) for g in gaps]} s; UPS commands {rate_before:.2f}/s "
          f"before (longest silence {longest_before:.2f} s), {rate_during:.2f}/s during the "
          f"calls ({longest_during:.2f} s)", flush=True)
    check(rate_before * 20 >= 10, f"the UPS link was hardly polling before: {rate_before:.2f}/s")
    check(rate_during >= 0.85 * rate_before,
          f"polling slowed during the calls: {rate_during:.2f}/s against {rate_before:.2f}/s")
    check(longest_during <= longest_before + 0.5,
          f"the poll stalled for {longest_during:.2f} s during the calls")


def streaming_modem_costs_the_same_pauses():
    run.modem.ctl("stream", "on")
    try:
        lines, _ = run.page("atdt5550303;", "12;")
    finally:
        run.modem.ctl("stream", "off")
    gaps = check_calls(lines, ["ATDT555030312;\r"], 1)
    print(f"       call gaps with a streaming modem {[round(g, 3) for g in gaps]} s", flush=True)


def main():
    global args, run
    args = service_arguments(upssim=True, extra=("--modemsim",))
    code = isolated_run(args)
    if code is not None:
        return code
    run = PageRun()
    try:
        return run_tests([
            ("TwoEntriesMakeTwoCallsWhileTheUpsPollGoesOn",
             two_entries_make_two_calls_while_the_ups_poll_goes_on),
            ("StreamingModemCostsTheSamePauses", streaming_modem_costs_the_same_pauses),
        ])
    finally:
        run.close()


if __name__ == "__main__":
    sys.exit(main())
