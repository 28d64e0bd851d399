#!/usr/bin/env python3
"""A Wine prefix of the tests' own, in a folder of theirs, with a wineserver
kept running meanwhile (so that each program starts in tens of milliseconds
instead of seconds).

COM ports: Wine would map the host's real serial devices onto the lowest
free COM names at every wineserver start; here COM1 to COM9 are all named in
the prefix's registry instead, so that no test ever opens a real port. COM1
is the stable path <folder>/com1, which a test points at its pseudo-terminal
(a symbolic link); the others lead nowhere.

    wine_prefix.py up FOLDER [--null-display]    make it (again) and start the server
    wine_prefix.py down FOLDER                   stop the server and every program in it

The ctest fixture of the Windows build runs these two around the unit tests;
the end-to-end tests use the Prefix class."""

import os
import shutil
import subprocess
import sys

PORTS = 9


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
        under it prints a long dump) in a file."""
        with open(os.path.join(self.folder, "wineserver.log"), "ab") as log:
            subprocess.run(["wineserver", "-p"], env=self.env, stdout=log, stderr=log,
                           timeout=60, check=True)

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
    else:
        prefix.stop_server()
    return 0


if __name__ == "__main__":
    sys.exit(main())
