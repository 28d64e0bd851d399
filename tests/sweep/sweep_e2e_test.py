"""winsweep on a real desktop: a virtual X server (Xvfb) with a real window
manager (openbox), or the Windows build under Wine on a virtual X server.
Test applications of ours (prompt_app) ask "Save changes?" when asked to
close; the sweep must answer Yes for them, leave the terminal, the service's
window and a dialog that was open before it alone, give up on an application
that asks for ever, and end with exit code 0 whatever the display does.

Every process is started here and stopped by its PID; the whole script runs
in network and mount namespaces of its own."""

import argparse
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import check, isolate, rerun_isolated, run_tests, wait_for  # noqa: E402

args = None
SERVICE_TITLE = "Power Device Service"
PROMPT_LIMIT = 12  # prompts counted per application; the last is not answered


class Desktop:
    """An Xvfb on a free display, with openbox when wm is set, and the
    processes started on it."""

    def __init__(self, wm=True):
        self.processes = []
        self.folder = tempfile.mkdtemp(prefix="orvik-sweep-")
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0",
             "1024x768x24"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        # The number and its line end come in two writes, then the server
        # closes the pipe; closing it earlier would make the server fail.
        number = b""
        while select.select([read_end], [], [], 15)[0]:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        number = number.decode().strip()
        os.close(read_end)
        check(number.isdigit(), "Xvfb did not report its display")
        self.env = dict(os.environ, DISPLAY=":" + number)
        self.env.pop("XAUTHORITY", None)
        if wm:
            self.start(["openbox", "--sm-disable"])
            check(wait_for(lambda: self.root_property("_NET_SUPPORTING_WM_CHECK"), 10, 0.05),
                  "openbox did not start")

    def start(self, command, **kwargs):
        process = subprocess.Popen(command, env=self.env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                   **kwargs)
        self.processes.append(process)
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


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def read_file(path):
    try:
        with open(path) as f:
            return f.read()
    except FileNotFoundError:
        return ""


