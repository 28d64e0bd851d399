"""The whole UPS link, for each of the nine protocols: what a simulated UPS
reports reaches the status record within three poll laps, and UPS commands
sent as datagrams to 127.0.0.1:8828 reach the UPS as the protocol's bytes.

Each protocol runs in a network and mount namespace of its own (a loopback
of its own for port 8828, a /dev/shm of its own for the record), so the nine
runs go side by side; where namespaces cannot be made (not root) they run
one after the other, which takes several minutes."""

import argparse
import os
import re
import signal
import socket
import statistics
import struct
import subprocess
import sys
import time

from harness import (RECORD_PATH, RECORD_SIZE, RunFolder, check, close_run, field, isolate,
                     namespaces_available, read_record, silence_actions, text, wait_for)
from upssim_run import UpsSim

args = None

CONTROL_PORT = 8828
STOP_COMMAND = 35152

# Record offsets.
MANUFACTURER = 0
MODEL = 64
UPS_SOFTWARE_VERSION = 128
BATTERY_VOLTAGE = 392
BATTERY_TEMPERATURE = 396
INPUT_FREQUENCY = 402
INPUT_VOLTAGE = 408
OUTPUT_SOURCE = 426
OUTPUT_FREQUENCY = 428
OUTPUT_VOLTAGE = 432
OUTPUT_PERCENT_LOAD = 450
ALARM_FLAGS = 484
CONFIG_OUTPUT_VA = 1232
CONFIG_OUTPUT_POWER = 1234
SERIAL_NUMBER = 74008

ON_BATTERY = 1 << 1
BATTERY_LOW = 1 << 2
SOURCE_NORMAL = 3
SOURCE_BATTERY = 5
NOT_AVAILABLE = -2

# The simulated UPS, away from upssim's defaults so that a value the
# service kept from start-up or read from the wrong place shows. Battery
# charge stays where it is put.
COMMON_SETTINGS = {
    "input-voltage": "221.7", "input-frequency": "49.6", "load": "37", "temperature": "31.4",
    "battery-charge": "80", "charge-rate": "0", "discharge": "0",
    "rated-va": "1500", "rated-w": "1050", "serial": "QX0012345",
}
# Models the "Q1" protocols look up in ident.ini, and a plain two-letter model.
Q1_SETTINGS = {"manufacturer": "TESTWORKS", "model": "VALUE-1000", "version": "V2.34"}
TWO_LETTER_SETTINGS = {"manufacturer": "TESTWORKS", "model": "LINE-1500"}
# What changes while the service polls.
CHANGED_SETTINGS = {"input-voltage": "212.6", "input-frequency": "51.4", "load": "52",
                    "temperature": "28.6"}

TWO_LETTER_VERSIONS = {5: "T2.10", 6: "B2.05", 7: "C1.02", 8: "B1.07", 9: "B3.01"}


def family(protocol):
    return 1 if protocol == 1 else 2 if protocol <= 4 else 5


def group1(protocol):
    """The commands of one poll lap, in order."""
    if protocol == 1:
        return ["\x01"]
    if protocol == 2:
        return ["Q1\r"]
    if protocol <= 4:
        return ["OI\r", "Q1\r"]
    skipped = {5: "TR", 6: "BT"}.get(protocol)
    return [c + "\r\n" for c in "BS BV BT NF NV OF OV OL OS AG TR".split() if c != skipped]


def is_poll(protocol, command):
    """A command of the poll cycle (any group), not a control command."""
    if family(protocol) == 1:
        return command == "\x01"
    if family(protocol) == 2:
        return command in ("Q1\r", "OI\r", "I\r", "F\r")
    return re.fullmatch(r"[A-Z]{2}\d?\r\n", command) is not None


def c_round(value):
    """Rounding half up, as upssim rounds its (positive) readings."""
    return int(value + 0.5)


def binary_battery_voltage(charge):
    """Decoded battery voltage (0.1 V) of a binary reply's charge byte."""
    if charge == 100:
        return 136
    if charge >= 30:
        return 115 + (charge - 30) * 21 // 70
    return 110 + charge * 5 // 30


