"""orvik against upskeeper driven by upssim: status and its JSON follow the
record and show a power failure; events --follow prints a logged line within
a second and goes on after the log is cut; test makes the UPS hear the
self-test command; metrics pass promtool. Records that are foreign, random
or held by nobody give one line and a non-zero status. In network and mount
namespaces of its own (a loopback for port 8828, a /dev/shm for the record)."""

import fcntl
import json
import os
import random
import shutil
import struct
import subprocess
import sys
import threading
import time

from harness import (ALARM_FLAGS, MODEL, RECORD_PATH, RECORD_SIZE, RunFolder, arguments, check,
                     close_run, field, isolated_run, read_record, run_tests, set_power, text,
                     wait_for)
from upssim_run import UpsSim

args = None
run = None

CHARGE, BATTERY_VOLTAGE = 390, 392
INPUT_FREQUENCY, INPUT_VOLTAGE = 402, 408
OUTPUT_FREQUENCY, OUTPUT_VOLTAGE, OUTPUT_LOAD = 428, 432, 450
EVT_FILE_LEN = 75052
PROTOCOL, SELF_TEST = 3, "T\r"  # a "Q1" protocol; its self-test command
EXIT_ERROR, EXIT_NOT_RUNNING = 1, 2


def orvik(*words):
    done = subprocess.run([run.orvik, *words], capture_output=True, text=True, timeout=30)
    return done.returncode, done.stdout, done.stderr


def check_one_line_error(result, status, words):
    code, _, err = result
    check(code == status and err.count("\n") == 1 and err.startswith("orvik: ") and words in err,
          f"exit status {code} and {err!r}, expected {status} and one line with {words!r}")


class Run:
    """upssim, and upskeeper with orvik beside it, where orvik finds the logs."""

    def __init__(self):
        self.folder = RunFolder(args.upskeeper, args.data)
        self.orvik = os.path.join(self.folder.path, "orvik")
        shutil.copy(args.orvik, self.orvik)
        self.log = os.path.join(self.folder.path, "kestrel.log")
        self.sim = UpsSim(args.upssim, PROTOCOL, self.folder.path,
                          {"battery-charge": "80", "discharge": "0", "charge-rate": "0"})
        self.sim.platform_ini(self.folder.path)

    def start(self):
        os.environ["LC_ALL"] = "C"  # the English messages
        self.folder.start()
        check(wait_for(lambda: (r := read_record()) and text(r, MODEL, 64) != "" and
                       field(r, "h", INPUT_VOLTAGE) > 0, 120, interval=0.1),
              "the service never identified the UPS")


def foreign_random_and_unheld_records_are_refused():
    check_one_line_error(orvik("status"), EXIT_NOT_RUNNING, "service not running")
    code, out, _ = orvik("status", "--json")
    check(code == EXIT_NOT_RUNNING and json.loads(out) == {"service_running": False}, out)
    seed = random.randrange(1 << 30)
    noise = random.Random(seed).randbytes(RECORD_SIZE)
    for content, held, status, words in [  # held: an owner holds its lock
            (bytes(1000), True, EXIT_ERROR, "is 1000 bytes"),
            (noise, True, EXIT_ERROR, "damaged or not this system's"),
            (noise, False, EXIT_NOT_RUNNING, "service not running")]:
        with open(RECORD_PATH, "wb") as f:
            f.write(content)
        with open(RECORD_PATH, "rb") as owner:
            if held:
                fcntl.flock(owner, fcntl.LOCK_EX)
            for command in ("status", "metrics", "test"):
                try:
                    check_one_line_error(orvik(command), status, words)
                except Exception as error:
                    raise AssertionError(f"{command}, {len(content)} bytes, held {held}, "
                                         f"seed {seed}: {error}")
        os.unlink(RECORD_PATH)


def json_values_equal_the_record():
    for _ in range(5):  # until the record holds still around one run
        before = read_record()
        code, out, err = orvik("status", "--json")
        r = read_record()
        if before[:512] == r[:512]:
            break
    check(code == 0, f"status --json exit {code}: {err}")
    status = json.loads(out)
    for path, value in {
            "ups.model": text(r, MODEL, 64).strip(),
            "input.voltage": field(r, "h", INPUT_VOLTAGE),
            "input.frequency": field(r, "h", INPUT_FREQUENCY) / 10,
            "output.voltage": field(r, "h", OUTPUT_VOLTAGE),
            "output.frequency": field(r, "h", OUTPUT_FREQUENCY) / 10,
            "output.load_percent": field(r, "h", OUTPUT_LOAD),
            "battery.voltage": field(r, "h", BATTERY_VOLTAGE) / 10,
            "battery.charge_percent": field(r, "h", CHARGE),
            "alarm_flags": field(r, "I", ALARM_FLAGS),
            "link": "up",
            "protocol": PROTOCOL}.items():
        got = status
        for key in path.split("."):
            got = got[key]
        check(got == value, f"{path} is {got!r}, the record says {value!r}")


