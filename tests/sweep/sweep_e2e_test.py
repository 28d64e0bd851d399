"""winsweep on a real desktop: a virtual X server (Xvfb) with a real window
manager (openbox), or the Windows build under Wine on a virtual X server.
Test applications of ours (prompt_app) ask "Save changes?" when asked to
close; the sweep must answer Yes for them, leave the terminal, the service's
window and a dialog that was open before it alone, give up on an application
that asks for ever, and end with exit code 0 whatever the display does.

Every process is started here and stopped by its PID; the whole script runs
in network and mount namespaces of its own."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import Desktop, saved_answers  # noqa: E402
from harness import arguments, check, isolated_run, run_tests, wait_for  # noqa: E402

args = None
SERVICE_TITLE = "Power Device Service"
PROMPT_LIMIT = 12  # prompts counted per application; the last is not answered


class System:
    """What both kinds of program share: the answers an application wrote."""

    def __init__(self, desktop):
        self.desktop = desktop

    def answers(self, name):
        return saved_answers(os.path.join(self.desktop.folder, name))

    def close(self):
        pass


class X11(System):
    """Applications and the sweep as Linux programs."""

    def app(self, *options):
        return self.desktop.start_app([args.prompt_app, *options])

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


class Wine(System):
    """Applications and the sweep as Windows programs in a Wine prefix of
    their own. Windows semantics the test leans on, which Wine follows: a
    message box disables its owner window, is of class "#32770" with "Button"
    children, and takes a posted Y key-down as the mnemonic of its Yes."""

    def __init__(self, desktop):
        super().__init__(desktop)
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
        return self.desktop.start_app(["wine", args.prompt_app_exe, *options])

    def hostile(self):
        return None

    def terminal(self):
        return self.app("--class", "ConsoleWindowClass", "--title", "Command Prompt",
                        "--save", self.path("console"))

    def path(self, name):
        return "Z:" + os.path.join(self.desktop.folder, name).replace("/", "\\")

    def windows_shown(self, count):
        pass  # each application reports once its windows are there

    def sweep(self, timeout=120):
        began = time.monotonic()
        code = subprocess.run(["wine", args.winsweep_exe], env=self.desktop.env,
                              timeout=timeout, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode
        return code, time.monotonic() - began

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.desktop.env, timeout=30)


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
            check(system.answers(f"editor{i}") == "yes\n",
                  f"editor {i} answered {system.answers(f'editor{i}')!r}")
        check(hostile is None or hostile.poll() is not None,
              "the window with odd properties was not closed")
        check(terminal.poll() is None, "the terminal was closed")
        check(service.poll() is None and system.answers("service") == "",
              "the service's window was touched")
        check(busy.poll() is None and system.answers("busy") == "",
              "the dialog open before the sweep was answered")
        answers = system.answers("stubborn").split()
        check(answers == ["yes"] * (PROMPT_LIMIT - 1) and stubborn.poll() is None,
              f"the stubborn application answered {answers}")
    finally:
        if system:
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
        code, _ = system.sweep()
        check(code == 0, f"exit code {code}")
        check(system.answers("editor") == "yes\n" and editor.poll() is not None,
              f"the editor answered {system.answers('editor')!r}")
        check(hostile.poll() is not None, "the window with odd properties was not closed")
    finally:
        desktop.close()


def x11_ends_at_once_without_windows_or_display():
    desktop = Desktop()
    try:
        system = X11(desktop)
        code, seconds = system.sweep()
        print(f"       empty desktop: {seconds * 1000:.0f} ms", flush=True)
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
    # --only: run the tests whose name contains this.
    args = arguments(["--winsweep", "--prompt-app"],
                     optional=["--winsweep-exe", "--prompt-app-exe"], other={"--only": None})
    code = isolated_run(args)
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
