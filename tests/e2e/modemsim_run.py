"""A running modemsim for the end-to-end tests: its pseudo-terminal behind a
link path, its control socket, and the lines its log says it received, with
their CLOCK_MONOTONIC times."""

import os
import re
import subprocess

from upssim_run import unescape

RX_LINE = re.compile(r'^(\d+\.\d+) \S+ rx "((?:[^"\\]|\\.)*)" (\S+)')


class ModemSim:
    """modemsim with its files in folder; settings as for "NAME VALUE"."""

    def __init__(self, modemsim, folder, settings=None):
        self.modemsim = modemsim
        self.link = os.path.join(folder, "modem.tty")
        self.socket = os.path.join(folder, "modem.sock")
        self.log_path = os.path.join(folder, "modemsim.log")
        self.process = subprocess.Popen(
            [modemsim, "--link", self.link, "--ctl", self.socket, "--log", self.log_path,
             "--quiet"] +
            [word for name, value in (settings or {}).items()
             for word in ("--set", f"{name}={value}")],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.device = self.process.stdout.readline().strip()
        if not self.device:
            raise RuntimeError("modemsim did not start: " + self.process.stderr.read())

    def ctl(self, *words):
        subprocess.run([self.modemsim, "ctl", "--socket", self.socket, *words], check=True,
                       capture_output=True, timeout=10)

    def received(self):
        """[(monotonic seconds, line as text, what the modem made of it)]."""
        try:
            with open(self.log_path, encoding="latin-1") as f:
                lines = f.read().splitlines()
        except FileNotFoundError:
            return []
        matches = (RX_LINE.match(line) for line in lines)
        return [(float(m.group(1)), unescape(m.group(2)), m.group(3)) for m in matches if m]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
