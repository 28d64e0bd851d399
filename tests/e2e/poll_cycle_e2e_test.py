"""upskeeper identifies each of the nine protocols of a simulated UPS on COM1,
then polls it with the protocol's own commands in table order, and reports
the link lost while the UPS is silent."""

import os
import sys
import time

from harness import (service_arguments, RECORD_PATH, RunFolder, check, field, read_record, run_tests, wait_for)
from upssim_run import UpsSim

args = None
ALARM_FLAGS = 484
COMMUNICATION_LOST = 1 << 19

# The probes a UPS of protocol p hears before it is identified: the binary
# query, the "Q1" family's "OI" (then "Q1" when "OI" gave no "#" reply) for
# candidates 2 to 4, and "IS" for each two-letter candidate up to p.
BINARY_PROBE = ["\x01"]
Q1_PROBE = ["OI\r", "Q1\r"]


def probes(protocol):
    if protocol == 1:
        return BINARY_PROBE
    if protocol == 3:
        return BINARY_PROBE + ["OI\r"]
    if protocol in (2, 4):
        return BINARY_PROBE + Q1_PROBE
    return BINARY_PROBE + Q1_PROBE * 3 + ["IS\r\n"] * (protocol - 4)


def two_letter(*commands):
    return [c + "\r\n" for c in commands]


# The first commands of each protocol's poll cycle: the settings group first
# where the model polls any, then the measurements, then the identity group
# (its "1" entries have no exchange).
FIRST_POLLS = {
    1: ["\x01"] * 3,
    2: ["Q1\r", "I\r", "F\r", "Q1\r"],
    3: ["OI\r", "Q1\r", "I\r", "F\r"],
    4: ["OI\r", "Q1\r", "I\r", "F\r"],
    5: two_letter("BS", "BV", "BT", "NF"),
    6: two_letter("BD", "CA", "FU", "FT"),
    7: two_letter("BD", "CA", "FU", "FL"),
    8: two_letter("BD", "CA", "FU", "FL"),
    9: two_letter("CA", "FU", "FT", "BS"),
}


class Run:
    """upssim of one protocol and upskeeper with COM1 pointed at it."""

    def __init__(self, protocol):
        self.folder = RunFolder(args.upskeeper, args.data)
        self.sim = UpsSim(args.upssim, protocol, self.folder.path)
        self.sim.platform_ini(self.folder.path)
        if os.path.exists(RECORD_PATH):
            os.unlink(RECORD_PATH)  # left by a crashed run
        self.folder.start()

    def alarm_flags(self):
        record = read_record()
        return field(record, "I", ALARM_FLAGS) if record else None

    def close(self):
        try:
            if self.folder.process and self.folder.process.poll() is None:
                self.folder.stop(timeout=30)
        finally:
            self.folder.cleanup()
            self.sim.stop()


def identifies_every_protocol_and_polls_in_table_order():
    for protocol in range(1, 10):
        expected = probes(protocol) + FIRST_POLLS[protocol]
        run = Run(protocol)
        try:
            # Probes of a silent candidate last up to a few seconds each.
            wait_for(lambda: len(run.sim.received()) >= len(expected), 60, interval=0.1)
            got = [command for _, command in run.sim.received()][:len(expected)]
            check(got == expected, f"protocol {protocol}: UPS heard {got!r}, expected {expected!r}")
            flags = run.alarm_flags()
            check(flags is not None and not flags & COMMUNICATION_LOST,
                  f"protocol {protocol}: alarmFlags {flags!r}, service exit code "
                  f"{run.folder.process.poll()!r}, record there: {os.path.exists(RECORD_PATH)}")
        finally:
            run.close()


def silent_ups_is_reported_lost_until_it_answers_again():
    run = Run(1)
    try:
        check(wait_for(lambda: len(run.sim.received()) >= 3, 30, interval=0.1),
              "never polled")
        run.sim.ctl("silent", "on")
        # The failing command is sent twice, and twice again 600 ms later.
        lost = wait_for(lambda: (run.alarm_flags() or 0) & COMMUNICATION_LOST, 15, interval=0.05)
        check(lost, f"not reported lost: alarmFlags {run.alarm_flags():#x}")
        heard = len(run.sim.received())
        time.sleep(1.5)
        check(len(run.sim.received()) > heard, "probing stopped while the UPS was silent")
        run.sim.ctl("silent", "off")
        # At the latest when the search comes round to protocol 1 again.
        back = wait_for(lambda: not (run.alarm_flags() or 0) & COMMUNICATION_LOST, 30,
                        interval=0.05)
        check(back, "still reported lost after the UPS answered again")
    finally:
        run.close()


def main():
    global args
    args = service_arguments(upssim=True)
    return run_tests([
        ("IdentifiesEveryProtocolAndPollsInTableOrder",
         identifies_every_protocol_and_polls_in_table_order),
        ("SilentUpsIsReportedLostUntilItAnswersAgain",
         silent_ups_is_reported_lost_until_it_answers_again),
    ])


if __name__ == "__main__":
    sys.exit(main())