class X11:
    """Applications and the sweep as Linux programs."""

    def __init__(self, desktop):
        self.desktop = desktop

    def app(self, *options):
        process = self.desktop.start([args.prompt_app] + list(options))
        check(process.stdout.readline().strip() == b"ready", "prompt_app did not start")
        return process

    def terminal(self):
        return self.desktop.start(["xterm", "-e", "sleep 600"])

    def hostile(self):
        return self.app("--title", "Hostile", "--hostile")

    def path(self, name):
        return os.path.join(self.desktop.folder, name)

    def windows_shown(self, count):
        clients = lambda: len(self.desktop.root_property("_NET_CLIENT_LIST_STACKING").split(","))
        check(wait_for(lambda: clients() >= count, 10, 0.05), f"fewer than {count} windows")

    def sweep(self, timeout=120):
        began = time.monotonic()
        code = subprocess.run([args.winsweep], env=self.desktop.env, timeout=timeout,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
        return code, time.monotonic() - began


class Wine:
    """Applications and the sweep as Windows programs in a Wine prefix of
    their own. Windows semantics the test leans on, which Wine follows: a
    message box disables its owner window, is of class "#32770" with "Button"
    children, and takes a posted Y key-down as the mnemonic of its Yes."""

    def __init__(self, desktop):
        self.desktop = desktop
        env = desktop.env
        # TMPDIR keeps the server's socket folder inside the test's folder.
        env.update(WINEPREFIX=os.path.join(desktop.folder, "prefix"), WINEARCH="win64",
                   WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", TMPDIR=desktop.folder)
        subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # The server for the whole run; wineserver -k stops it and every
        # program in the prefix.
        self.server = desktop.start(["wineserver", "-p", "-f"])

    def app(self, *options):
        process = self.desktop.start(["wine", args.prompt_app_exe] + list(options))
        check(process.stdout.readline().strip() == b"ready", "prompt_app.exe did not start")
        return process

    def hostile(self):
        return None

    def terminal(self):
        return self.app("--class", "ConsoleWindowClass", "--title", "Command Prompt",
                        "--save", self.path("console"))

    def path(self, name):
        return "Z:" + os.path.join(self.desktop.folder, name).replace("/", "\\")

    def windows_shown(self, count):
        time.sleep(0.5)

    def sweep(self, timeout=120):
        began = time.monotonic()
        code = subprocess.run(["wine", args.winsweep_exe], env=self.desktop.env,
                              timeout=timeout, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode
        return code, time.monotonic() - began

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.desktop.env, timeout=30)


def unix_path(system, name):
    return os.path.join(system.desktop.folder, name)


def sweep_closes_and_saves(make_system, wm=True):
    desktop = Desktop(wm=wm)
    system = None
    try:
        system = make_system(desktop)
        editors = [system.app("--title", f"Editor {i}", "--save", system.path(f"editor{i}"))
                   for i in range(3)]
        terminal = system.terminal()
        service = system.app("--title", SERVICE_TITLE, "--save", system.path("service"))
        busy = system.app("--title", "Busy", "--ask-now", "--save", system.path("busy"))
        hostile = system.hostile()
        stubborn = system.app("--title", "Stubborn", "--forever", "--save",
                              system.path("stubborn"))
        # The stubborn application, on top, is handled first; its prompts
        # stack up above the other windows.
        system.windows_shown(11)

        code, seconds = system.sweep()
        print(f"       sweep took {seconds:.1f} s", flush=True)

        check(code == 0, f"exit code {code}")
        for i, editor in enumerate(editors):
            check(wait_for(lambda: editor.poll() is not None, 5), f"editor {i} still runs")
            check(read_file(unix_path(system, f"editor{i}")) == "yes\n",
                  f"editor {i} saved {read_file(unix_path(system, f'editor{i}'))!r}")
        check(hostile is None or hostile.poll() is not None,
              "the window with odd properties was not closed")
        check(terminal.poll() is None, "the terminal was closed")
        check(service.poll() is None and read_file(unix_path(system, "service")) == "",
              "the service's window was touched")
        check(busy.poll() is None and read_file(unix_path(system, "busy")) == "",
              "the dialog open before the sweep was answered")
        answers = read_file(unix_path(system, "stubborn")).split()
        check(answers == ["yes"] * (PROMPT_LIMIT - 1) and stubborn.poll() is None,
              f"the stubborn application answered {answers}")
    finally:
        if system and hasattr(system, "close"):
            system.close()
        desktop.close()


def x11_sweep_closes_and_saves():
    sweep_closes_and_saves(X11)


def x11_without_manager_closes_by_delete_request():
    desktop = Desktop(wm=False)
    try:
        system = X11(desktop)
        editor = system.app("--title", "Editor", "--save", system.path("editor"))
        hostile = system.hostile()
        time.sleep(0.3)
        code, _ = system.sweep()
        check(code == 0, f"exit code {code}")
        check(read_file(system.path("editor")) == "yes\n" and editor.poll() is not None,
              f"the editor saved {read_file(system.path('editor'))!r}")
        check(hostile.poll() is not None, "the window with odd properties was not closed")
    finally:
        desktop.close()


def x11_ends_at_once_without_windows_or_display():
    desktop = Desktop()
    try:
        system = X11(desktop)
        code, seconds = system.sweep()
        check(code == 0 and seconds < 1, f"empty desktop: exit code {code} after {seconds:.2f} s")
        desktop.env["DISPLAY"] = ":4095"
        code, seconds = system.sweep()
        check(code == 0 and seconds < 1, f"no display: exit code {code} after {seconds:.2f} s")
    finally:
        desktop.close()


def x11_server_going_away_ends_the_sweep():
    desktop = Desktop()
    try:
        system = X11(desktop)
        system.app("--title", "Stubborn", "--forever", "--save", system.path("stubborn"))
        system.windows_shown(1)
        sweep = desktop.start([args.winsweep])
        time.sleep(4)
        desktop.stop_xvfb()
        began = time.monotonic()
        check(wait_for(lambda: sweep.poll() is not None, 5), "the sweep outlived its display")
        check(sweep.returncode == 0, f"exit code {sweep.returncode}")
        print(f"       ended {time.monotonic() - began:.2f} s after the server", flush=True)
    finally:
        desktop.close()


def wine_sweep_closes_and_saves():
    sweep_closes_and_saves(Wine, wm=False)


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("--winsweep", required=True)
    parser.add_argument("--prompt-app", required=True)
    parser.add_argument("--winsweep-exe")
    parser.add_argument("--prompt-app-exe")
    parser.add_argument("--only", help="run the tests whose name contains this")
    parser.add_argument("--isolated", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    for name in ("winsweep", "prompt_app", "winsweep_exe", "prompt_app_exe"):
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))
    if args.isolated:
        isolate()
    else:
        code = rerun_isolated()
        if code is not None:
            return code
    tests = [
        ("X11SweepClosesAndSaves", x11_sweep_closes_and_saves),
        ("X11WithoutManagerClosesByDeleteRequest", x11_without_manager_closes_by_delete_request),
        ("X11EndsAtOnceWithoutWindowsOrDisplay", x11_ends_at_once_without_windows_or_display),
        ("X11ServerGoingAwayEndsTheSweep", x11_server_going_away_ends_the_sweep),
    ]
    if args.winsweep_exe and args.prompt_app_exe:
        tests.append(("WineSweepClosesAndSaves", wine_sweep_closes_and_saves))
    if args.only:
        tests = [t for t in tests if args.only in t[0]]
    return run_tests(tests)


if __name__ == "__main__":
    sys.exit(main())
