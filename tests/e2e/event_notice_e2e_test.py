"""Network event notices from the running service, driven by upssim: a power
failure reaches a receiver on 127.0.0.1:8830 as the notice datagram, byte for
byte, repeated on the rhythm of bnmPeriod; a power failure shorter than the
notice delay sends nothing; the timed switch-off of an outlet notifies its
dependent hosts at once and switches the outlet at upssim after its delay. In
namespaces of its own it also broadcasts: with only the loopback up the
broadcast fails and the notice reaches 127.0.0.1 instead; with a veth pair
and a route it goes out to 255.255.255.255.

Runs in network and mount namespaces of its own where it can (a loopback of
its own for ports 8828 and 8830, a /dev/shm of its own for the record);
without them the broadcasts are left out, so that nothing goes out on this
machine's interfaces."""

import os
import socket
import struct
import subprocess
import sys
import time

from harness import (COMPUTER_NAME, MANUFACTURER, RECORD_PATH, RunFolder, check, close_run,
                     event_entry as entry, isolated_run, read_record, run_tests, service_arguments,
                     set_power, silence_actions, text, wait_for, write_record)
from upssim_run import UpsSim

args = None

NOTIFY_PORT = 8830
NOTICE_COMMAND = 35104
REMOTE_SHUTDOWN_COMMAND = 35136
CONTROL_PORT = 8828
OUTLET_COMMAND = 66145
NO_SHUTDOWN_NOTICE = 801

# Record offsets.
HOST_NAME = 76160
OUTLETS, OUTLET_SIZE = 74084, 88
OUTLET_DELAY, OUTLET_DEPEND = 20, 22
# Within an event's entry.
BNM_ENABLE, BNM_DELAY, BNM_PERIOD, BNM_USERS = 4, 8, 110, 112


def catalogue_notice(number):
    """The notice text of a message in the shipped English file."""
    with open(os.path.join(args.data, "msg.en"), encoding="latin-1") as f:
        for line in f:
            fields = [part.split(">", 1)[0].strip() for part in line.split("<")[1:]]
            if fields and fields[0] == str(number):
                return fields[2]
    raise AssertionError(f"message {number} missing from msg.en")


def occur(seconds):
    t = time.localtime(seconds)
    return (f"{t.tm_sec:02d}{t.tm_min:02d}{t.tm_hour:02d}{t.tm_mday:02d}{t.tm_mon - 1:02d}"
            f"{t.tm_year - 1900:04d}{1 if t.tm_isdst > 0 else 0}")


class NoticeRun:
    """upssim (a "Q1" protocol, which switches outlets) and upskeeper with
    every event silent except the power failure's notice to "localhost"."""

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
            os.environ["LC_ALL"] = "C"  # the English messages
            self.folder.start()
            identified = wait_for(lambda: (r := read_record()) and
                                  text(r, MANUFACTURER, 64) == "ACME-POWER", 120, interval=0.1)
            check(identified, "the service never identified the UPS")
            silence_actions()
            power = entry(1)
            write_record("i", power + BNM_ENABLE, 1)
            write_record("h", power + BNM_DELAY, 0)
            write_record("h", power + BNM_PERIOD, 0)
            write_record(None, power + BNM_USERS, b"localhost".ljust(256, b"\0"))
            self.receiver = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            self.receiver.bind(("127.0.0.1", NOTIFY_PORT))
            # Notices the service queued before the events went silent.
            time.sleep(6)
            self.drain()
        except Exception:
            self.close()
            raise

    def drain(self):
        self.receiver.setblocking(False)
        try:
            while True:
                self.receiver.recv(2048)
        except BlockingIOError:
            pass
        self.receiver.setblocking(True)

    def receive(self, timeout):
        return self.receive_from(timeout)[0]

    def receive_from(self, timeout):
        """(datagram, sender address) or (None, None)."""
        self.receiver.settimeout(timeout)
        try:
            data, sender = self.receiver.recvfrom(2048)
            return data, sender[0]
        except socket.timeout:
            return None, None

    def rebind(self, address):
        self.receiver.close()
        self.receiver = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.receiver.bind((address, NOTIFY_PORT))

    def restore(self):
        set_power(self.sim, "restore")

    def close(self):
        if self.receiver:
            self.receiver.close()
        close_run(self.folder, self.sim)


run = None


def broadcast_notice(expected_sender):
    """A power failure with bnmUsers "broadcast" (in any case); the notice
    must come from expected_sender."""
    write_record("h", entry(1) + BNM_DELAY, 0)
    write_record(None, entry(1) + BNM_USERS, b"BroadCast".ljust(256, b"\0"))
    run.drain()
    run.sim.ctl("power", "fail")
    got, sender = run.receive_from(10)
    check(got is not None, "no notice within 10 s")
    check(struct.unpack(">IiI", got[:12])[:2] == (NOTICE_COMMAND, NO_SHUTDOWN_NOTICE),
          f"got {got[:12]!r}")
    check(sender == expected_sender, f"sent from {sender}, expected {expected_sender}")
    run.restore()


def failed_broadcast_reaches_the_local_receiver():
    broadcast_notice("127.0.0.1")


