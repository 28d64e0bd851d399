"""E-mail from the running service through a real mail server: a power
failure at upssim mails the expanded message to both addresses of mailUsers,
one mail to each mailbox with the "To:", "From:" and "Subject: Ups Message"
lines and its "." line whole; power that comes back within the mail delay
sends nothing.

The server is a Postfix of this test's own, delivering example.test to
mailbox files, on port 25 of 127.0.0.2 as "smtp.ini" names it. It runs only
in namespaces of the test's own; without them the test is skipped (77)."""

import contextlib
import mailbox
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

from harness import (COMPUTER_NAME, MANUFACTURER, RunFolder, check, close_run, event_entry,
                     isolated_run, read_record, run_tests, service_arguments, set_power,
                     silence_actions, text, wait_for, write_record)
from upssim_run import UpsSim

SERVER = "127.0.0.2"
ADDRESSES = ("ops@example.test", "boss@example.test")
# Within an event's entry.
MAIL_ENABLE, MAIL_DELAY, MAIL_MESSAGE, MAIL_USERS = 368, 372, 374, 474
# Name, type, private, unprivileged, wake-up, process limit, program (no chroot).
SERVICES = [(f"{SERVER}:25", "inet", "n", "-", "-", "-", "smtpd"),
            ("cleanup", "unix", "n", "-", "-", "0", "cleanup"),
            ("qmgr", "unix", "n", "-", "300", "1", "qmgr"),
            ("rewrite", "unix", "-", "-", "-", "-", "trivial-rewrite"),
            ("virtual", "unix", "-", "n", "-", "-", "virtual"),
            ("anvil", "unix", "-", "-", "-", "1", "anvil"),
            ("postlog", "unix-dgram", "n", "-", "-", "1", "postlogd")] + [
            (name, "unix", "-", "-", "-", "0", "bounce") for name in ("bounce", "defer", "trace")]


class MailServer:
    def __init__(self):
        self.path, self.process = tempfile.mkdtemp(prefix="orvik-mail-"), None
        try:
            self.start()
        except Exception:
            self.stop()
            raise

    def start(self):
        os.chmod(self.path, 0o755)  # the delivery agent runs as the postfix user
        conf, self.boxes = f"{self.path}/conf", f"{self.path}/mail"
        for folder in (conf, self.boxes, f"{self.path}/queue"):
            os.mkdir(folder)
        owner = pwd.getpwnam("postfix")
        os.chown(self.boxes, owner.pw_uid, owner.pw_gid)
        settings = {
            "compatibility_level": "3.6", "queue_directory": f"{self.path}/queue",
            "data_directory": f"{self.path}/data", "meta_directory": "/etc/postfix",
            "maillog_file": "/dev/stdout", "myhostname": "mail.example.test",
            "mydestination": "", "alias_maps": "", "local_recipient_maps": "",
            "inet_interfaces": "loopback-only", "inet_protocols": "ipv4",
            "local_header_rewrite_clients": "",  # the headers arrive as sent
            "virtual_mailbox_domains": "example.test", "virtual_mailbox_base": self.boxes,
            "virtual_mailbox_maps": f"texthash:{conf}/mailboxes",
            "virtual_uid_maps": f"static:{owner.pw_uid}",
            "virtual_gid_maps": f"static:{owner.pw_gid}"}
        with open(f"{conf}/main.cf", "w") as f:
            f.writelines(f"{name} = {value}\n" for name, value in settings.items())
        with open(f"{conf}/master.cf", "w") as f:
            f.writelines(" ".join(s[:4] + ("n",) + s[4:]) + "\n" for s in SERVICES)
        with open(f"{conf}/mailboxes", "w") as f:
            f.writelines(f"{address} {address.split('@')[0]}\n" for address in ADDRESSES)
        subprocess.run(["postfix", "-c", conf, "check"], check=True, timeout=60)
        self.log = f"{self.path}/maillog"
        with open(self.log, "w") as log:
            # The script waits for the master, which leads a session of its own.
            self.process = subprocess.Popen(["postfix", "-c", conf, "start-fg"], stdout=log,
                                            stderr=subprocess.STDOUT)
        check(wait_for(self.listening, 30, interval=0.2), "the mail server never listened")

    def listening(self):
        try:
            socket.create_connection((SERVER, 25), timeout=1).close()
            return True
        except OSError:
            return False

    def connections(self):
        """Sessions the server has seen, the probe of listening() among them."""
        with open(self.log, encoding="latin-1") as f:
            return f.read().count(" connect from ")

    def messages(self, address):
        path = f"{self.boxes}/{address.split('@')[0]}"
        return list(mailbox.mbox(path, create=False)) if os.path.exists(path) else []

    def stop(self):
        """Ends the master by the PID it wrote; it ends its own daemons."""
        master = None
        try:
            if not self.process:
                return
            with open(f"{self.path}/queue/pid/master.pid") as f:
                master = int(f.read())
            os.kill(master, signal.SIGTERM)
            self.process.wait(timeout=30)
        except (OSError, ValueError, subprocess.TimeoutExpired):
            if master:
                with contextlib.suppress(ProcessLookupError):
                    os.killpg(master, signal.SIGKILL)
            self.process.kill()
            self.process.wait()
        finally:
            shutil.rmtree(self.path, ignore_errors=True)


