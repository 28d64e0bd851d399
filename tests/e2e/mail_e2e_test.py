"""E-mail from the running service through a real mail server: a power
failure at upssim mails the event's message to both addresses of its
mailUsers, each delivered once to its mailbox with the "To:", "From:" and
"Subject: Ups Message" lines and the expanded text, its "." line whole; with
a mail delay, power that comes back first sends nothing.

The server is Postfix, configured here to deliver the domain example.test to
mailbox files of its own, and started and stopped by this test. It listens
on port 25 of 127.0.0.2, which "smtp.ini" beside the service names, so only
in network and mount namespaces of this test's own; without them the test
is skipped (exit code 77)."""

import mailbox
import os
import pwd
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

from harness import (RECORD_PATH, RunFolder, check, close_run, field, isolate, read_record,
                     rerun_isolated, run_tests, service_arguments, text, wait_for)
from upssim_run import UpsSim

SKIPPED = 77
SERVER = "127.0.0.2"
ADDRESSES = ("ops@example.test", "boss@example.test")

# Record offsets (src/shared/status_record.h).
MANUFACTURER = 0
ALARM_FLAGS = 484
EVENT_ACTIONS, RECOVERY_ACTIONS, ENTRY_SIZE = 1880, 37944, 1288
COMPUTER_NAME = 76416
# Within an event's entry.
MAIL_ENABLE, MAIL_DELAY, MAIL_MESSAGE, MAIL_USERS = 368, 372, 374, 474
OTHER_ENABLES = (4, 732, 1012, 1280)  # broadcast, page, execute, shutdown
ON_BATTERY = 1 << 1

MASTER_CF = f"""\
{SERVER}:25 inet n - n - - smtpd
pickup    unix  n - n 60  1 pickup
cleanup   unix  n - n -   0 cleanup
qmgr      unix  n - n 300 1 qmgr
rewrite   unix  - - n -   - trivial-rewrite
bounce    unix  - - n -   0 bounce
defer     unix  - - n -   0 bounce
trace     unix  - - n -   0 bounce
verify    unix  - - n -   1 verify
proxymap  unix  - - n -   - proxymap
error     unix  - - n -   - error
retry     unix  - - n -   - error
discard   unix  - - n -   - discard
virtual   unix  - n n -   - virtual
anvil     unix  - - n -   1 anvil
scache    unix  - - n -   1 scache
postlog   unix-dgram n - n - 1 postlogd
"""


class MailServer:
    """Postfix in a folder of its own, delivering ADDRESSES to mailbox files."""

    def __init__(self):
        self.path = tempfile.mkdtemp(prefix="orvik-mail-")
        os.chmod(self.path, 0o755)  # the delivery agent runs as the postfix user
        conf, self.boxes = os.path.join(self.path, "conf"), os.path.join(self.path, "mail")
        for folder in (conf, self.boxes, os.path.join(self.path, "queue")):
            os.mkdir(folder)
        owner = pwd.getpwnam("postfix")
        os.chown(self.boxes, owner.pw_uid, owner.pw_gid)
        with open(os.path.join(conf, "main.cf"), "w") as f:
            f.write(f"""compatibility_level = 3.6
queue_directory = {self.path}/queue
data_directory = {self.path}/data
meta_directory = /etc/postfix
maillog_file = /dev/stdout
myhostname = mail.example.test
mydestination =
alias_maps =
local_recipient_maps =
inet_interfaces = loopback-only
inet_protocols = ipv4
local_header_rewrite_clients =
smtputf8_enable = no
virtual_mailbox_domains = example.test
virtual_mailbox_base = {self.boxes}
virtual_mailbox_maps = texthash:{conf}/mailboxes
virtual_uid_maps = static:{owner.pw_uid}
virtual_gid_maps = static:{owner.pw_gid}
""")
        with open(os.path.join(conf, "mailboxes"), "w") as f:
            f.writelines(f"{address} {address.split('@')[0]}\n" for address in ADDRESSES)
        with open(os.path.join(conf, "master.cf"), "w") as f:
            f.write(MASTER_CF)
        self.log_path = os.path.join(self.path, "maillog")
        subprocess.run(["postfix", "-c", conf, "check"], check=True, timeout=60)
        with open(self.log_path, "w") as log:
            # The start script waits for the master, which it runs in a session of its own.
            self.process = subprocess.Popen(["postfix", "-c", conf, "start-fg"], stdout=log,
                                            stderr=subprocess.STDOUT)
        check(wait_for(self.listening, 30, interval=0.1), "the mail server never listened")

    def listening(self):
        try:
            socket.create_connection((SERVER, 25), timeout=1).close()
            return True
        except OSError:
            return False

    def messages(self, address):
        path = os.path.join(self.boxes, address.split("@")[0])
        return list(mailbox.mbox(path, create=False)) if os.path.exists(path) else []

    def connections(self):
        """Sessions the server has seen, the probes of listening() included."""
        with open(self.log_path, encoding="latin-1") as f:
            return f.read().count(" connect from ")

    def stop(self):
        """Ends the master by the PID it wrote; it ends its own daemons."""
        master = None
        try:
            with open(os.path.join(self.path, "queue", "pid", "master.pid")) as f:
                master = int(f.read())
            os.kill(master, signal.SIGTERM)
            self.process.wait(timeout=30)
        except (OSError, ValueError, subprocess.TimeoutExpired):
            if master:
                try:
                    os.killpg(master, signal.SIGKILL)  # the master leads its own group
                except ProcessLookupError:
                    pass
            self.process.kill()
            self.process.wait()
        finally:
            shutil.rmtree(self.path, ignore_errors=True)