def measured(protocol, status, temperature):
    """{offset: value} the record should hold for upssim's status readings
    and temperature (which the status line leaves out)."""
    vin, vout = float(status["input-voltage"]), float(status["output-voltage"])
    hz_in, hz_out = float(status["input-frequency"]), float(status["output-frequency"])
    load, charge = int(status["load"]), int(status["battery-charge"])
    battery = float(status["battery-volts"])
    if family(protocol) == 1:
        # Bytes: volts / 2, whole hertz, charge percent; no temperature.
        return {INPUT_VOLTAGE: c_round(vin / 2) * 2, OUTPUT_VOLTAGE: c_round(vout / 2) * 2,
                INPUT_FREQUENCY: c_round(hz_in) * 10, OUTPUT_FREQUENCY: c_round(hz_out) * 10,
                OUTPUT_PERCENT_LOAD: load, BATTERY_VOLTAGE: binary_battery_voltage(charge),
                BATTERY_TEMPERATURE: NOT_AVAILABLE}
    if family(protocol) == 2:
        # Text with one decimal, read as a number, scaled and truncated; the
        # output frequency is the input's while on mains.
        def reading(value, scale=1):
            return int(float(f"{value:.1f}") * scale)
        return {INPUT_VOLTAGE: reading(vin), OUTPUT_VOLTAGE: reading(vout),
                INPUT_FREQUENCY: reading(hz_in, 10), OUTPUT_FREQUENCY: reading(hz_in, 10),
                OUTPUT_PERCENT_LOAD: load, BATTERY_VOLTAGE: reading(battery, 10),
                BATTERY_TEMPERATURE: reading(temperature)}
    # Voltages on a 120 V scale, multiplied back by nominal / 180 + 1 (230 V: 2).
    factor = 230 // 180 + 1
    return {INPUT_VOLTAGE: c_round(vin / factor) * factor,
            OUTPUT_VOLTAGE: c_round(vout / factor) * factor,
            INPUT_FREQUENCY: c_round(hz_in * 10), OUTPUT_FREQUENCY: c_round(hz_out * 10),
            OUTPUT_PERCENT_LOAD: load, BATTERY_VOLTAGE: c_round(battery * 10),
            BATTERY_TEMPERATURE: NOT_AVAILABLE if protocol == 6 else c_round(temperature)}


def identity(protocol):
    """{offset: value} of the identity the record should show. The binary
    and "Q1" models come from ident.ini, the two-letter ones from the UPS."""
    if protocol == 1:
        return {MANUFACTURER: "ACME-POWER", MODEL: "BACK 650", UPS_SOFTWARE_VERSION: "",
                CONFIG_OUTPUT_VA: 650, CONFIG_OUTPUT_POWER: 390}
    if protocol <= 4:
        return {MANUFACTURER: "ACME-POWER", MODEL: "VALUE 1000", UPS_SOFTWARE_VERSION: "V2.34"}
    return {MANUFACTURER: "TESTWORKS", MODEL: "LINE-1500",
            UPS_SOFTWARE_VERSION: TWO_LETTER_VERSIONS[protocol],
            SERIAL_NUMBER: "QX0012345" if protocol in (6, 7, 8) else "",
            CONFIG_OUTPUT_VA: 1500, CONFIG_OUTPUT_POWER: 1050}


TEXT_FIELDS = {MANUFACTURER, MODEL, UPS_SOFTWARE_VERSION, SERIAL_NUMBER}


def mismatches(record, expected):
    """[(offset, found, expected)] for the fields that differ; alarmFlags
    is compared as (mask, bits)."""
    found = []
    for offset, want in expected.items():
        if offset == ALARM_FLAGS:
            have = (want[0], field(record, "I", offset) & want[0])
        elif offset in TEXT_FIELDS:
            # The "Q1" identification pads its fields with blanks.
            have = text(record, offset, 64).rstrip(" ")
        else:
            have = field(record, "h", offset)
        if have != want:
            found.append((offset, have, want))
    return found


# The datagrams of the command test, in order, and the bytes each family's
# UPS must hear for them. None: nothing may be sent. The last self-test
# marks the end.
COMMANDS = [
    ("self-test", 369, 1),
    ("restore time 600 s", 387, 600),
    ("switch off after 300 s", 386, 300),
    ("cancel the switch-off", 386, -1),
    ("outlet 2 on", 66145, 0x00010001),
    ("outlet 2 off now", 66145, 0x00020001),
    ("low-battery warning 5", 407, 5),
    ("low-battery warning 3 (not allowed)", 407, 3),
    ("battery setting 120", 4132, 120),
    ("self-test again", 369, 1),
]

