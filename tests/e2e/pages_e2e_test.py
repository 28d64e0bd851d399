"""The management pages as a user meets them: upssim, upskeeper and a
lighttpd of the test's own running kestrel from the service's cgi-bin
folder, and Debian's chromium (driven by tests/browser/pages_test.mjs)
clicking through them. Before the browser starts, a text that would be a
script if printed unescaped is planted in every record field, file and log
line the pages print. Screenshots of pages 11, 13 and 41 are kept in the
artefacts folder.

Runs in network and mount namespaces of its own (a loopback for lighttpd and
port 8828, a /dev/shm for the record); without them it is skipped, so that
no web server is started on this machine's own network."""

import argparse
import json
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys

from harness import (RECORD_PATH, RunFolder, check, close_run, isolate, read_record,
                     rerun_isolated, run_tests, text, wait_for)
from upssim_run import UpsSim

args = None

PORT = 8088
HOSTILE = '"><script>window.pwned=1</script>'
MANUFACTURER, MODEL, FIRMWARE, ID_NAME, ATT_DEVICE = 0, 64, 128, 256, 320
SERIAL_NUMBER = 74008
SKIPPED = 77  # ctest's SKIP_RETURN_CODE for this test


def plant_texts(folder):
    """The hostile text in the six identity fields and link.cfg."""
    with open(RECORD_PATH, "r+b") as record:
        for offset in (MANUFACTURER, MODEL, FIRMWARE, ID_NAME, ATT_DEVICE, SERIAL_NUMBER):
            record.seek(offset)
            record.write(HOSTILE.encode() + b"\0")
    with open(os.path.join(folder, "link.cfg"), "w") as f:
        f.write("".join(HOSTILE + "\n" for _ in range(6)))


def write_logs(folder):
    """Logs of 20 lines, so that they page; the first holds the hostile text."""
    events = [f"001  08/12/2026  09:{i:02d}:00  [{HOSTILE if i == 0 else 'Power failure':<40}]\r\n"
              for i in range(20)]
    with open(os.path.join(folder, "kestrel.log"), "w", newline="") as f:
        f.write("".join(events))
    data = ["08/12/2026,09:12:32,230," + HOSTILE + "\r\n"]
    data += [f"08/12/2026,09:{i:02d}:32,230,229,0273,50.0,49.9,035,030,0x01000000\r\n"
             for i in range(1, 20)]
    with open(os.path.join(folder, "kestrel.dat"), "w", newline="") as f:
        f.write("".join(data))


def start_lighttpd(folder):
    conf = os.path.join(folder, "lighttpd.conf")
    with open(conf, "w") as f:
        subprocess.run([os.path.join(args.source, "install", "make_lighttpd_conf.sh"), folder,
                        os.path.join(args.source, "web"), folder, "127.0.0.1", str(PORT)],
                       stdout=f, check=True)
    web = subprocess.Popen([args.lighttpd, "-D", "-f", conf])
    def listening():
        with socket.socket() as s:
            return s.connect_ex(("127.0.0.1", PORT)) == 0
    check(wait_for(listening, 10, 0.05), "lighttpd did not start listening")
    return web


def start_service(folder):
    """The service in folder with kestrel in its cgi-bin, watching a fresh
    upssim; returns the simulator and the manufacturer once identified."""
    os.chmod(folder.path, 0o755)
    os.makedirs(os.path.join(folder.path, "cgi-bin"))
    shutil.copy(args.kestrel, os.path.join(folder.path, "cgi-bin", "kestrel"))
    sim = UpsSim(args.upssim, 3, folder.path)
    sim.platform_ini(folder.path)
    if os.path.exists(RECORD_PATH):
        os.unlink(RECORD_PATH)
    folder.start()
    manufacturer = wait_for(lambda: text(read_record() or bytes(64), MANUFACTURER, 64), 30, 0.1)
    check(manufacturer, "the service did not identify the UPS")
    # The first Q1 values too, so that page 13 has a voltage to lose.
    check(wait_for(lambda: struct.unpack_from("<h", read_record(), 408)[0] > 100, 30, 0.1),
          "no input voltage in the record")
    return sim, manufacturer


