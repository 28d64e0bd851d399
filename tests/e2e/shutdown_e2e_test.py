"""The shutdown sequence of the running service, driven by upssim (a "Q1"
UPS): a lasting power failure, with shutDelay 10, systemDelay 5 and
upsDelay 60, logs events 1, 25 and 125 in that order, tells 127.0.0.1:8830
that a shutdown starts, sends the UPS its switch-off with the restore time,
and about 20 s after the failure runs the power-off command, here a recorder
(as in every test: never this machine's own). A failure shorter than
shutDelay shuts nothing down. Power that returns during the sequence does
not stop it: the UPS still gets its commands, so the host is power-cycled
rather than left halted. The failure's execute action (delay 0) runs its
command without a shell.

Runs in network and mount namespaces of its own where it can (a loopback of
its own for ports 8828 and 8830, a /dev/shm of its own for the record)."""

import os
import socket
import struct
import sys
import time

from harness import (RECORD_PATH, RunFolder, check, close_run, field, isolate, power_requests,
                     read_record, rerun_isolated, run_tests, service_arguments, text, wait_for)
from upssim_run import UpsSim

args = None

NOTIFY_PORT = 8830
SHUTDOWN_STARTING = 35120
ON_BATTERY = 1 << 1
SHUTDOWN_STARTED = 1 << 25

# Record offsets.
MANUFACTURER = 0
ALARM_FLAGS = 484
REBOOT_WITH_DURATION = 1072
EVENT_ACTIONS = 1880       # events 0..27
RECOVERY_ACTIONS = 37944   # events 100..127
ENTRY_SIZE = 1288
SHUT_DEPEND, AUTO_SAVE, SYSTEM_DELAY, UPS_DELAY = 74788, 75044, 75048, 75050
# Within an event's entry.
LOG_ENABLE = 0
ENABLES = (4, 368, 732, 1012, 1280)  # broadcast, mail, page, execute, shutdown
EXECUTE_ENABLE, EXECUTE_DELAY, EXECUTE_COMMAND = 1012, 1016, 1018
SHUT_ENABLE, SHUT_DELAY = 1280, 1284

SHUT_DELAY_S, SYSTEM_DELAY_S, UPS_DELAY_S = 10, 5, 60
# rebootWithDuration 600 s, less upsDelay: the UPS comes back 9 minutes
# after its output goes off, "R0009" with upssim's 60-second minutes.
REBOOT_S = 600
SWITCH_OFF = "S01R0009\r"
# 10 + 5 + the 5 s pause, plus the idle checks and the poll cycle.
EXPECTED_S = SHUT_DELAY_S + SYSTEM_DELAY_S + 5


def entry(event):
    return (EVENT_ACTIONS + event * ENTRY_SIZE if event < 100 else
            RECOVERY_ACTIONS + (event - 100) * ENTRY_SIZE)


def write_record(fmt, offset, value):
    with open(RECORD_PATH, "r+b") as record:
        record.seek(offset)
        record.write(struct.pack("<" + fmt, value) if fmt else value)


class ShutdownRun:
    """upssim and upskeeper with every action off but the power failure's
    shutdown (after 10 s) and its command, the log lines of the events this
    test follows, and a receiver on 127.0.0.1:8830."""

    def __init__(self):
        self.folder = RunFolder(args.upskeeper, args.data)
        self.sim = None
        self.receiver = None
        try:
            self.sim = UpsSim(args.upssim, 2, self.folder.path,
                              {"manufacturer": "TESTWORKS", "model": "VALUE-1000",
                               "battery-charge": "80", "discharge": "0", "charge-rate": "0"})
            self.sim.platform_ini(self.folder.path)
            if os.path.exists(RECORD_PATH):
                os.unlink(RECORD_PATH)  # left by a crashed run
            self.folder.start()
            # ident.ini names the model's maker.
            identified = wait_for(lambda: (r := read_record()) and
                                  text(r, MANUFACTURER, 64) == "ACME-POWER", 120, interval=0.1)
            check(identified, "the service never identified the UPS")
            for event in list(range(28)) + list(range(100, 128)):
                for offset in ENABLES:
                    write_record("i", entry(event) + offset, 0)
            for event in (1, 25, 101, 125):
                write_record("i", entry(event) + LOG_ENABLE, 1)
            power = entry(1)
            write_record("h", power + SHUT_DELAY, SHUT_DELAY_S)
            write_record("i", power + SHUT_ENABLE, 1)
            recorder = os.path.join(self.folder.path, "power-recorder")
            command = f'"{recorder}" execute $(event) ; && | `one`'.encode()
            write_record(None, power + EXECUTE_COMMAND, command.ljust(262, b"\0"))
            write_record("h", power + EXECUTE_DELAY, 0)
            write_record("i", power + EXECUTE_ENABLE, 1)
            write_record(None, SHUT_DEPEND, b"".ljust(256, b"\0"))
            write_record("i", AUTO_SAVE, 1)  # no closer installed: returns at once
            write_record("h", SYSTEM_DELAY, SYSTEM_DELAY_S)
            write_record("h", UPS_DELAY, UPS_DELAY_S)
            write_record("i", REBOOT_WITH_DURATION, REBOOT_S)
            self.receiver = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            self.receiver.bind(("127.0.0.1", NOTIFY_PORT))
            self.receiver.setblocking(False)
        except Exception:
            self.close()
            raise

    def notices(self):
        got = []
        try:
            while True:
                got.append(struct.unpack(">IiI", self.receiver.recv(2048)[:12]))
        except BlockingIOError:
            return got

    def events(self):
        """Event numbers of the event log's lines, in order."""
        try:
            with open(os.path.join(self.folder.path, "kestrel.log"), encoding="latin-1",
                      newline="") as f:
                return [int(line[:3]) for line in f.read().split("\r\n") if line[:3].isdigit()]
        except FileNotFoundError:
            return []

    def fail_power(self):
        """Fails the mains at upssim; its monotonic time."""
        before = len(self.sim.logged("state"))
        self.sim.ctl("power", "fail")
        changes = wait_for(lambda: self.sim.logged("state")[before:], 5)
        check(changes, "upssim logged no state change")
        check(wait_for(lambda: field(read_record(), "I", ALARM_FLAGS) & ON_BATTERY, 10),
              "power failure not seen")
        return changes[0][0]

    def switch_offs(self):
        return [(t, c) for t, c in self.sim.received() if c.startswith("S")]

    def close(self):
        if self.receiver:
            self.receiver.close()
        close_run(self.folder, self.sim)


