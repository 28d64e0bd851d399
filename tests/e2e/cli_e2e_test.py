"""orvik, the command-line tool, against upskeeper driven by upssim: status
and its JSON follow the record and show a power failure; events --follow
prints a logged line within a second and goes on after the log is cut;
data shows the data log; test makes the UPS hear the self-test command;
metrics pass Prometheus's own checker. Records that are absent, foreign,
random or left by a killed service give one line and a non-zero status.

Runs in network and mount namespaces of its own (a loopback for port 8828,
a /dev/shm for the record)."""

import argparse
import fcntl
import json
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import threading
import time

from harness import (RECORD_PATH, RECORD_SIZE, RunFolder, check, close_run, field, isolate,
                     read_record, rerun_isolated, run_tests, text, wait_for)
from upssim_run import UpsSim

args = None
run = None

# Record offsets.
MANUFACTURER, MODEL = 0, 64
CHARGE = 390
BATTERY_VOLTAGE = 392
INPUT_FREQUENCY, INPUT_VOLTAGE = 402, 408
OUTPUT_FREQUENCY, OUTPUT_VOLTAGE, OUTPUT_LOAD = 428, 432, 450
ALARM_FLAGS = 484
TEST_START_TICKS = 1024
OUTLET_COUNT = 74080
EVT_FILE_LEN = 75052
DATA_INTERVAL = 75060
DATA_LOG_COUNTDOWN = 77712
ON_BATTERY = 1 << 1
# Protocol 3, a "Q1" text protocol that reports outlets; its self-test
# command is "T" and a carriage return.
PROTOCOL = 3
SELF_TEST = "T\r"
EXIT_ERROR, EXIT_NOT_RUNNING = 1, 2


def orvik(*words, timeout=30):
    """(exit status, standard output, standard error) of one run."""
    done = subprocess.run([run.orvik, *words], capture_output=True, text=True, timeout=timeout)
    return done.returncode, done.stdout, done.stderr


def write_record(fmt, offset, value):
    with open(RECORD_PATH, "r+b") as record:
        record.seek(offset)
        record.write(struct.pack("<" + fmt, value))


def check_one_line_error(result, status, words):
    code, out, err = result
    check(code == status, f"exit status {code}, expected {status}; stderr {err!r}")
    check(err.count("\n") == 1 and err.startswith("orvik: ") and words in err,
          f"expected one line with {words!r}, got {err!r}")


class Run:
    """upssim and upskeeper in a folder of their own, orvik copied beside
    the service so that it finds the logs there."""

    def __init__(self):
        self.folder = RunFolder(args.upskeeper, args.data)
        self.orvik = os.path.join(self.folder.path, "orvik")
        shutil.copy(args.orvik, self.orvik)
        self.sim = UpsSim(args.upssim, PROTOCOL, self.folder.path,
                          {"battery-charge": "80", "discharge": "0", "charge-rate": "0",
                           "load": "30"})
        self.sim.platform_ini(self.folder.path)
        self.log = os.path.join(self.folder.path, "kestrel.log")

    def start(self):
        os.environ["LC_ALL"] = "C"  # the English messages
        self.folder.start()
        identified = wait_for(lambda: (r := read_record()) and text(r, MODEL, 64) != "" and
                              field(r, "h", INPUT_VOLTAGE) > 0, 120, interval=0.1)
        check(identified, "the service never identified the UPS")

    def on_battery(self):
        return field(read_record(), "I", ALARM_FLAGS) & ON_BATTERY

    def close(self):
        close_run(self.folder, self.sim)


# Before the service runs.

def absent_foreign_random_and_unowned_records_are_refused():
    check_one_line_error(orvik("status"), EXIT_NOT_RUNNING, "service not running")
    code, out, _ = orvik("status", "--json")
    check(code == EXIT_NOT_RUNNING and json.loads(out) == {"service_running": False},
          f"status --json without a service gave {code} {out!r}")

    seed = random.randrange(1 << 30)
    noise = random.Random(seed).randbytes(RECORD_SIZE)
    cases = [  # (bytes, held by an owner, exit status, words of the error)
        (b"\0" * 1000, True, EXIT_ERROR, "is 1000 bytes"),
        (noise, True, EXIT_ERROR, "damaged or not this system's"),
        (noise, False, EXIT_NOT_RUNNING, "service not running"),
    ]
    for content, owned, status, words in cases:
        with open(RECORD_PATH, "wb") as f:
            f.write(content)
        with open(RECORD_PATH, "rb") as owner:
            if owned:
                fcntl.flock(owner, fcntl.LOCK_EX)
            for command in ("status", "metrics", "test"):
                try:
                    check_one_line_error(orvik(command), status, words)
                except Exception as error:
                    raise AssertionError(f"{command}, {len(content)} bytes, owned {owned}, "
                                         f"seed {seed}: {error}")
        os.unlink(RECORD_PATH)


