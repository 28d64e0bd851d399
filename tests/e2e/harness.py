"""Shared helpers for the end-to-end tests: a private run folder with the
service and its data files, and the status record as bytes."""

import argparse
import ctypes
import fcntl
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

RECORD_PATH = "/dev/shm/OrvikMappingObject"
RECORD_SIZE = 77716

# Record fields several tests read, and alarm flags.
MANUFACTURER, MODEL, ALARM_FLAGS, COMPUTER_NAME = 0, 64, 484, 76416
ON_BATTERY, COMMUNICATION_LOST = 1 << 1, 1 << 19


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


POWER_LOG = "power-requests.log"


def harmless_power_lines(folder):
    """platform.ini lines pointing the service's power-off and stop commands
    at a recorder in folder, which logs each request ("power off requested")
    to POWER_LOG there. No service a test starts may run the machine's own:
    a lasting power failure, low battery or overload at upssim runs the
    shutdown sequence with the default event settings."""
    recorder = os.path.join(folder, "power-recorder")
    with open(recorder, "w") as f:
        f.write(f'#!/bin/sh\necho "$*" >> "${{0%/*}}/{POWER_LOG}"\n')
    os.chmod(recorder, 0o755)
    return (f'PowerOffCommand="{recorder}" power off requested\n'
            f'StopServiceCommand="{recorder}" stop requested\n')


def power_requests(folder):
    try:
        with open(os.path.join(folder, POWER_LOG)) as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def make_power_harmless(folder):
    """Adds the recorder's lines to folder's platform.ini unless it names both commands."""
    ini = os.path.join(folder, "platform.ini")
    current = open(ini).read() if os.path.exists(ini) else ""
    names = {line.split("=", 1)[0].strip().lower() for line in current.splitlines()}
    if not {"poweroffcommand", "stopservicecommand"} <= names:
        with open(ini, "w") as f:
            f.write(current + ("\n" if current and not current.endswith("\n") else "") +
                    harmless_power_lines(folder))