def broadcast_goes_out_on_a_veth_pair():
    for command in (["ip", "link", "add", "notice0", "type", "veth", "peer", "name", "notice1"],
                    ["ip", "addr", "add", "10.77.0.1/24", "dev", "notice0"],
                    ["ip", "link", "set", "notice0", "up"], ["ip", "link", "set", "notice1", "up"],
                    ["ip", "route", "add", "default", "dev", "notice0"]):
        subprocess.run(command, check=True, capture_output=True, timeout=10)
    # The kernel hands a copy of an outgoing broadcast to local receivers.
    run.rebind("0.0.0.0")
    broadcast_notice("10.77.0.1")


def power_failure_sends_the_notice_byte_for_byte():
    before = time.time()
    began = time.monotonic()
    run.sim.ctl("power", "fail")
    got = run.receive(10)
    took = time.monotonic() - began
    after = time.time()
    check(got is not None, "no notice within 10 s")
    record = read_record()
    host, uname = text(record, HOST_NAME, 256), text(record, COMPUTER_NAME, 256)
    description = (catalogue_notice(NO_SHUTDOWN_NOTICE)
                   .replace("#HOSTNAME#", uname).replace("#DOWNTIME#", "0"))
    candidates = []
    for second in range(int(before) - 1, int(after) + 2):
        notice = (f"HOST:{host};UNAME:{uname};OCCUR:{occur(second)};DOWN:0;LANG:en;"
                  f"DESC:{description}").encode("latin-1")
        candidates.append(struct.pack(">IiI", NOTICE_COMMAND, NO_SHUTDOWN_NOTICE, len(notice)) +
                          notice)
    check(got in candidates, f"got {got!r}, expected {candidates[1]!r} or a neighbouring second")
    check(run.receive(1) is None, "a second datagram arrived")
    print(f"       power failure to notice: {took:.2f} s", flush=True)
    run.restore()


def notice_repeats_every_bnm_period():
    write_record("h", entry(1) + BNM_PERIOD, 2)
    run.drain()
    run.sim.ctl("power", "fail")
    arrivals = []
    for _ in range(3):
        got = run.receive(10)
        check(got is not None, f"notice {len(arrivals) + 1} missing")
        check(b";DOWN:2;" in got, f"got {got!r}")
        arrivals.append(time.monotonic())
    run.restore()
    # A notice sent as the power came back may still be on its way.
    time.sleep(0.2)
    run.drain()
    write_record("h", entry(1) + BNM_PERIOD, 0)
    gaps = [b - a for a, b in zip(arrivals, arrivals[1:])]
    check(all(1.8 <= gap <= 2.2 for gap in gaps), f"gaps {gaps}")
    check(run.receive(3) is None, "a repetition after the power came back")


def outlet_switch_off_notifies_hosts_then_switches_after_the_delay():
    outlet = 1
    write_record("h", OUTLETS + outlet * OUTLET_SIZE + OUTLET_DELAY, 3)
    write_record(None, OUTLETS + outlet * OUTLET_SIZE + OUTLET_DEPEND,
                 b" localhost ;".ljust(66, b"\0"))
    run.drain()
    sent = time.monotonic()
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as pages:
        pages.sendto(struct.pack(">IiI", OUTLET_COMMAND, outlet, 0), ("127.0.0.1", CONTROL_PORT))
    got = run.receive(5)
    check(got == struct.pack(">IiI", REMOTE_SHUTDOWN_COMMAND, 0, 0), f"got {got!r}")
    noticed = time.monotonic()
    switched = wait_for(lambda: [t for t, c in run.sim.received() if t > sent and c == "O02OFF\r"],
                        10, interval=0.05)
    check(switched, "the outlet command never reached the UPS")
    took = switched[0] - sent
    check(noticed - sent < 1, f"host notice after {noticed - sent:.2f} s")
    check(3 <= took <= 4.5, f"outlet switched {took:.2f} s after the command")


def power_restored_before_the_delay_sends_nothing():
    write_record("h", entry(1) + BNM_DELAY, 5)
    run.drain()
    set_power(run.sim, "fail")
    run.restore()
    got = run.receive(7)
    check(got is None, f"got {got!r}")


def main():
    global args, run
    args = service_arguments(upssim=True)
    code = isolated_run(args)
    if code is not None:
        return code
    tests = [
        ("PowerFailureSendsTheNoticeByteForByte", power_failure_sends_the_notice_byte_for_byte),
        ("NoticeRepeatsEveryBnmPeriod", notice_repeats_every_bnm_period),
        ("PowerRestoredBeforeTheDelaySendsNothing", power_restored_before_the_delay_sends_nothing),
        ("OutletSwitchOffNotifiesHostsThenSwitchesAfterTheDelay",
         outlet_switch_off_notifies_hosts_then_switches_after_the_delay),
    ]
    if args.isolated:
        tests += [
            ("FailedBroadcastReachesTheLocalReceiver", failed_broadcast_reaches_the_local_receiver),
            ("BroadcastGoesOutOnAVethPair", broadcast_goes_out_on_a_veth_pair),
        ]
    else:
        print("no namespaces here: the broadcasts are left out", flush=True)
    run = NoticeRun()
    try:
        return run_tests(tests)
    finally:
        run.close()


if __name__ == "__main__":
    sys.exit(main())