def absent_and_damaged_logs_are_refused():
    check_one_line_error(orvik("events", "--dir", "/nonexistent"), EXIT_ERROR,
                         "/nonexistent/kestrel.log: No such file")
    check_one_line_error(orvik("data", "--dir", "/nonexistent"), EXIT_ERROR,
                         "/nonexistent/kestrel.dat: No such file")
    check_one_line_error(orvik("events", "-n"), EXIT_ERROR, "-n needs a number")
    check_one_line_error(orvik("outlet", "1", "sideways"), EXIT_ERROR, "on or off")
    noise_folder = os.path.join(run.folder.path, "noise")
    os.mkdir(noise_folder)
    for name in ("kestrel.log", "kestrel.dat"):
        with open(os.path.join(noise_folder, name), "wb") as f:
            f.write(random.randbytes(5000))
    check_one_line_error(orvik("events", "--dir", noise_folder), EXIT_ERROR, "no event lines")
    check_one_line_error(orvik("data", "--dir", noise_folder), EXIT_ERROR, "no data lines")


# With the service running.

def json_values_equal_the_record():
    for _ in range(5):  # until the record holds still around one run
        before = read_record()
        code, out, err = orvik("status", "--json")
        after = read_record()
        if before[:512] == after[:512]:
            break
    check(code == 0, f"status --json exit {code}: {err}")
    status = json.loads(out)
    r = after
    expected = {
        ("ups", "manufacturer"): text(r, MANUFACTURER, 64),
        ("ups", "model"): text(r, MODEL, 64),
        ("input", "voltage"): field(r, "h", INPUT_VOLTAGE),
        ("input", "frequency"): field(r, "h", INPUT_FREQUENCY) / 10,
        ("output", "voltage"): field(r, "h", OUTPUT_VOLTAGE),
        ("output", "frequency"): field(r, "h", OUTPUT_FREQUENCY) / 10,
        ("output", "load_percent"): field(r, "h", OUTPUT_LOAD),
        ("battery", "voltage"): field(r, "h", BATTERY_VOLTAGE) / 10,
        ("battery", "charge_percent"): field(r, "h", CHARGE),
        ("alarm_flags",): field(r, "I", ALARM_FLAGS),
        ("link",): "up",
        ("service_running",): True,
    }
    for path, value in expected.items():
        got = status
        for key in path:
            got = got[key]
        check(got == value if not isinstance(value, float) else abs(got - value) < 1e-9,
              f"{'.'.join(path)} is {got!r}, the record says {value!r}")


def status_shows_the_ups_and_then_the_power_failure():
    code, out, err = orvik("status")
    check(code == 0, f"status exit {code}: {err}")
    r = read_record()
    check(all(len(line) <= 80 for line in out.splitlines()), f"lines over 80 columns:\n{out}")
    check(text(r, MODEL, 64) in out, f"model missing:\n{out}")
    check(f"{field(r, 'h', INPUT_VOLTAGE)} V" in out, f"input voltage missing:\n{out}")
    check("Alarms       none" in out, f"alarms before the failure:\n{out}")
    run.sim.ctl("power", "fail")
    try:
        check(wait_for(run.on_battery, 10), "the service never saw the power failure")
        code, out, err = orvik("status")
        check(code == 0 and "Alarms       on battery" in out, f"after the failure:\n{out}{err}")
        code, out, _ = orvik("status", "--json")
        check("on_battery" in json.loads(out)["alarms"], f"JSON alarms after the failure: {out}")
    finally:
        run.sim.ctl("power", "restore")
        check(wait_for(lambda: not run.on_battery(), 10), "power restore not seen")


