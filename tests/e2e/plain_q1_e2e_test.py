"""upskeeper against the plain "Q1" UPS most people own (upssim --plain-q1):
it answers only "Q1", "F" and "I", never "OI", and its model is in no
ident.ini. The link must come up as protocol 4 and stay up, the record must
follow the UPS, and only real silence may count as a lost link.

The tests share one service and one simulated UPS and run in order. The
script runs itself again in network and mount namespaces of its own where
it can, so that it may run beside other tests."""

import os
import sys
import time

from harness import (ALARM_FLAGS, COMMUNICATION_LOST, MANUFACTURER, ON_BATTERY, RECORD_PATH,
                     RunFolder, check, close_run, field, isolated_run, read_record, run_tests,
                     service_arguments, text, wait_for)
from upssim_run import PLAIN_Q1, UpsSim

args = None

# Record offsets.
EST_CHARGE_REMAINING = 390
BATTERY_VOLTAGE = 392
INPUT_VOLTAGE = 408

# The probe hears the binary query, then "OI" (no "#" reply) and "Q1"; a
# 47-byte "Q1" reply makes it protocol 4, whose first poll is "OI".
PROBE_THEN_FIRST_POLL = ["\x01", "OI\r", "Q1\r", "OI\r"]
# Port settling (1 s), candidate 1 (1.09 s), a step pause, candidate 2's two
# exchanges (1.13 s each) and the first poll's flush add up to 4.5 s; the
# rest is slack for a loaded machine.
PROBE_SECONDS = 7
# What upssim's plain unit reports: "I" and, at full charge, 2.27 V a cell of
# a 12.00 V battery ("F"), that is 6 cells of 2.27 V.
PLAIN_MANUFACTURER = "PLAINPOWER"
PLAIN_BATTERY_DECIVOLTS = 136


class Run:
    def __init__(self):
        self.folder = RunFolder(args.upskeeper, args.data)
        self.sim = None
        self.identified_at = None
        try:
            self.sim = UpsSim(args.upssim, PLAIN_Q1, self.folder.path)
            self.sim.platform_ini(self.folder.path)
            if os.path.exists(RECORD_PATH):
                os.unlink(RECORD_PATH)  # left by a crashed run
            self.started = time.monotonic()
            self.folder.start()
        except Exception:
            self.close()
            raise

    def value(self, fmt, offset):
        """A field of the record; None while there is no record."""
        record = read_record()
        return field(record, fmt, offset) if record else None

    def flags(self):
        return self.value("I", ALARM_FLAGS) or 0

    def events(self):
        """The event numbers of the event log's lines, in order."""
        try:
            with open(os.path.join(self.folder.path, "kestrel.log"), encoding="latin-1", newline="") as f:
                return [line[:3] for line in f.read().split("\r\n") if line]
        except FileNotFoundError:
            return []

    def close(self):
        close_run(self.folder, self.sim)


run = None


def identified_as_protocol_4_within_the_probe_time():
    heard = wait_for(lambda: len(run.sim.received()) >= len(PROBE_THEN_FIRST_POLL), 30, 0.05)
    check(heard, f"the UPS heard only {run.sim.received()!r}")
    first = run.sim.received()[:len(PROBE_THEN_FIRST_POLL)]
    check([c for _, c in first] == PROBE_THEN_FIRST_POLL,
          f"heard {[c for _, c in first]!r}, expected {PROBE_THEN_FIRST_POLL!r}")
    took = first[-1][0] - run.started
    check(took <= PROBE_SECONDS, f"first poll {took:.1f} s after the start")
    run.identified_at = first[-1][0]


def identity_and_battery_come_from_the_ups():
    # Not in ident.ini: the manufacturer is what "I" said, the battery
    # voltage the cell reading times the cells of "F"'s nominal.
    def values():
        record = read_record()
        if not record:
            return None
        return (text(record, MANUFACTURER, 64).rstrip(" "), field(record, "h", BATTERY_VOLTAGE),
                field(record, "h", EST_CHARGE_REMAINING))

    def right():
        v = values()
        return v and v[0] == PLAIN_MANUFACTURER and v[1] == PLAIN_BATTERY_DECIVOLTS and v[2] > 90

    check(wait_for(right, 30, 0.1),
          f"(manufacturer, batteryVoltage, estChargeRemaining) = {values()}, expected "
          f"({PLAIN_MANUFACTURER!r}, {PLAIN_BATTERY_DECIVOLTS}, above 90)")


def link_stays_up_for_two_minutes():
    check(run.identified_at is not None, "never identified")
    lost = wait_for(lambda: run.flags() & COMMUNICATION_LOST, 120, 0.02)
    since = time.monotonic() - run.started
    check(not lost, f"communication lost {since:.1f} s after the start")
    check("019" not in run.events(), f"event log {run.events()}")


def record_follows_the_input_voltage_within_3_s():
    began = time.monotonic()
    run.sim.ctl("set", "input-voltage", "221.7")
    followed = wait_for(lambda: run.value("h", INPUT_VOLTAGE) == 221, 3, 0.02)
    check(followed, f"inputVoltage {run.value('h', INPUT_VOLTAGE)} "
                    f"{time.monotonic() - began:.1f} s after the change, expected 221")


def power_failure_sets_bit_1_and_logs_001():
    logged_before = run.events().count("001")
    run.sim.ctl("power", "fail")
    check(wait_for(lambda: run.flags() & ON_BATTERY, 5, 0.02), f"alarmFlags {run.flags():#x}")
    check(wait_for(lambda: run.events().count("001") > logged_before, 5, 0.02),
          f"event log {run.events()}")
    run.sim.ctl("power", "restore")
    check(wait_for(lambda: not run.flags() & ON_BATTERY, 5, 0.02),
          f"after the restore alarmFlags {run.flags():#x}")


def silence_sets_bit_19_and_answers_clear_it():
    check(wait_for(lambda: not run.flags() & COMMUNICATION_LOST, 15, 0.02),
          "communication lost before the silence")
    run.sim.ctl("silent", "on")
    check(wait_for(lambda: run.flags() & COMMUNICATION_LOST, 5, 0.02),
          f"silent 5 s: alarmFlags {run.flags():#x}")
    check(wait_for(lambda: "019" in run.events(), 2, 0.02), f"event log {run.events()}")
    run.sim.ctl("silent", "off")
    # A probe round from candidate 1: about 4.5 s.
    check(wait_for(lambda: not run.flags() & COMMUNICATION_LOST, 15, 0.02),
          f"answering 15 s: alarmFlags {run.flags():#x}")


def main():
    global args, run
    args = service_arguments(upssim=True)
    code = isolated_run(args, ("no namespaces here: running beside the machine's own /dev/shm",
                               None))
    if code is not None:
        return code
    run = Run()
    try:
        return run_tests([
            ("IdentifiedAsProtocol4WithinTheProbeTime",
             identified_as_protocol_4_within_the_probe_time),
            ("IdentityAndBatteryComeFromTheUps", identity_and_battery_come_from_the_ups),
            ("LinkStaysUpForTwoMinutes", link_stays_up_for_two_minutes),
            ("RecordFollowsTheInputVoltageWithin3s", record_follows_the_input_voltage_within_3_s),
            ("PowerFailureSetsBit1AndLogs001", power_failure_sets_bit_1_and_logs_001),
            ("SilenceSetsBit19AndAnswersClearIt", silence_sets_bit_19_and_answers_clear_it),
        ])
    finally:
        run.close()


if __name__ == "__main__":
    sys.exit(main())
