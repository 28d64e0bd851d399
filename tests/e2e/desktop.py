"""A virtual X desktop for end-to-end tests: an Xvfb on a free display
number, openbox on it when asked, and the processes started there, all
stopped by their PIDs in close(). Tests that start winsweep use it; run them
in namespaces of their own (harness.rerun_isolated)."""

import os
import select
import shutil
import subprocess
import tempfile

from harness import check, wait_for


class Desktop:
    """An Xvfb on a free display, with openbox when wm is set, and the
    processes started on it."""

    def __init__(self, wm=True):
        self.processes = []
        self.folder = tempfile.mkdtemp(prefix="orvik-desktop-")
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0",
             "1024x768x24"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        try:
            # The number and its line end come in two writes, then the server
            # closes the pipe; closing it earlier would make the server fail.
            number = b""
            while select.select([read_end], [], [], 15)[0]:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
            number = number.decode().strip()
            check(number.isdigit(), "Xvfb did not report its display")
            self.display = ":" + number
            self.env = dict(os.environ, DISPLAY=self.display)
            self.env.pop("XAUTHORITY", None)
            if wm:
                # Openbox names itself on the root before it manages windows;
                # a window mapped in between can stay unmanaged and unmapped.
                # Its start-up command runs once it is ready.
                ready = os.path.join(self.folder, "wm-ready")
                self.start(["openbox", "--sm-disable", "--startup", "touch " + ready])
                check(wait_for(lambda: os.path.exists(ready), 10, 0.02), "openbox did not start")
        except BaseException:
            self.close()
            raise
        finally:
            os.close(read_end)

    def start(self, command, **kwargs):
        process = subprocess.Popen(command, env=self.env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                   **kwargs)
        self.processes.append(process)
        return process

    def start_app(self, command):
        """A test application (tests/sweep/prompt_app*), once it has said
        "ready": its windows, and a dialog asked for at start, are up."""
        process = self.start(command)
        check(process.stdout.readline().strip() == b"ready", f"{command} did not start")
        return process

    def root_property(self, name):
        result = subprocess.run(["xprop", "-root", name], env=self.env, capture_output=True,
                                text=True)
        value = result.stdout.split("#", 1)[-1] if "#" in result.stdout else ""
        return value.strip()

    def stop_xvfb(self):
        self.xvfb.kill()
        self.xvfb.wait()

    def close(self):
        for process in reversed(self.processes):
            stop(process)
        self.stop_xvfb()
        shutil.rmtree(self.folder, ignore_errors=True)


def saved_answers(path):
    """What a test application saved at path: one "yes" or "no" line per
    answer; "" before the first."""
    try:
        with open(path) as f:
            return f.read()
    except FileNotFoundError:
        return ""


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