args = None
server = None
service = None


def entry(event):
    return (EVENT_ACTIONS + event * ENTRY_SIZE if event < 100 else
            RECOVERY_ACTIONS + (event - 100) * ENTRY_SIZE)


def write_record(fmt, offset, value):
    with open(RECORD_PATH, "r+b") as record:
        record.seek(offset)
        record.write(struct.pack("<" + fmt, value) if fmt else value)


class MailRun:
    """upssim and upskeeper with only the power failure's mail enabled."""

    def __init__(self):
        self.folder = RunFolder(args.upskeeper, args.data)
        self.sim = None
        try:
            with open(os.path.join(self.folder.path, "smtp.ini"), "w") as f:
                f.write(f"  {SERVER} \r\nignored\r\n")
            self.sim = UpsSim(args.upssim, 2, self.folder.path,
                              {"manufacturer": "TESTWORKS", "model": "VALUE-1000",
                               "battery-charge": "80", "discharge": "0", "charge-rate": "0"})
            self.sim.platform_ini(self.folder.path)
            if os.path.exists(RECORD_PATH):
                os.unlink(RECORD_PATH)
            os.environ["LC_ALL"] = "C"
            self.folder.start()
            identified = wait_for(lambda: (r := read_record()) and
                                  text(r, MANUFACTURER, 64) == "ACME-POWER", 120, interval=0.1)
            check(identified, "the service never identified the UPS")
            for event in list(range(28)) + list(range(100, 128)):
                for offset in OTHER_ENABLES + (MAIL_ENABLE,):
                    write_record("i", entry(event) + offset, 0)
            power = entry(1)
            write_record("i", power + MAIL_ENABLE, 1)
            write_record("h", power + MAIL_DELAY, 0)
            write_record(None, power + MAIL_USERS, ";".join(ADDRESSES).encode().ljust(258, b"\0"))
            write_record(None, power + MAIL_MESSAGE,
                         b"Power failure at #HOSTNAME#\n.\nSee the log.".ljust(100, b"\0"))
        except Exception:
            self.close()
            raise

    def on_battery(self):
        return field(read_record(), "I", ALARM_FLAGS) & ON_BATTERY

    def fail_and_restore(self, restore_after):
        self.sim.ctl("power", "fail")
        check(wait_for(self.on_battery, 10), "power failure not seen")
        time.sleep(restore_after)
        self.sim.ctl("power", "restore")
        check(wait_for(lambda: not self.on_battery(), 10), "power restore not seen")

    def close(self):
        close_run(self.folder, self.sim)


def power_failure_mails_each_recipient_once():
    began = time.monotonic()
    service.sim.ctl("power", "fail")
    delivered = wait_for(lambda: all(server.messages(a) for a in ADDRESSES), 30, interval=0.1)
    took = time.monotonic() - began
    check(delivered, "not delivered to both mailboxes within 30 s")
    computer = text(read_record(), COMPUTER_NAME, 256)
    service.sim.ctl("power", "restore")
    time.sleep(2)  # a second mail would have arrived by now
    for address in ADDRESSES:
        got = server.messages(address)
        check(len(got) == 1, f"{address} got {len(got)} mails")
        mail = got[0]
        check(mail["To"] == "ops@example.test;boss@example.test;", f"To: {mail['To']!r}")
        check(mail["From"] == "UPS@" + socket.gethostname(), f"From: {mail['From']!r}")
        check(mail["Subject"] == "Ups Message", f"Subject: {mail['Subject']!r}")
        body = mail.get_payload()
        check(body == f"Power failure at {computer}\n.\nSee the log.\n\n", f"body {body!r}")
    print(f"       power failure to delivered mail: {took:.2f} s", flush=True)


def power_restored_before_the_mail_delay_sends_nothing():
    write_record("h", entry(1) + MAIL_DELAY, 5)
    before = server.connections()
    service.fail_and_restore(1)
    time.sleep(8)
    check(server.connections() == before, "the service reached the mail server")
    check(all(len(server.messages(a)) == 1 for a in ADDRESSES), "a second mail arrived")


def main():
    global args, server, service
    args = service_arguments(upssim=True)
    args.upskeeper, args.upssim = os.path.abspath(args.upskeeper), os.path.abspath(args.upssim)
    args.data = os.path.abspath(args.data)
    if not args.isolated:
        code = rerun_isolated()
        if code is None:
            print("no namespaces here: a mail server on port 25 is left out")
            return SKIPPED
        return code
    isolate()
    tests = [
        ("PowerFailureMailsEachRecipientOnce", power_failure_mails_each_recipient_once),
        ("PowerRestoredBeforeTheMailDelaySendsNothing",
         power_restored_before_the_mail_delay_sends_nothing),
    ]
    server = MailServer()
    try:
        service = MailRun()
        try:
            return run_tests(tests)
        finally:
            service.close()
    finally:
        server.stop()


if __name__ == "__main__":
    sys.exit(main())
