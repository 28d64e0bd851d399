#!/usr/bin/env python3
"""A Wine prefix of the tests' own, in a folder of theirs, with a wineserver
kept running meanwhile (so that each program starts in tens of milliseconds
instead of seconds).

COM ports: Wine maps the host's real serial devices onto the lowest free COM
names when its session starts. Here COM1 to COM255 are all named in the
prefix's registry, the one name left (COM256) is pointed away as soon as the
session is up, and a device found behind any COM name stops the run: no test
ever opens a real port. COM1 is the stable path <folder>/com1, which a test
points at its pseudo-terminal (a symbolic link); the others lead nowhere.

    wine_prefix.py up FOLDER [--null-display]    make it (again), start the server and
                                                 the serial-port peer (serial_peer.py)
    wine_prefix.py down FOLDER                   stop them and every program in the prefix,
                                                 and remove the prefix

The ctest fixture of the Windows build runs these two around the unit tests;
the end-to-end tests use the Prefix class."""

import os
import shutil
import subprocess
import sys

import serial_peer

PORTS = 255  # Wine takes names up to COM255 from the registry


class Prefix:
    def __init__(self, folder, null_display=False):
        self.folder = os.path.abspath(folder)
        self.path = os.path.join(self.folder, "prefix")
        self.com1 = os.path.join(self.folder, "com1")
        self.null_display = null_display
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEARCH="win64", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        if null_display:
            self.env.pop("DISPLAY", None)

    def registry(self):
        lines = ["REGEDIT4", "", r"[HKEY_LOCAL_MACHINE\Software\Wine\Ports]"]
        for n in range(1, PORTS + 1):
            target = self.com1 if n == 1 else os.path.join(self.folder, "no-port", f"com{n}")
            lines.append(f'"COM{n}"="{target}"')
        if self.null_display:
            # Windows can be made and found without an X server; the shell's
            # notification area cannot.
            lines += ["", r"[HKEY_CURRENT_USER\Software\Wine\Drivers]", '"Graphics"="null"']
        return "\r\n".join(lines) + "\r\n"

    def create(self):
        """A fresh prefix: about ten seconds, 700 MB."""
        shutil.rmtree(self.path, ignore_errors=True)
        os.makedirs(self.folder, exist_ok=True)
        self.run(["wineboot", "-i"], timeout=180)
        reg = os.path.join(self.folder, "ports.reg")
        with open(reg, "w") as f:
            f.write(self.registry())
        self.run(["wine", "regedit", "/S", reg], timeout=60)
        # The server reads the ports again at its next start.
        self.run(["wineserver", "-k"], timeout=60, check=False)
        self.run(["wineserver", "-w"], timeout=60, check=False)

    def start_server(self):
        """A persistent wineserver, its complaints (a pseudo-terminal closing
        under it prints a long dump) in a file; then the session, and the
        ports it made checked."""
        with open(os.path.join(self.folder, "wineserver.log"), "ab") as log:
            subprocess.run(["wineserver", "-p"], env=self.env, stdout=log, stderr=log,
                           timeout=60, check=True)
        self.run(["wine", "cmd", "/c", "exit"], timeout=120)
        self.keep_host_ports_out()

    def keep_host_ports_out(self):
        devices = os.path.join(self.path, "dosdevices")
        nowhere = os.path.join(self.folder, "no-port")
        for name in os.listdir(devices):
            link = os.path.join(devices, name)
            if not (name.startswith("com") and os.path.islink(link)):
                continue
            target = os.readlink(link)
            if target != self.com1 and not target.startswith(nowhere + os.sep):
                os.remove(link)
                os.symlink(os.path.join(nowhere, name), link)
        for name in os.listdir(devices):
            target = os.path.realpath(os.path.join(devices, name))
            if name.startswith("com") and target.startswith("/dev/tty"):
                raise RuntimeError(f"{name} leads to the host's {target}")

    def stop_server(self):
        self.run(["wineserver", "-k"], timeout=60, check=False)

    def wine(self, program, *arguments):
        return ["wine", program] + list(arguments)

    def run(self, command, timeout, check=True):
        return subprocess.run(command, env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=timeout, check=check)

    def windows_path(self, path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("up", "down"):
        print(__doc__, file=sys.stderr)
        return 2
    prefix = Prefix(sys.argv[2], null_display="--null-display" in sys.argv)
    if sys.argv[1] == "up":
        prefix.create()
        prefix.start_server()
        serial_peer.start(prefix.folder)
    else:
        serial_peer.stop(prefix.folder)
        prefix.stop_server()
        shutil.rmtree(prefix.path, ignore_errors=True)  # 700 MB
    return 0


if __name__ == "__main__":
    sys.exit(main())