def pages_in_a_browser():
    folder = RunFolder(args.upskeeper, args.data)
    sim = web = None
    try:
        write_logs(folder.path)
        sim, _ = start_service(folder)
        plant_texts(folder.path)
        web = start_lighttpd(folder.path)
        os.makedirs(args.artefacts, exist_ok=True)
        settings = {
            "base": f"http://127.0.0.1:{PORT}",
            "upssim": args.upssim, "ctl": sim.socket,
            "record": RECORD_PATH, "config": os.path.join(folder.path, "kestrel.cfg"),
            "artefacts": args.artefacts, "hostile": HOSTILE,
        }
        browser = subprocess.run(["node", "pages_test.mjs", json.dumps(settings)],
                                 cwd=args.browser, capture_output=True, text=True, timeout=240)
        sys.stdout.write(browser.stdout)
        sys.stdout.write(browser.stderr)
        check(browser.returncode == 0, "the browser checks failed")
        check(web.poll() is None, "lighttpd ended during the test")
    finally:
        if web and web.poll() is None:
            web.send_signal(signal.SIGTERM)
            web.wait(timeout=10)
        close_run(folder, sim)


def kestrel_page(folder, query):
    """Page `query` as kestrel writes it when run in folder's cgi-bin."""
    cgi_bin = os.path.join(folder, "cgi-bin")
    run = subprocess.run([os.path.join(cgi_bin, "kestrel")], cwd=cgi_bin,
                         env={"REQUEST_METHOD": "GET", "QUERY_STRING": query},
                         capture_output=True, timeout=10)
    check(run.returncode == 0, f"kestrel ended with {run.returncode}")
    return run.stdout.decode("latin-1")


def killed_service_record_is_not_shown():
    """A killed service leaves its block with its last values and the
    service-running bit set; the pages show an empty record instead, until a
    service starts over the block again."""
    folder = RunFolder(args.upskeeper, args.data)
    sim = None
    try:
        sim, manufacturer = start_service(folder)
        check(manufacturer in kestrel_page(folder.path, "page=11"), "page 11 misses the live UPS")

        folder.process.kill()
        folder.process.wait()
        check(text(read_record(), MANUFACTURER, 64) == manufacturer, "the block did not stay")
        check(manufacturer not in kestrel_page(folder.path, "page=11"),
              "page 11 shows the killed service's UPS")
        check('itemData">&nbsp;0</font>' in kestrel_page(folder.path, "page=13"),
              "page 13 shows the killed service's values")

        folder.start()
        check(wait_for(lambda: manufacturer in kestrel_page(folder.path, "page=11"), 30, 0.2),
              "a service started over the stale block is not shown")
    finally:
        close_run(folder, sim)


def main():
    global args
    parser = argparse.ArgumentParser()
    for option in ("upskeeper", "upssim", "kestrel", "data", "source", "artefacts"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--lighttpd", default="/usr/sbin/lighttpd")
    parser.add_argument("--isolated", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    for option in ("upskeeper", "upssim", "kestrel", "data", "source", "artefacts"):
        setattr(args, option, os.path.abspath(getattr(args, option)))
    args.browser = os.path.join(args.source, "tests", "browser")
    if args.isolated:
        isolate()
    else:
        code = rerun_isolated()
        if code is None:
            print("network namespaces are not available: skipped")
            return SKIPPED
        return code
    for need in (args.lighttpd, "/usr/bin/chromium",
                 os.path.join(args.browser, "node_modules", "playwright-core")):
        if not os.path.exists(need):
            print(f"{need} is missing (scripts/install-deps.sh installs it): skipped")
            return SKIPPED
    return run_tests([("KilledServiceRecordIsNotShown", killed_service_record_is_not_shown),
                      ("PagesInABrowser", pages_in_a_browser)])


if __name__ == "__main__":
    sys.exit(main())
