"""Page 23 with Debian's net-snmp agent reading the file it edits: a
community added on the page answers an snmpget of sysDescr, and no longer
does once removed; a trap receiver added on the page gets the agent's
start-up trap. The agent is the test's own (its own file, loopback port
1161, stopped by its PID); the page is kestrel run as the web server runs
it. A running agent rereads its file on SIGHUP, which the installation's
reload unit sends when the file changes; here the test sends it.

Runs in a network namespace of its own; without one it is skipped (77)."""

import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile

from harness import check, isolate, rerun_isolated, run_kestrel, run_tests, wait_for

SNMPD, SNMPGET = "/usr/sbin/snmpd", "/usr/bin/snmpget"
AGENT = "127.0.0.1:1161"
SYS_DESCR = "1.3.6.1.2.1.1.1.0"
TRAP_PORT = 1162
# What the installation's file has besides the page's lines, kept as it is.
OTHER_LINES = "# The agent of the SNMP test\nagentaddress udp:127.0.0.1:1161\n\n"

args = None


def port_taken(port):
    """True once something (the agent) has bound 127.0.0.1:port for UDP."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        try:
            probe.bind(("127.0.0.1", port))
            return False
        except OSError:
            return True


class Site:
    """kestrel in a service folder of its own, whose platform.ini points
    page 23 at snmpd.conf there, and an agent reading that file."""

    def __init__(self):
        self.path = tempfile.mkdtemp(prefix="orvik-snmp-")
        self.conf = os.path.join(self.path, "snmpd.conf")
        self.cgi_bin = os.path.join(self.path, "cgi-bin")
        os.makedirs(self.cgi_bin)
        shutil.copy(args.kestrel, self.cgi_bin)
        with open(os.path.join(self.path, "platform.ini"), "w") as f:
            f.write(f"SnmpdConf={self.conf}\n")
        with open(self.conf, "w") as f:
            f.write(OTHER_LINES)
        self.env = dict(os.environ, SNMP_PERSISTENT_DIR=os.path.join(self.path, "persist"),
                        MIBS="")
        self.agent = None

    def page(self, body=None):
        return run_kestrel(os.path.join(self.cgi_bin, "kestrel"), self.cgi_bin, "page=23", body)

    def start_agent(self):
        self.agent = subprocess.Popen([SNMPD, "-f", "-Lo", "-C", "-c", self.conf],
                                      env=self.env, stdout=subprocess.PIPE,
                                      stderr=subprocess.STDOUT)
        check(wait_for(lambda: port_taken(1161) or self.agent.poll() is not None, 10, 0.05)
              and self.agent.poll() is None, "snmpd did not start")

    def reread(self):
        self.agent.send_signal(signal.SIGHUP)

    def stop_agent(self):
        if self.agent and self.agent.poll() is None:
            self.agent.terminate()
            self.agent.wait(timeout=10)

    def get(self, community):
        """sysDescr with community; None when the agent does not answer."""
        run = subprocess.run([SNMPGET, "-v2c", "-c", community, "-On", "-t", "0.5", "-r", "0",
                              AGENT, SYS_DESCR], env=self.env, capture_output=True, text=True)
        return run.stdout.strip() if run.returncode == 0 else None

    def close(self):
        self.stop_agent()
        shutil.rmtree(self.path, ignore_errors=True)


def community_added_on_page_23_answers_until_removed():
    site = Site()
    try:
        site.start_agent()
        check(site.get("orvik7") is None, "an unknown community was answered")
        check(">orvik7</option>" in site.page("CmName=orvik7&CmAdd=+Add"),
              "page 23 does not list the new community")
        site.reread()
        answer = wait_for(lambda: site.get("orvik7"), 5, 0.2)
        check(answer and answer.startswith(f".{SYS_DESCR} = STRING:"),
              f"sysDescr with the new community: {answer}")
        page = site.page("CmSelect=01&CmRemove=Remove")
        check("orvik7" not in page, "page 23 still lists the removed community")
        with open(site.conf) as f:
            check(f.read() == OTHER_LINES, "the agent's other lines changed")
        site.reread()
        check(wait_for(lambda: site.get("orvik7") is None, 5, 0.2),
              "the removed community still answers")
    finally:
        site.close()


def trap_receiver_added_on_page_23_gets_the_start_up_trap():
    site = Site()
    try:
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as receiver:
            receiver.bind(("127.0.0.1", TRAP_PORT))
            receiver.settimeout(10)
            page = site.page(f"TrpName=127.0.0.1%3A{TRAP_PORT}&TrpAdd=+Add")
            check(f">127.0.0.1:{TRAP_PORT}\n" in page, "page 23 does not list the receiver")
            site.start_agent()
            trap, _ = receiver.recvfrom(4096)
        # An SNMPv1 trap PDU (tag 0xA4) of the generic trap coldStart (0).
        check(b"\xa4" in trap and b"\x02\x01\x00\x02\x01\x00" in trap,
              f"not a coldStart trap: {trap!r}")
    finally:
        site.close()


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("--kestrel", required=True)
    parser.add_argument("--isolated", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    args.kestrel = os.path.abspath(args.kestrel)
    if not args.isolated:
        code = rerun_isolated()
        if code is None:
            print("network namespaces are not available: skipped")
            return 77
        return code
    isolate()
    for need in (SNMPD, SNMPGET):
        if not os.path.exists(need):
            print(f"{need} is missing (scripts/install-deps.sh installs it): skipped")
            return 77
    return run_tests([
        ("CommunityAddedOnPage23AnswersUntilRemoved",
         community_added_on_page_23_answers_until_removed),
        ("TrapReceiverAddedOnPage23GetsTheStartUpTrap",
         trap_receiver_added_on_page_23_gets_the_start_up_trap)])


if __name__ == "__main__":
    sys.exit(main())