def status_shows_the_ups_and_then_the_power_failure():
    code, out, err = orvik("status")
    r = read_record()
    check(code == 0 and text(r, MODEL, 64).strip() in out and "Alarms       none" in out and
          f"Input        {field(r, 'h', INPUT_VOLTAGE)} V" in out, f"exit {code}:\n{out}{err}")
    set_power(run.sim, "fail")
    try:
        code, out, err = orvik("status")
        check(code == 0 and "Alarms       on battery" in out, f"after the failure:\n{out}{err}")
        check("on_battery" in json.loads(orvik("status", "--json")[1])["alarms"], "JSON alarms")
    finally:
        set_power(run.sim, "restore")


def log_lines():
    with open(run.log, "rb") as f:
        return f.read().decode("latin-1").splitlines()


def follow_prints_a_logged_line_within_a_second_and_survives_a_cut():
    follower = subprocess.Popen([run.orvik, "events", "--follow", "-n", "0"],
                                stdout=subprocess.PIPE, text=True)
    shown = []  # (moment, line)
    reader = threading.Thread(target=lambda: shown.extend(
        (time.monotonic(), line.rstrip("\n")) for line in follower.stdout), daemon=True)
    reader.start()
    try:
        logged = len(log_lines())
        check(wait_for(lambda: len(shown) == logged, 2), f"{len(shown)} shown of {logged}")
        run.sim.ctl("power", "fail")
        check(wait_for(lambda: any(line.startswith("001 ") for line in log_lines()[logged:]), 10,
                       interval=0.005), "no 001 line was logged")
        logged_at = time.monotonic()
        check(wait_for(lambda: len(shown) > logged, 3, interval=0.005), "the 001 line not shown")
        delay = shown[logged][0] - logged_at
        print(f"the 001 line was shown {delay * 1000:.0f} ms after it was logged", flush=True)
        check(delay <= 1.0, f"shown {delay:.2f} s after it was logged")

        # The next line cuts the log to its newest line; the follower goes on
        # after the line it showed last, each line once.
        with open(RECORD_PATH, "r+b") as record:
            record.seek(EVT_FILE_LEN)
            record.write(struct.pack("<i", 150))
        set_power(run.sim, "restore")
        check(wait_for(lambda: len(log_lines()) == 1, 5), f"not cut: {log_lines()}")
        set_power(run.sim, "fail")
        check(wait_for(lambda: len(shown) == logged + 3, 5), f"shown {shown[logged:]}")
        time.sleep(0.5)
        new = [line[21:] for _, line in shown[logged:]]
        check(new == ["001  Power failure", "101  Power restore", "001  Power failure"],
              f"shown after the cut: {new}")
    finally:
        set_power(run.sim, "restore")
        follower.terminate()
        follower.wait(timeout=10)


def test_command_reaches_the_ups():
    sent = time.monotonic()
    code, out, err = orvik("test")
    check(code == 0 and "Self-test started" in out, f"test exit {code}: {out}{err}")
    check(wait_for(lambda: [c for t, c in run.sim.received() if t >= sent and c == SELF_TEST], 5),
          "upssim never heard the self-test command")


def metrics_pass_promtool_and_hold_the_record_values():
    code, out, err = orvik("metrics")
    check(code == 0, f"metrics exit {code}: {err}")
    checked = subprocess.run([args.promtool, "check", "metrics"], input=out, text=True,
                             capture_output=True, timeout=30)
    check(checked.returncode == 0, f"promtool: {checked.stdout}{checked.stderr}\n{out}")
    samples = dict(line.rsplit(" ", 1) for line in out.splitlines() if not line.startswith("#"))
    check(float(samples["orvik_input_voltage_volts"]) == field(read_record(), "h", INPUT_VOLTAGE)
          and samples["orvik_link_up"] == "1" and
          samples['orvik_alarm{condition="on_battery"}'] == "0", out)


def main():
    global args, run
    args = arguments(["--upskeeper", "--upssim", "--orvik", "--data"],
                     other={"--promtool": shutil.which("promtool") or "promtool"})
    code = isolated_run(args, ("no namespaces here: port 8828 and the record would be shared", 1))
    if code is not None:
        return code
    run = Run()
    try:
        code = run_tests([("ForeignRandomAndUnheldRecordsAreRefused",
                           foreign_random_and_unheld_records_are_refused)])
        run.start()
        return code | run_tests([
            ("JsonValuesEqualTheRecord", json_values_equal_the_record),
            ("StatusShowsTheUpsAndThenThePowerFailure",
             status_shows_the_ups_and_then_the_power_failure),
            ("FollowPrintsALoggedLineWithinASecondAndSurvivesACut",
             follow_prints_a_logged_line_within_a_second_and_survives_a_cut),
            ("TestCommandReachesTheUps", test_command_reaches_the_ups),
            ("MetricsPassPromtoolAndHoldTheRecordValues",
             metrics_pass_promtool_and_hold_the_record_values),
        ])
    finally:
        close_run(run.folder, run.sim)


if __name__ == "__main__":
    sys.exit(main())
