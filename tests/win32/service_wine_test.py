"""upskeeper.exe under Wine, end to end: COM1 of a Wine prefix of the test's
own is upssim's pseudo-terminal; the service identifies the simulated UPS,
follows a power failure and its end, takes a UPS command on port 8828 and
stops with exit code 0 on command 35152. orvik.exe, in the same prefix, reads
the status record, which only programs of that prefix can map.

Wine stands in for Windows here; what it cannot vouch for (modem lines,
FIONREAD totals, sessions and service isolation) is listed in
CONTRIBUTING.md. The whole script runs in network and mount namespaces of its
own; every process is stopped by its PID or with the prefix's wineserver."""

import argparse
import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
sys.path.insert(0, HERE)
from harness import check, isolate, rerun_isolated, run_tests, wait_for  # noqa: E402
from upssim_run import UpsSim  # noqa: E402
from desktop import Desktop  # noqa: E402
from wine_prefix import Prefix  # noqa: E402
from x_window import Display  # noqa: E402

CONTROL_PORT = 8828
SELF_TEST, STOP = 369, 35152
ON_BATTERY_BIT, RUNNING_BIT = 1, 24
TITLE = "Power Device Service"
TRAY = "Wine System Tray"  # Wine's own notification area, without a desktop's
# The tray icons' fill colours (tools/win32_images.py): 130 and 131.
GREEN, AMBER = (0x2E, 0xA0, 0x43), (0xFF, 0xB8, 0x1C)

args = None


def send(command, argument=0):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sender:
        sender.sendto(struct.pack(">IiI", command, argument, 0), ("127.0.0.1", CONTROL_PORT))


def bound_udp(port):
    with open("/proc/net/udp") as lines:
        next(lines)
        return [line.split()[1] for line in lines if line.split()[1].endswith(f":{port:04X}")]


class WineService:
    """A prefix with its null display driver (windows, no notification area),
    a run folder with the programs and data files, and upssim on COM1."""

    def __init__(self, display=None):
        self.folder = tempfile.mkdtemp(prefix="orvik-wine-")
        self.prefix = Prefix(os.path.join(self.folder, "wine"), null_display=display is None)
        if display:
            self.prefix.env["DISPLAY"] = display
        self.prefix.create()
        self.prefix.start_server()
        self.run = os.path.join(self.folder, "run")
        os.makedirs(self.run)
        for program in (args.upskeeper_exe, args.orvik_exe):
            shutil.copy(program, self.run)
        for name in os.listdir(args.data):
            if os.path.isfile(os.path.join(args.data, name)):
                shutil.copy(os.path.join(args.data, name), self.run)
        self.sim = UpsSim(args.upssim, 3, self.folder)
        os.symlink(self.sim.device, self.prefix.com1)
        self.process = None
        self.output = open(os.path.join(self.folder, "upskeeper.out"), "wb")

    def start(self):
        self.process = subprocess.Popen(["wine", "upskeeper.exe"], cwd=self.run,
                                        env=self.prefix.env, stdin=subprocess.DEVNULL,
                                        stdout=self.output, stderr=subprocess.STDOUT)

    def status(self):
        """orvik.exe status --json, or None while the service is not up."""
        result = subprocess.run(["wine", "orvik.exe", "status", "--json"], cwd=self.run,
                                env=self.prefix.env, capture_output=True, timeout=30)
        if result.returncode not in (0, 3):
            return None
        return json.loads(result.stdout.decode("latin-1"))

    def event_log(self):
        try:
            with open(os.path.join(self.run, "kestrel.log"), encoding="latin-1") as f:
                return [line[:3] for line in f.read().splitlines()]
        except FileNotFoundError:
            return []

    def close(self):
        try:
            if self.process and self.process.poll() is None:
                self.process.kill()
                self.process.wait()
            self.prefix.stop_server()
        finally:
            self.sim.stop()
            self.output.close()
            shutil.rmtree(self.folder, ignore_errors=True)