EXPECTED_BYTES = {
    1: [["\x03"], None,
        # Restore 10 minutes, on mains, 5 minutes 0 seconds.
        ["\x04\x00\x0a\xba\xbc\x05\x00"],
        # The restore time is forgotten; seconds 0xFF cancel.
        ["\x04\x76\x1d\xba\xbc\x00\xff"],
        None, None, None, None, None, ["\x03"]],
    2: [["T\r"], None, ["S05R0010\r"], ["C"], ["O02ON\r"], ["O02OFF\r"], None, None, None,
        ["T\r"]],
    5: [["Ts\r\n"], ["Cu0000600\r\n"], ["Ct1", "Ca0", "Cs0000300\r\n"],
        ["Ct1", "Ca0", "Cs-000001"], ["Oi11\r\n"], ["Oi01\r\n"], ["Fb05\r\n"], None,
        ["Bd00120\r\n"], ["Ts\r\n"]],
}


def send_command(command, argument):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sender:
        sender.sendto(struct.pack(">IiI", command, argument, 0), ("127.0.0.1", CONTROL_PORT))


class Link:
    """upssim of one protocol and upskeeper with COM1 pointed at it."""

    def __init__(self, protocol):
        self.protocol = protocol
        settings = dict(COMMON_SETTINGS)
        settings.update(Q1_SETTINGS if family(protocol) == 2 else
                        TWO_LETTER_SETTINGS if family(protocol) == 5 else {})
        self.folder = RunFolder(args.upskeeper, args.data)
        self.sim = None
        self.lap = None
        try:
            self.sim = UpsSim(args.upssim, protocol, self.folder.path, settings)
            self.sim.platform_ini(self.folder.path)
            if os.path.exists(RECORD_PATH):
                os.unlink(RECORD_PATH)  # left by a crashed run
            self.folder.start()
        except Exception:
            self.close()
            raise

    def record(self):
        record = read_record()
        check(record is not None, f"no record; service exit code {self.folder.process.poll()}")
        return record

    def wait_until_polling(self):
        """Waits until identity and readings are in the record and the
        cycle is back in its laps; measures the lap."""
        expected = identity(self.protocol)
        expected.update(measured(self.protocol, self.sim.status(),
                                 float(COMMON_SETTINGS["temperature"])))
        # Identification, then the settings, readings, identity and settings
        # groups once each: 100 s for the slowest protocol.
        settled = wait_for(lambda: not mismatches(read_record() or bytes(RECORD_SIZE), expected), 180,
                           interval=0.1)
        check(settled, f"record differs at (offset, found, expected) "
                       f"{mismatches(self.record(), expected)}")
        silence_actions()  # a low battery's shutdown would stop the polling
        since = time.monotonic()
        back = wait_for(lambda: any(t > since and c in group1(self.protocol)
                                    for t, c in self.sim.received()), 60, interval=0.1)
        check(back, "the poll cycle never came back to its lap")
        polls = [t for t, c in self.sim.received() if is_poll(self.protocol, c)][-12:]
        exchange = statistics.median(b - a for a, b in zip(polls, polls[1:]))
        self.lap = exchange * len(group1(self.protocol))

    def follows(self, action, expected):
        """Runs action on upssim; the record must then show expected(), a
        {offset: value}, within three laps. Returns the seconds it took."""
        began = time.monotonic()
        action()
        expected = expected()
        done = wait_for(lambda: not mismatches(self.record(), expected), 3 * self.lap + 5,
                        interval=0.05)
        took = time.monotonic() - began
        check(done, f"after {took:.1f} s the record differs at (offset, found, expected) "
                    f"{mismatches(self.record(), expected)}")
        check(took <= 3 * self.lap, f"took {took:.1f} s, more than three laps of {self.lap:.1f} s")
        return took

    def close(self):
        close_run(self.folder, self.sim)


def record_follows_the_ups(link):
    link.wait_until_polling()
    p = link.protocol

    def power_fail():
        link.sim.ctl("power", "fail")
        link.sim.ctl("battery", "low")

    link.follows(power_fail, lambda: {ALARM_FLAGS: (ON_BATTERY | BATTERY_LOW,
                                                    ON_BATTERY | BATTERY_LOW),
                                      OUTPUT_SOURCE: SOURCE_BATTERY})

    def power_restore():
        for name, value in CHANGED_SETTINGS.items():
            link.sim.ctl("set", name, value)
        link.sim.ctl("battery", "normal")
        link.sim.ctl("power", "restore")

    def restored():
        expected = measured(p, link.sim.status(), float(CHANGED_SETTINGS["temperature"]))
        expected.update({ALARM_FLAGS: (ON_BATTERY | BATTERY_LOW, 0),
                         OUTPUT_SOURCE: SOURCE_NORMAL})
        return expected

    took = link.follows(power_restore, restored)
    print(f"       protocol {p}: lap {link.lap:.1f} s, power restore seen after {took:.1f} s",
          flush=True)