def power_off_time(run, timeout):
    """time.monotonic() when the recorder logged the power-off, or None."""
    seen = wait_for(lambda: "power off requested" in power_requests(run.folder.path), timeout)
    return time.monotonic() if seen else None


def in_order(events, wanted):
    """The wanted events as they appear in the log."""
    return [e for e in events if e in wanted]


def short_failure_shuts_nothing_down(run):
    run.fail_power()
    time.sleep(SHUT_DELAY_S - 4)
    run.sim.ctl("power", "restore")
    check(wait_for(lambda: not field(read_record(), "I", ALARM_FLAGS) & ON_BATTERY, 10),
          "power restore not seen")
    time.sleep(SHUT_DELAY_S + SYSTEM_DELAY_S)
    check("power off requested" not in power_requests(run.folder.path),
          f"got {power_requests(run.folder.path)}")
    check(not run.switch_offs(), f"the UPS got {run.switch_offs()}")
    check(25 not in run.events(), f"events {run.events()}")
    check(not any(n[0] == SHUTDOWN_STARTING for n in run.notices()), "shutdown announced")


def lasting_failure_shuts_down_in_order(run):
    # The power failure's command ran once, without a shell, with the
    # shell's characters as its arguments (from the short failure before).
    commands = [r for r in power_requests(run.folder.path) if r.startswith("execute")]
    check(commands == ["execute $(event) ; && | `one`"], f"commands {commands}")
    started_events = len(run.events())
    failed_at = run.fail_power()
    powered_off_at = power_off_time(run, EXPECTED_S + 20)
    check(powered_off_at is not None, "no power-off request")
    took = powered_off_at - failed_at
    print(f"       power failure to the power-off command: {took:.2f} s", flush=True)
    check(EXPECTED_S - 0.5 <= took <= EXPECTED_S + 4, f"power-off after {took:.2f} s")
    check(in_order(run.events()[started_events:], (1, 25, 125)) == [1, 25, 125],
          f"events {run.events()[started_events:]}")
    offs = run.switch_offs()
    check([c for _, c in offs] == [SWITCH_OFF], f"the UPS got {offs}")
    sent_after = offs[0][0] - failed_at
    check(SHUT_DELAY_S + SYSTEM_DELAY_S <= sent_after < EXPECTED_S,
          f"switch-off {sent_after:.2f} s after the failure")
    check((SHUTDOWN_STARTING, 0, 0) in run.notices(), "no shutdown notice on 8830")
    check(not field(read_record(), "I", ALARM_FLAGS) & SHUTDOWN_STARTED, "bit 25 still set")


def power_back_during_the_sequence_still_power_cycles(run):
    failed_at = run.fail_power()
    check(wait_for(lambda: 25 in run.events(), SHUT_DELAY_S + 3), "no event 25")
    # Polling has stopped for good: the service no longer sees the mains.
    before = len(run.sim.logged("state"))
    run.sim.ctl("power", "restore")
    restored = wait_for(lambda: run.sim.logged("state")[before:], 5)
    check(restored, "upssim logged no state change")
    powered_off_at = power_off_time(run, EXPECTED_S + 20)
    check(powered_off_at is not None, "no power-off request")
    check(in_order(run.events(), (1, 25, 125)) == [1, 25, 125], f"events {run.events()}")
    offs = run.switch_offs()
    check([c for _, c in offs] == [SWITCH_OFF], f"the UPS got {offs}")
    check(offs[0][0] > restored[0][0], "switch-off sent before the mains came back")
    print(f"       power-off {powered_off_at - failed_at:.2f} s after the failure", flush=True)


def main():
    global args
    args = service_arguments(upssim=True)
    for name in ("upskeeper", "upssim", "data"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    if args.isolated:
        isolate()
    else:
        code = rerun_isolated()
        if code is not None:
            return code

    def with_run(*steps):
        def test():
            run = ShutdownRun()
            try:
                for step in steps:
                    step(run)
            finally:
                run.close()
        return test

    # The sequence stops polling for good: a new service after each.
    return run_tests([
        ("ShortFailureThenLastingFailure",
         with_run(short_failure_shuts_nothing_down, lasting_failure_shuts_down_in_order)),
        ("PowerBackDuringTheSequenceStillPowerCycles",
         with_run(power_back_during_the_sequence_still_power_cycles)),
    ])


if __name__ == "__main__":
    sys.exit(main())
