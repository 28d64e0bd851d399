"""upskeeper.exe under Wine, end to end: COM1 of a Wine prefix of the test's
own is upssim's pseudo-terminal; the service identifies the simulated UPS,
serves kestrel.exe's pages through lighttpd, follows a power failure and its
end, takes a UPS command on port 8828 and stops with exit code 0 on command
35152; under Xvfb its window and tray icon behave. orvik.exe, in the same
prefix, reads the status record, which only programs of that prefix can map.

Wine stands in for Windows here; what it cannot vouch for (modem lines,
FIONREAD totals, sessions and service isolation) is listed in
CONTRIBUTING.md. The whole script runs in network and mount namespaces of its
own; every process is stopped by its PID or with the prefix's wineserver."""

import argparse
import json
import os
import re
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
XK_ESCAPE = 0xFF1B
# The menu's and the stop question's texts in the catalogue.
STOP_QUESTION, STOP_ITEM, CONSOLE_ITEM = 200, 201, 202

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
        for program in (args.upskeeper_exe, args.orvik_exe, args.window_probe_exe):
            shutil.copy(program, self.run)
        os.makedirs(os.path.join(self.run, "cgi-bin"))
        shutil.copy(args.kestrel_exe, os.path.join(self.run, "cgi-bin"))
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

    def probe(self, *words):
        """window_probe.exe's lines, or None when the window it looks for is
        not there."""
        result = subprocess.run(["wine", "window_probe.exe", *words], cwd=self.run,
                                env=self.prefix.env, capture_output=True, timeout=30)
        check(result.returncode in (0, 1), f"window_probe {words}: {result.returncode}")
        return result.stdout.decode("latin-1").splitlines() if result.returncode == 0 else None

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


LIGHTTPD_CONF = """
server.modules = ("mod_access", "mod_alias", "mod_cgi", "mod_setenv")
server.bind = "127.0.0.1"
server.port = {port}
server.document-root = "{web}"
server.errorlog = "{folder}/lighttpd-error.log"
alias.url = ("/cgi-bin/kestrel.exe" => "{run}/cgi-bin/kestrel.exe")
$HTTP["url"] == "/cgi-bin/kestrel.exe" {{
  cgi.assign = ("" => "{wine}")
}}
setenv.add-environment = ({environment})
"""


def http(port, query, body=None):
    """(status, raw header bytes, body text) of one request to kestrel."""
    with socket.create_connection(("127.0.0.1", port), timeout=60) as connection:
        method = "POST" if body is not None else "GET"
        request = (f"{method} /cgi-bin/kestrel.exe?{query} HTTP/1.0\r\nHost: 127.0.0.1\r\n")
        if body is not None:
            request += ("Content-Type: application/x-www-form-urlencoded\r\n"
                        f"Content-Length: {len(body)}\r\n")
        connection.sendall((request + "\r\n" + (body or "")).encode())
        answer = b""
        while chunk := connection.recv(65536):
            answer += chunk
    head, _, page = answer.partition(b"\r\n\r\n")
    return int(head.split()[1]), head, page.decode("latin-1")


def pages_through_lighttpd(service):
    """kestrel.exe run by lighttpd through Wine, as a Windows web server runs
    a CGI program: page 11 from the live record, page 41 from "../kestrel.log",
    a posted form on page 44 stored in the record and saved by the service."""
    port = 8080
    environment = ", ".join(f'"{k}" => "{v}"' for k, v in service.prefix.env.items()
                            if k.startswith("WINE") or k in ("HOME", "PATH"))
    conf = os.path.join(service.folder, "lighttpd.conf")
    with open(conf, "w") as f:
        f.write(LIGHTTPD_CONF.format(port=port, web=os.path.join(args.source, "web"),
                                     folder=service.folder, run=service.run,
                                     wine=shutil.which("wine"), environment=environment))
    web = subprocess.Popen(["/usr/sbin/lighttpd", "-D", "-f", conf])
    try:
        check(wait_for(lambda: port_open(port), 10, 0.05), "lighttpd did not start")
        began = time.monotonic()
        status, head, page = http(port, "page=11")
        print(f"       page 11 in {time.monotonic() - began:.2f} s", flush=True)
        check(status == 200 and b"text/html" in head, f"page 11: {head!r}")
        check("SIMULATED" in page and "UPSSIM-1K" in page, "page 11 misses the live UPS")
        # kestrel ends its lines with "\n" alone; a text-mode standard output
        # would have put a carriage return before each.
        check("\r" not in page, "page 11 came through a text-mode standard output")
        status, _, page = http(port, "page=41")
        check(status == 200 and "Service started" in page, "page 41 misses the event log")
        status, _, page = http(port, "page=44&", "EvtFileLen=54321&EvtApply=Apply")
        check(status == 200 and 'value="54321"' in page, "page 44 did not take the length")
        check(wait_for(lambda: os.path.exists(os.path.join(service.run, "kestrel.cfg")), 10, 0.1),
              "the service did not save the settings the page sent")
        check('value="54321"' in http(port, "page=44")[2], "the length did not stay")
    finally:
        web.terminate()
        web.wait()