def service_identifies_follows_and_stops():
    service = WineService()
    try:
        began = time.monotonic()
        service.start()
        status = wait_for(lambda: (s := service.status()) and s["ups"]["manufacturer"] and s, 60,
                          0.5)
        check(status, "the service did not identify the UPS")
        print(f"       identified in {time.monotonic() - began:.1f} s: "
              f"{status['ups']['manufacturer']} {status['ups']['model']}", flush=True)
        check(status["ups"]["model"] == "UPSSIM-1K" and status["link"] == "up", str(status))
        check(status["alarm_flags"] == 1 << RUNNING_BIT, f"alarms {status['alarm_flags']:#x}")
        # The control port is bound to loopback only.
        check(bound_udp(CONTROL_PORT) == [f"0100007F:{CONTROL_PORT:04X}"],
              f"port 8828 bound as {bound_udp(CONTROL_PORT)}")

        service.sim.ctl("power", "fail")
        on_battery = wait_for(lambda: service.status()["alarm_flags"] >> ON_BATTERY_BIT & 1, 10,
                              0.2)
        check(on_battery, "the power failure did not reach the record")
        check(wait_for(lambda: "001" in service.event_log(), 5, 0.1),
              f"no power failure in the event log: {service.event_log()}")
        service.sim.ctl("power", "restore")
        check(wait_for(lambda: "101" in service.event_log(), 10, 0.2),
              f"no power restore in the event log: {service.event_log()}")

        sent = len(service.sim.received())
        send(SELF_TEST, 1)
        check(wait_for(lambda: any(c == "T\r" for _, c in service.sim.received()[sent:]), 10),
              "the self-test command did not reach the UPS")

        send(STOP)
        began = time.monotonic()
        code = service.process.wait(timeout=40)
        print(f"       stopped in {time.monotonic() - began:.1f} s", flush=True)
        check(code == 0, f"exit code {code}")
        check(service.event_log()[-1] == "124", f"event log ends {service.event_log()[-3:]}")
    finally:
        service.close()


def icon_colour(display):
    """GREEN or AMBER, whichever fills more of the notification area; None
    while it is not shown."""
    tray = display.shown(TRAY)
    if not tray:
        return None
    colours = display.colours(tray)
    near = lambda fill: sum(n for c, n in colours.items()
                            if max(abs(a - b) for a, b in zip(c, fill)) < 40)
    green, amber = near(GREEN), near(AMBER)
    return GREEN if green > amber else AMBER if amber > green else None


def window_splashes_hides_and_icon_follows_the_ups():
    """Under Xvfb: the main window shows its splash and hides within two
    seconds of its start-up; the notification-area icon is added, is icon
    130 while all is well and 131 within 5 s of a power failure, and goes
    when the service stops."""
    # With a window manager, as a desktop has: without one, Wine waits two
    # seconds in vain for each hidden window to be withdrawn.
    desktop = Desktop(wm=True)
    service = None
    display = Display(desktop.display)
    try:
        service = WineService(display=desktop.display)
        service.start()
        check(wait_for(lambda: display.shown(TITLE), 30, 0.02), "no main window was shown")
        shown = time.monotonic()
        check(wait_for(lambda: not display.shown(TITLE), 10, 0.05), "the window stayed")
        hidden = time.monotonic() - shown
        print(f"       splash shown for {hidden:.1f} s", flush=True)
        check(hidden < 3, f"the splash stayed {hidden:.1f} s")
        check(display.windows(TITLE), "the hidden window is gone; the stop command needs it")

        check(wait_for(lambda: icon_colour(display) == GREEN, 30, 0.2),
              f"the icon is not 130 with the UPS well: {icon_colour(display)}")
        service.sim.ctl("power", "fail")
        began = time.monotonic()
        check(wait_for(lambda: icon_colour(display) == AMBER, 8, 0.1),
              "the icon did not turn to 131 on battery")
        print(f"       icon 131 after {time.monotonic() - began:.1f} s on battery", flush=True)
        service.sim.ctl("power", "restore")
        check(wait_for(lambda: icon_colour(display) == GREEN, 15, 0.1),
              "the icon did not return to 130")

        send(STOP)
        code = service.process.wait(timeout=40)
        check(code == 0, f"exit code {code}")
        check(not display.shown(TRAY), "the icon outlived the service")
    finally:
        if service:
            service.close()
        display.close()
        desktop.close()


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("--upskeeper-exe", required=True)
    parser.add_argument("--orvik-exe", required=True)
    parser.add_argument("--upssim", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--isolated", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    for name in ("upskeeper_exe", "orvik_exe", "upssim", "data"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    if args.isolated:
        isolate()
    else:
        code = rerun_isolated()
        # Never on the machine's own port 8828.
        return 77 if code is None else code
    return run_tests([
        ("WineServiceIdentifiesFollowsAndStops", service_identifies_follows_and_stops),
        ("WineWindowSplashesHidesAndIconFollowsTheUps",
         window_splashes_hides_and_icon_follows_the_ups),
    ])


if __name__ == "__main__":
    sys.exit(main())
