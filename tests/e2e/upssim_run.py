"""A running upssim for the end-to-end tests and benchmarks: its pseudo-terminal
behind a link path, its control socket, and the commands its log says it
received, with their CLOCK_MONOTONIC times."""

import os
import re
import subprocess

from harness import harmless_power_lines

RX_LINE = re.compile(r'^(\d+\.\d+) \S+ rx "((?:[^"\\]|\\.)*)"')
LOG_LINE = re.compile(r"^(\d+\.\d+) \S+ (\S+) (.*)$")
# The protocol argument for upssim's plain "Q1" UPS (--plain-q1).
PLAIN_Q1 = "plain-q1"
ESCAPES = {"r": "\r", "n": "\n", "t": "\t", "\\": "\\", '"': '"'}


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            if text[i + 1] == "x":
                out.append(chr(int(text[i + 2:i + 4], 16)))
                i += 4
                continue
            out.append(ESCAPES.get(text[i + 1], text[i + 1]))
            i += 2
            continue
        out.append(text[i])
        i += 1
    return "".join(out)


class UpsSim:
    """upssim answering as one protocol; files live in folder."""

    def __init__(self, upssim, protocol, folder, settings=None):
        """protocol: 1 to 9, or PLAIN_Q1. settings: start-up values,
        {name: value} as for "set NAME VALUE"."""
        self.start(upssim, folder, "ups",
                   ["--plain-q1"] if protocol == PLAIN_Q1 else ["--protocol", str(protocol)],
                   settings)

    def start(self, program, folder, device, options, settings):
        """Starts a simulator with the command line every one takes: the
        link device.tty and the control socket device.sock in folder, its log
        beside them, options of its own, then settings as --set."""
        self.upssim = program
        self.link = os.path.join(folder, device + ".tty")
        self.socket = os.path.join(folder, device + ".sock")
        self.log_path = os.path.join(folder, os.path.basename(program) + ".log")
        self.process = subprocess.Popen(
            [program, *options, "--link", self.link, "--ctl", self.socket, "--log",
             self.log_path, "--quiet"] +
            [word for name, value in (settings or {}).items()
             for word in ("--set", f"{name}={value}")],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        # The device line comes once the link and the socket are in place.
        self.device = self.process.stdout.readline().strip()
        if not self.device:
            raise RuntimeError(f"{program} did not start: " + self.process.stderr.read())

    def platform_ini(self, folder):
        """Points COM1 of a service in folder at this simulator."""
        # Messenger notices go to the terminals of an empty list of logins,
        # never to the sessions of the machine the tests run on.
        logins = os.path.join(folder, "no-logins")
        open(logins, "wb").close()
        # The power-off and stop commands only record: the simulated UPS may
        # well run the shutdown sequence.
        with open(os.path.join(folder, "platform.ini"), "w") as f:
            f.write(f"COM1={self.link}\nLoginRecords={logins}\n" + harmless_power_lines(folder))

    def ctl(self, *words):
        subprocess.run([self.upssim, "ctl", "--socket", self.socket, *words], check=True,
                       capture_output=True, timeout=10)

    def status(self):
        """The simulator's state now, {name: value text}."""
        answer = subprocess.run([self.upssim, "ctl", "--socket", self.socket, "status"],
                                check=True, capture_output=True, text=True, timeout=10).stdout
        return dict(word.split("=", 1) for word in answer.split()[1:] if "=" in word)

    def log_lines(self):
        try:
            with open(self.log_path, encoding="latin-1") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def received(self):
        """[(monotonic seconds, command bytes as text)] in order of arrival."""
        matches = (RX_LINE.match(line) for line in self.log_lines())
        return [(float(m.group(1)), unescape(m.group(2))) for m in matches if m]

    def logged(self, kind):
        """[(monotonic seconds, text)] of the log lines of one kind ("state",
        "ctl", ...) in order."""
        matches = (LOG_LINE.match(line) for line in self.log_lines())
        return [(float(m.group(1)), m.group(3)) for m in matches if m and m.group(2) == kind]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