args = server = folder = sim = None


def write_entry(event, fmt, offset, value):
    write_record(fmt, event_entry(event) + offset, value)


def start_service():
    """upssim and upskeeper with only the power failure's mail enabled."""
    global folder, sim
    folder = RunFolder(args.upskeeper, args.data)
    with open(f"{folder.path}/smtp.ini", "w") as f:
        f.write(f"  {SERVER} \r\nignored\r\n")
    sim = UpsSim(args.upssim, 2, folder.path, {"manufacturer": "TESTWORKS", "model": "VALUE-1000"})
    sim.platform_ini(folder.path)
    os.environ["LC_ALL"] = "C"
    folder.start()
    check(wait_for(lambda: (r := read_record()) and text(r, MANUFACTURER, 64) == "ACME-POWER", 120, 0.1),
          "the service never identified the UPS")
    silence_actions()
    write_entry(1, "i", MAIL_ENABLE, 1)
    write_entry(1, None, MAIL_USERS, ";".join(ADDRESSES).encode().ljust(258, b"\0"))
    write_entry(1, None, MAIL_MESSAGE, b"Power failure at #HOSTNAME#\n.\nSee the log.\0")


def power_failure_mails_each_recipient_once():
    began = time.monotonic()
    set_power(sim, "fail")
    delivered = wait_for(lambda: all(server.messages(a) for a in ADDRESSES), 30, interval=0.1)
    took = time.monotonic() - began
    check(delivered, "not delivered to both mailboxes within 30 s")
    computer = text(read_record(), COMPUTER_NAME, 256)
    set_power(sim, "restore")
    time.sleep(2)  # time for a second mail to arrive
    for address in ADDRESSES:
        got = server.messages(address)
        check(len(got) == 1, f"{address} got {len(got)} mails")
        headers = (got[0]["To"], got[0]["From"], got[0]["Subject"], got[0].get_payload())
        check(headers == ("ops@example.test;boss@example.test;", "UPS@" + socket.gethostname(),
                          "Ups Message", f"Power failure at {computer}\n.\nSee the log.\n\n"),
              f"got {headers}")
    print(f"       power failure to delivered mail: {took:.2f} s", flush=True)


def power_restored_before_the_mail_delay_sends_nothing():
    write_entry(1, "h", MAIL_DELAY, 5)
    before = server.connections()
    set_power(sim, "fail")
    time.sleep(1)
    set_power(sim, "restore")
    time.sleep(8)
    check(server.connections() == before, "the service reached the mail server")


def main():
    global args, server
    args = service_arguments(upssim=True)
    code = isolated_run(args, ("no namespaces here: the test would need this machine's port 25",
                               77))
    if code is not None:
        return code
    server = MailServer()
    try:
        start_service()
        return run_tests([
            ("PowerFailureMailsEachRecipientOnce", power_failure_mails_each_recipient_once),
            ("PowerRestoredBeforeTheMailDelaySendsNothing",
             power_restored_before_the_mail_delay_sends_nothing)])
    finally:
        if folder:
            close_run(folder, sim)
        server.stop()


if __name__ == "__main__":
    sys.exit(main())