class Follower:
    """orvik events --follow, its lines with the moments they came."""

    def __init__(self):
        self.process = subprocess.Popen([run.orvik, "events", "--follow", "-n", "0"],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.lines = []
        self.thread = threading.Thread(target=self.read, daemon=True)
        self.thread.start()

    def read(self):
        for line in self.process.stdout:
            self.lines.append((time.monotonic(), line.rstrip("\n")))

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        self.thread.join(timeout=10)


def log_lines():
    try:
        with open(run.log, "rb") as f:
            return f.read().decode("latin-1").splitlines()
    except FileNotFoundError:
        return []


def follow_prints_a_logged_line_within_a_second_and_survives_a_cut():
    follower = Follower()
    try:
        time.sleep(0.5)
        shown_before = len(follower.lines)
        check(shown_before == len(log_lines()), f"{shown_before} lines shown for "
                                                f"{len(log_lines())} logged")
        logged_before = len(log_lines())
        run.sim.ctl("power", "fail")
        # The moment the 001 line is in the log, looked for every 5 ms.
        found = wait_for(lambda: any(l.startswith("001 ") for l in log_lines()[logged_before:]),
                         10, interval=0.005)
        logged_at = time.monotonic()
        check(found, "no 001 line was logged")
        shown = wait_for(lambda: [t for t, l in follower.lines[shown_before:] if " 001  " in l],
                         3, interval=0.005)
        check(shown, f"the 001 line was not shown: {follower.lines[shown_before:]}")
        check(shown[0] - logged_at <= 1.0, f"shown {shown[0] - logged_at:.2f} s after it was logged")
        print(f"the 001 line was shown {(shown[0] - logged_at) * 1000:.0f} ms after it was logged",
              flush=True)
        line = [l for _, l in follower.lines if " 001  " in l][-1]
        check(line.endswith("  001  Power failure"), f"shown as {line!r}")

        # The next line cuts the log to its newest part; the follower goes on
        # after the line it showed last, once each.
        write_record("i", EVT_FILE_LEN, 150)
        size_before = os.path.getsize(run.log)
        run.sim.ctl("power", "restore")
        check(wait_for(lambda: any(" 101  " in l for _, l in follower.lines[shown_before:]), 10),
              f"101 not shown after the cut: {follower.lines[shown_before:]}")
        check(wait_for(lambda: os.path.getsize(run.log) < size_before, 2),
              f"the log was not cut: {size_before} bytes before, now {log_lines()}, limit "
              f"{field(read_record(), 'i', EVT_FILE_LEN)}")
        run.sim.ctl("power", "fail")
        check(wait_for(lambda: sum(" 001  " in l for _, l in follower.lines[shown_before:]) == 2,
                       10),
              f"the second 001 not shown: {follower.lines[shown_before:]}")
        time.sleep(0.5)
        new = [l for _, l in follower.lines[shown_before:]]
        check([l[21:] for l in new] == ["001  Power failure", "101  Power restore",
                                        "001  Power failure"], f"shown after the cut: {new}")
    finally:
        write_record("i", EVT_FILE_LEN, 32000)
        run.sim.ctl("power", "restore")
        follower.stop()
        wait_for(lambda: not run.on_battery(), 10)


def data_shows_the_data_log_as_a_table():
    write_record("h", DATA_INTERVAL, 1)
    write_record("h", DATA_LOG_COUNTDOWN, 1)
    data_log = os.path.join(run.folder.path, "kestrel.dat")
    check(wait_for(lambda: os.path.exists(data_log) and
                   len(open(data_log, "rb").read().splitlines()) >= 3, 10),
          "fewer than three data lines were logged")
    code, out, err = orvik("data", "-n", "2")
    check(code == 0, f"data exit {code}: {err}")
    lines = out.splitlines()
    check(len(lines) == 3 and lines[0].split() == ["Date", "Time", "Vin", "Vout", "Vbat", "Fin",
                                                   "Fout", "Load", "Temp", "Alarms"],
          f"data -n 2 shows:\n{out}")
    r = read_record()
    cells = lines[-1].split()
    check(cells[2] == str(field(r, "h", INPUT_VOLTAGE)) and
          cells[5] == f"{field(r, 'h', INPUT_FREQUENCY) / 10:.1f}" and
          cells[6] == f"{field(r, 'h', OUTPUT_FREQUENCY) / 10:.1f}",
          f"row {cells} against the record's input {field(r, 'h', INPUT_VOLTAGE)} V")


def test_command_reaches_the_ups():
    sent = time.monotonic()
    code, out, err = orvik("test")
    check(code == 0 and "Self-test started" in out, f"test exit {code}: {out}{err}")
    heard = wait_for(lambda: [t for t, c in run.sim.received() if t >= sent and c == SELF_TEST],
                     5)
    check(heard, "upssim never heard the self-test command")


def metrics_pass_promtool_and_hold_the_record_values():
    code, out, err = orvik("metrics")
    check(code == 0, f"metrics exit {code}: {err}")
    checked = subprocess.run([args.promtool, "check", "metrics"], input=out, text=True,
                             capture_output=True, timeout=30)
    check(checked.returncode == 0, f"promtool: {checked.stdout}{checked.stderr}\n{out}")
    samples = dict(line.rsplit(" ", 1) for line in out.splitlines() if not line.startswith("#"))
    r = read_record()
    check(float(samples["orvik_input_voltage_volts"]) == field(r, "h", INPUT_VOLTAGE),
          f"input voltage {samples['orvik_input_voltage_volts']}")
    check(samples['orvik_alarm{condition="on_battery"}'] == "0", "on_battery alarm set")
    check(samples["orvik_service_up"] == "1" and samples["orvik_link_up"] == "1",
          "service or link not up")


def outlet_switches_on_when_the_ups_has_outlets():
    count = field(read_record(), "h", OUTLET_COUNT)
    if count < 1:
        code, _, err = orvik("outlet", "1", "on")
        check(code == EXIT_ERROR and "0 switchable outlets" in err, f"outlet on {code}: {err}")
        return
    sent = time.monotonic()
    code, out, err = orvik("outlet", "1", "on")
    check(code == 0, f"outlet 1 on exit {code}: {err}")
    heard = wait_for(lambda: [t for t, c in run.sim.received() if t >= sent and
                              c == "O01ON\r"], 5)
    check(heard, f"upssim never heard outlet 1 on: {out}")
    check_one_line_error(orvik("outlet", str(count + 1), "on"), EXIT_ERROR,
                         f"{count} switchable outlet")


def a_killed_service_is_not_running():
    run.folder.process.send_signal(signal.SIGKILL)
    run.folder.process.wait(timeout=10)
    check(read_record() is not None, "the record went with the service")
    check(field(read_record(), "I", ALARM_FLAGS) & (1 << 24), "bit 24 cleared by a killed service")
    for command in ("status", "metrics", "test", "shutdown-cancel"):
        check_one_line_error(orvik(command), EXIT_NOT_RUNNING, "service not running")
    check("orvik_service_up 0" in orvik("metrics")[1], "metrics of a dead service")


def main():
    global args, run
    parser = argparse.ArgumentParser()
    for name in ("--upskeeper", "--upssim", "--orvik", "--data"):
        parser.add_argument(name, required=True)
    parser.add_argument("--promtool", default=shutil.which("promtool") or "promtool")
    parser.add_argument("--isolated", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    for name in ("upskeeper", "upssim", "orvik", "data"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    if args.isolated:
        isolate()
    else:
        code = rerun_isolated()
        if code is not None:
            return code
        print("no namespaces here: refusing to share port 8828 and the record", flush=True)
        return 1
    if os.path.exists(RECORD_PATH):
        os.unlink(RECORD_PATH)
    run = Run()
    try:
        code = run_tests([
            ("AbsentForeignRandomAndUnownedRecordsAreRefused",
             absent_foreign_random_and_unowned_records_are_refused),
            ("AbsentAndDamagedLogsAreRefused", absent_and_damaged_logs_are_refused),
        ])
        run.start()
        code |= run_tests([
            ("JsonValuesEqualTheRecord", json_values_equal_the_record),
            ("StatusShowsTheUpsAndThenThePowerFailure",
             status_shows_the_ups_and_then_the_power_failure),
            ("FollowPrintsALoggedLineWithinASecondAndSurvivesACut",
             follow_prints_a_logged_line_within_a_second_and_survives_a_cut),
            ("DataShowsTheDataLogAsATable", data_shows_the_data_log_as_a_table),
            ("TestCommandReachesTheUps", test_command_reaches_the_ups),
            ("MetricsPassPromtoolAndHoldTheRecordValues",
             metrics_pass_promtool_and_hold_the_record_values),
            ("OutletSwitchesOnWhenTheUpsHasOutlets", outlet_switches_on_when_the_ups_has_outlets),
            ("AKilledServiceIsNotRunning", a_killed_service_is_not_running),
        ])
        return code
    finally:
        run.close()


if __name__ == "__main__":
    sys.exit(main())