def commands_reach_the_ups(link):
    check(link.lap is not None, "the service never polled")
    p = link.protocol
    began = time.monotonic()
    for _, command, argument in COMMANDS:
        send_command(command, argument)
    expected = EXPECTED_BYTES[family(p)]
    wanted = "".join("".join(parts) for parts in expected if parts)
    last = "".join(expected[-1])

    def heard():
        return "".join(c for t, c in link.sim.received() if t >= began and not is_poll(p, c))

    # Each command costs an exchange or three; a "Q1" outlet up to five.
    wait_for(lambda: len(heard()) >= len(wanted) and heard().endswith(last), 60, interval=0.1)
    got = heard()
    if got != wanted:
        # Name the first command whose bytes are not where they belong.
        position = 0
        for (name, _, _), parts in zip(COMMANDS, expected):
            bytes_ = "".join(parts or [])
            if got[position:position + len(bytes_)] != bytes_:
                check(False, f"{name}: expected {bytes_!r} at {position} of {got!r}")
            position += len(bytes_)
        check(False, f"UPS heard {got!r}, expected {wanted!r}")


def stop_command_ends_the_service_with_code_zero(link):
    send_command(STOP_COMMAND, 0)
    try:
        code = link.folder.process.wait(timeout=40)
    except subprocess.TimeoutExpired:
        code = None
    check(code == 0, f"exit code {code}")


def run_protocol(protocol, with_stop):
    """One protocol's tests; prints a line for each; (passed, failed)."""
    tests = [(f"Protocol{protocol}RecordFollowsUpsWithinThreeLaps", record_follows_the_ups),
             (f"Protocol{protocol}CommandsReachUpsAsProtocolBytes", commands_reach_the_ups)]
    if with_stop:
        tests.append(("StopCommandEndsTheServiceWithCodeZero",
                      stop_command_ends_the_service_with_code_zero))
    passed = failed = 0
    link = None
    try:
        link = Link(protocol)
        for name, test in tests:
            try:
                test(link)
                passed += 1
                print(f"[ OK ] {name}", flush=True)
            except Exception as error:  # a test's own failure or a crash of the harness
                failed += 1
                print(f"[FAIL] {name}: {error}", flush=True)
    except Exception as error:
        print(f"[FAIL] Protocol{protocol}: could not start: {error}", flush=True)
        failed = len(tests) - passed
    finally:
        if link:
            link.close()
    return passed, failed


def worker_command(protocol):
    command = [sys.executable, os.path.abspath(__file__), "--upskeeper", args.upskeeper,
               "--upssim", args.upssim, "--data", args.data, "--worker", str(protocol)]
    return ["unshare", "--net", "--mount"] + command + ["--isolated"]


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("--upskeeper", required=True)
    parser.add_argument("--upssim", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--protocols", default="1-9", help="e.g. 1-9 or 3,7")
    parser.add_argument("--worker", type=int, help=argparse.SUPPRESS)
    parser.add_argument("--isolated", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    args.upskeeper, args.upssim = os.path.abspath(args.upskeeper), os.path.abspath(args.upssim)
    args.data = os.path.abspath(args.data)

    # The service's stop command is checked once, on the quickest protocol.
    if args.worker:
        if args.isolated:
            isolate()
        return 1 if run_protocol(args.worker, args.worker == 1)[1] else 0

    first, _, last = args.protocols.partition("-")
    protocols = (list(range(int(first), int(last) + 1)) if last else
                 [int(p) for p in args.protocols.split(",")])
    began = time.monotonic()
    passed = failed = 0
    if namespaces_available():
        workers = [subprocess.Popen(worker_command(p), stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, text=True) for p in protocols]
        for protocol, worker in zip(protocols, workers):
            try:
                output, _ = worker.communicate(timeout=max(1, 280 - (time.monotonic() - began)))
            except subprocess.TimeoutExpired:
                worker.send_signal(signal.SIGTERM)
                output, _ = worker.communicate()
                output += f"[FAIL] Protocol{protocol}: still running at the time limit\n"
            if worker.returncode and "[FAIL]" not in output:
                output += f"[FAIL] Protocol{protocol}: worker exit code {worker.returncode}\n"
            sys.stdout.write(output)
            lines = output.splitlines()
            passed += sum(line.startswith("[ OK ]") for line in lines)
            failed += sum(line.startswith("[FAIL]") for line in lines)
    else:
        print("no namespaces here: the protocols run one after the other", flush=True)
        for protocol in protocols:
            ok, not_ok = run_protocol(protocol, protocol == 1)
            passed += ok
            failed += not_ok
    print(f"ran in {time.monotonic() - began:.0f} s")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