def service_identifies_follows_serves_and_stops():
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
        pages_through_lighttpd(service)

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


def catalogue_text(number):
    with open(os.path.join(args.data, "msg.en"), encoding="latin-1") as f:
        return re.search(rf"^<{number}> <([^>]*)>", f.read(), re.M).group(1)


def shown_menu(service):
    """(left, top, right, bottom) of the pop-up menu on the screen, or None."""
    lines = service.probe("menu")
    return tuple(int(v) for v in lines[0].split()[1:]) if lines else None


def menu_pixels(display, rectangle):
    left, top, right, bottom = rectangle
    return display.pixels(left, top, right - left, bottom - top)


def choose_stop_from_the_tray_menu(display, service, reference=None):
    """Right-clicks the icon and clicks the menu's first item; returns where
    the menu was and the stop question's lines. With reference (the pixels
    of a menu holding the catalogue's two items), the menu shown must look
    exactly like it."""
    tray = display.shown(TRAY)
    check(tray, "no notification area")
    x, y = display.origin(tray[0])
    display.click(x + 10, y + 10, button=3)  # the first slot: ours is the only icon
    menu = wait_for(lambda: shown_menu(service), 15, 0.1)
    check(menu, "a right click on the icon showed no menu")
    if reference:
        check(menu_pixels(display, menu) == reference,
              "the menu does not hold the catalogue's items in order, the second the default")
    left, top, right, bottom = menu
    display.click((left + right) // 2, top + (bottom - top) // 4)
    question = wait_for(lambda: service.probe("message-box", TITLE), 15, 0.1)
    check(question, "the stop item asked nothing")
    check(f"text {catalogue_text(STOP_QUESTION)}" in question, f"the question: {question}")
    check(shown_menu(service) is None, "the menu stayed open behind the question")
    return menu, question


def answer(display, service, question, button):
    """Clicks the button of that text ("&Yes", "&No") in the stop question."""
    found = [line.split()[2:] for line in question if line.startswith(f"button {button} ")]
    check(found, f"no {button} in {question}")
    display.click(int(found[0][0]), int(found[0][1]))
    check(wait_for(lambda: service.probe("message-box", TITLE) is None, 10, 0.1),
          f"the question stayed after {button}")


def catalogue_menu(display, service, rectangle):
    """The pixels of a menu with the catalogue's two items, shown where the
    service's was by a program of our own."""
    texts = [catalogue_text(STOP_ITEM), catalogue_text(CONSOLE_ITEM)]
    left, top = rectangle[:2]
    shower = subprocess.Popen(["wine", "window_probe.exe", "show-menu", str(left), str(top), "60",
                               *texts], cwd=service.run, env=service.prefix.env)
    try:
        check(wait_for(lambda: shown_menu(service) == rectangle, 20, 0.1),
              f"the catalogue's menu is not the size of the service's: {shown_menu(service)}")
        return menu_pixels(display, rectangle)
    finally:
        display.click(1000, 700)  # on the bare desktop: the menu closes
        try:
            shower.wait(timeout=20)
        except subprocess.TimeoutExpired:
            shower.kill()
            shower.wait()


def escape_on_the_splash(display):
    """Escape pressed while the splash has the focus leaves the window (the
    rest of the test needs the service). The window gets the focus by a
    click; when it hides before it has it, the key is not tried (said so)."""
    splash = wait_for(lambda: display.shown(TITLE), 30, 0.02)
    check(splash, "no main window was shown")
    x, y = display.origin(splash[0])

    def escape_pressed():
        # A click gives it the focus, which the notification area, shown
        # about when the splash is, may take on its way up.
        if display.focus() != splash[0]:
            display.click(x + splash[1] // 2, y + splash[2] // 2)
            return False
        display.key(XK_ESCAPE)
        # This query reaches the server after the key: with the focus still
        # on the window, the key went to it.
        return display.focus() == splash[0]

    if wait_for(escape_pressed, 1.5, 0.1):
        print("       Escape pressed on the splash", flush=True)
    else:
        print("       Escape not tried: the splash hid before it had the focus", flush=True)


def session_end_keeps_the_service_and_its_icon(display, service):
    """A logoff asked and ended (cancelled, then for real) as the window
    system sends it: the service keeps running and its icon still follows
    the UPS. Wine keeps the icon through both, as Windows does through a
    cancelled logoff."""
    check(service.probe("query-end-session", TITLE) == ["answer 1"],
          "the service did not let the session end")
    check(service.probe("end-session", TITLE, "0") is not None, "no window for WM_ENDSESSION")
    check(service.probe("end-session", TITLE, "1") is not None, "no window for WM_ENDSESSION")
    service.sim.ctl("power", "fail")
    # The next refresh finds the icon (up to 5 s), the one after shows 131.
    check(wait_for(lambda: icon_colour(display) == AMBER, 15, 0.1),
          f"after the session end the icon stayed {icon_colour(display)} on battery")
    check(service.process.poll() is None, "the service ended with the session")
    service.sim.ctl("power", "restore")
    check(wait_for(lambda: icon_colour(display) == GREEN, 15, 0.1),
          "the icon did not return to 130")


def tray_menu_session_end_and_stop_question():
    """Under Xvfb, driven as a user and the window system drive it: Escape
    does not close the window; a session end leaves the service and its
    icon; the icon's menu holds the catalogue's items; its stop item asks
    first, No keeps the service and Yes stops it. Wine's service manager does
    not know upskeeper, so the stop goes by WM_CLOSE to the window."""
    desktop = Desktop(wm=True)
    service = None
    display = Display(desktop.display)
    try:
        service = WineService(display=desktop.display)
        service.start()
        escape_on_the_splash(display)
        wait_for(lambda: icon_colour(display) == GREEN or service.process.poll() is not None, 30,
                 0.2)
        check(service.process.poll() is None, "the window closed on Escape")
        check(icon_colour(display) == GREEN,
              f"the icon is not 130 with the UPS well: {icon_colour(display)}")

        session_end_keeps_the_service_and_its_icon(display, service)

        menu, question = choose_stop_from_the_tray_menu(display, service)
        answer(display, service, question, "&No")
        status = service.status()
        check(service.process.poll() is None and status, "No stopped the service")
        check(status["alarm_flags"] >> RUNNING_BIT & 1, f"alarms {status['alarm_flags']:#x}")

        # The menu opens at the pointer, so the second one is where the first
        # was: it must look like a menu made of the catalogue's texts.
        reference = catalogue_menu(display, service, menu)
        _, question = choose_stop_from_the_tray_menu(display, service, reference)
        answer(display, service, question, "&Yes")
        code = service.process.wait(timeout=40)
        check(code == 0, f"exit code {code}")
        check(service.event_log()[-1] == "124", f"event log ends {service.event_log()[-3:]}")
        check(wait_for(lambda: not display.shown(TRAY), 10, 0.1), "the icon outlived the service")
    finally:
        if service:
            service.close()
        display.close()
        desktop.close()


def port_open(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=1).close()
        return True
    except OSError:
        return False


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("--upskeeper-exe", required=True)
    parser.add_argument("--orvik-exe", required=True)
    parser.add_argument("--kestrel-exe", required=True)
    parser.add_argument("--window-probe-exe", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--upssim", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--only", help="run the tests whose name contains this")
    parser.add_argument("--isolated", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    for name in ("upskeeper_exe", "orvik_exe", "kestrel_exe", "window_probe_exe", "upssim", "data",
                 "source"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    if args.isolated:
        isolate()
    else:
        code = rerun_isolated()
        # Never on the machine's own port 8828.
        return 77 if code is None else code
    tests = [
        ("WineServiceIdentifiesFollowsServesAndStops",
         service_identifies_follows_serves_and_stops),
        ("WineWindowSplashesHidesAndIconFollowsTheUps",
         window_splashes_hides_and_icon_follows_the_ups),
        ("WineTrayMenuSessionEndAndStopQuestion", tray_menu_session_end_and_stop_question),
    ]
    return run_tests([t for t in tests if not args.only or args.only in t[0]])


if __name__ == "__main__":
    sys.exit(main())