class RunFolder:
    """A temporary folder holding a copy of upskeeper and the data files, and
    a platform.ini whose power commands only record."""

    def __init__(self, upskeeper, data=None):
        self.path = tempfile.mkdtemp(prefix="orvik-e2e-")
        self.binary = os.path.join(self.path, "upskeeper")
        shutil.copy(upskeeper, self.binary)
        if data and os.path.isdir(data):
            for name in os.listdir(data):
                source = os.path.join(data, name)
                if os.path.isfile(source):
                    shutil.copy(source, self.path)
        make_power_harmless(self.path)
        self.process = None

    def start(self):
        # Again, in case the test has written a platform.ini of its own.
        make_power_harmless(self.path)
        self.process = subprocess.Popen([self.binary], cwd=self.path,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        return self.process

    def stop(self, timeout=10):
        """Sends SIGTERM; returns (exit code, seconds taken)."""
        began = time.monotonic()
        self.process.send_signal(signal.SIGTERM)
        code = self.process.wait(timeout=timeout)
        return code, time.monotonic() - began

    def cleanup(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.path, ignore_errors=True)


def close_run(folder, sim):
    """Stops a service still running in folder, removes the folder, and stops
    its simulated UPS (when there is one), whatever fails on the way."""
    try:
        if folder.process and folder.process.poll() is None:
            folder.stop(timeout=40)
    finally:
        folder.cleanup()
        if sim:
            sim.stop()


def wait_for(predicate, timeout, interval=0.01):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    return predicate()


def read_record():
    try:
        with open(RECORD_PATH, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


# Where events' settings lie: events 0..27, then 100..127, one entry each.
EVENT_ACTIONS, RECOVERY_ACTIONS, ENTRY_SIZE = 1880, 37944, 1288
ALL_EVENTS = list(range(28)) + list(range(100, 128))
# Within an entry: the enable fields of the broadcast, mail, page, execute and
# shutdown actions.
ACTION_ENABLES = (4, 368, 732, 1012, 1280)


def event_entry(event):
    """The offset of event's settings in the record."""
    return (EVENT_ACTIONS + event * ENTRY_SIZE if event < 100 else
            RECOVERY_ACTIONS + (event - 100) * ENTRY_SIZE)


def write_record(fmt, offset, value):
    """Writes one field of the live record: a struct format, or None for bytes."""
    with open(RECORD_PATH, "r+b") as record:
        record.seek(offset)
        record.write(struct.pack("<" + fmt, value) if fmt else value)


def silence_actions():
    """Turns every action of every event off, so that a test sees only the
    actions it enables: the default shutdown of a low battery, above all,
    stops polling for good."""
    for event in ALL_EVENTS:
        for offset in ACTION_ENABLES:
            write_record("i", event_entry(event) + offset, 0)


def on_battery():
    """Whether the live record has the UPS on battery."""
    return field(read_record(), "I", ALARM_FLAGS) & ON_BATTERY


def set_power(sim, state):
    """Fails ("fail") or restores ("restore") the mains at the simulated UPS
    and waits until the record says so."""
    sim.ctl("power", state)
    check(wait_for(lambda: bool(on_battery()) == (state == "fail"), 10), f"power {state} not seen")


def field(record, fmt, offset):
    return struct.unpack_from("<" + fmt, record, offset)[0]


def text(record, offset, size):
    return record[offset:offset + size].split(b"\0", 1)[0].decode("latin-1")


def run_tests(tests):
    """Runs (name, function) pairs; prints a closing count line; exit code."""
    failed = 0
    for name, test in tests:
        try:
            test()
            print(f"[ OK ] {name}", flush=True)
        except Exception as error:  # a test's own failure or a crash of the harness
            failed += 1
            print(f"[FAIL] {name}: {error}", flush=True)
    print(f"{len(tests) - failed} passed, {failed} failed")
    return 1 if failed else 0


def arguments(paths=(), optional=(), other=None):
    """The test's command line: the programs and folders named in paths
    (required) and optional, made absolute so that they hold wherever the
    test runs; other maps the test's other options to their defaults;
    --isolated marks the run inside namespaces (isolated_run)."""
    parser = argparse.ArgumentParser()
    for name in paths:
        parser.add_argument(name, required=True, type=os.path.abspath)
    for name in optional:
        parser.add_argument(name, type=os.path.abspath)
    for name, default in (other or {}).items():
        parser.add_argument(name, default=default)
    parser.add_argument("--isolated", action="store_true", help=argparse.SUPPRESS)
    return parser.parse_args()


def service_arguments(upssim=False, extra=()):
    """The command line every service test takes: --upskeeper, --data and,
    where upssim drives the service, --upssim; then the test's own program
    paths named in extra ("--winsweep", ...)."""
    if upssim:
        return arguments(["--upskeeper", "--upssim", "--data", *extra])
    return arguments(["--upskeeper", *extra], optional=["--data"])


IFF_UP = 0x1
SIOCGIFFLAGS = 0x8913
SIOCSIFFLAGS = 0x8914
MS_NOSUID, MS_NODEV = 0x2, 0x4


def isolate():
    """Inside fresh namespaces: a /dev/shm of our own and the loopback up."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.mount(b"tmpfs", b"/dev/shm", b"tmpfs", MS_NOSUID | MS_NODEV, None) != 0:
        raise OSError(ctypes.get_errno(), "mount of /dev/shm")
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        request = fcntl.ioctl(s, SIOCGIFFLAGS, struct.pack("16sH14x", b"lo", 0))
        flags = struct.unpack_from("H", request, 16)[0]
        fcntl.ioctl(s, SIOCSIFFLAGS, struct.pack("16sH14x", b"lo", flags | IFF_UP))


def isolated_run(args, unavailable=None):
    """Puts the test inside namespaces of its own. In the first run: re-runs
    this script there and returns its exit code. In that re-run (--isolated):
    makes /dev/shm and the loopback ready and returns None, for the caller to
    run its tests. Where no namespaces can be made, returns None as well (the
    tests share the machine's), or, given unavailable = (note, code), prints
    note and returns code (None: the tests run all the same)."""
    if args.isolated:
        isolate()
        return None
    code = rerun_isolated()
    if code is not None or unavailable is None:
        return code
    note, code = unavailable
    print(note, flush=True)
    return code


def namespaces_available():
    try:
        return subprocess.run(["unshare", "--net", "--mount", "true"],
                              capture_output=True, timeout=10).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


def rerun_isolated():
    """Runs this script again, with --isolated, inside network and mount
    namespaces of its own (a loopback for port 8828, a /dev/shm for the
    record), so that it can run beside other tests; returns its exit code,
    or None where namespaces cannot be made."""
    if not namespaces_available():
        return None
    command = [sys.executable, os.path.abspath(sys.argv[0])] + sys.argv[1:] + ["--isolated"]
    return subprocess.run(["unshare", "--net", "--mount"] + command).returncode


def run_kestrel(kestrel, folder, query, body=None):
    """One request to the kestrel program as a web server runs it: started
    in folder (the service's cgi-bin, so "../" is the service's folder), a
    GET of query, or a POST of body when one is given; the response as text."""
    env = {"REQUEST_METHOD": "GET" if body is None else "POST", "QUERY_STRING": query}
    if body is not None:
        env["CONTENT_LENGTH"] = str(len(body.encode()))
    run = subprocess.run([kestrel], cwd=folder, env=env, capture_output=True, timeout=10,
                         input=None if body is None else body.encode())
    check(run.returncode == 0, f"kestrel ended with {run.returncode}")
    return run.stdout.decode("latin-1")
