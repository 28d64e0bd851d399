"""Shared helpers for the end-to-end tests: a private run folder with the
service and its data files, and the status record as bytes."""

import argparse
import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time

RECORD_PATH = "/dev/shm/OrvikMappingObject"
RECORD_SIZE = 77716


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class RunFolder:
    """A temporary folder holding a copy of upskeeper and the data files."""

    def __init__(self, upskeeper, data=None):
        self.path = tempfile.mkdtemp(prefix="orvik-e2e-")
        self.binary = os.path.join(self.path, "upskeeper")
        shutil.copy(upskeeper, self.binary)
        if data and os.path.isdir(data):
            for name in os.listdir(data):
                source = os.path.join(data, name)
                if os.path.isfile(source):
                    shutil.copy(source, self.path)
        self.process = None

    def start(self):
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


def service_arguments(upssim=False):
    """The command line every service test takes: --upskeeper, --data and,
    where upssim drives the service, --upssim."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--upskeeper", required=True)
    parser.add_argument("--data", required=upssim)
    if upssim:
        parser.add_argument("--upssim", required=True)
    return parser.parse_args()
