"""The far end of a COM port for the Windows build's serial-port contract
test: the test program runs under Wine and cannot make a pseudo-terminal, so
this helper makes them and plays the device, on the test's orders over a TCP
connection on loopback. One line per order, one line per answer:

    open            a fresh pseudo-terminal behind <folder>/com1 (COM1)  -> ok
    send HEX MS     the device sends the bytes MS milliseconds from now  -> ok
    recv N          the first N bytes the port wrote, waiting up to 2 s -> HEX
    unplug          the device goes away (its side is closed)             -> ok

wine_prefix.py starts and stops it with the prefix."""

import os
import pty
import select
import signal
import socket
import threading
import time
import tty


class Device:
    def __init__(self, link):
        self.master, slave = pty.openpty()
        self.slave_path = os.ttyname(slave)
        # A Windows COM port has no line discipline; a terminal's would echo
        # and translate until the port's first settings reach it.
        tty.setraw(slave)
        os.close(slave)
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(self.slave_path, link)
        self.lock = threading.Lock()

    def send(self, data, delay_ms):
        def later():
            time.sleep(delay_ms / 1000)
            with self.lock:
                if self.master is not None:
                    os.write(self.master, data)
        threading.Thread(target=later, daemon=True).start()

    def receive(self, count):
        got = b""
        deadline = time.monotonic() + 2
        while len(got) < count and self.master is not None:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.master], [], [], left)[0]:
                break
            try:
                got += os.read(self.master, count - len(got))
            except OSError:
                break
        return got

    def unplug(self):
        with self.lock:
            if self.master is not None:
                os.close(self.master)
                self.master = None


def serve(folder, listener):
    link = os.path.join(folder, "com1")
    device = None
    while True:
        connection, _ = listener.accept()
        with connection, connection.makefile("rwb", buffering=0) as stream:
            for line in stream:
                words = line.decode().split()
                answer = "ok"
                if words[:1] == ["open"]:
                    if device:
                        device.unplug()
                    device = Device(link)
                elif words[:1] == ["send"] and device:
                    device.send(bytes.fromhex(words[1]), int(words[2]))
                elif words[:1] == ["recv"] and device:
                    answer = device.receive(int(words[1])).hex() or "-"
                elif words[:1] == ["unplug"] and device:
                    device.unplug()
                else:
                    answer = "error"
                stream.write((answer + "\n").encode())


def start(folder):
    """Serves in a child process of its own; the port number is in
    folder/serial_peer.port when this returns."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    with open(os.path.join(folder, "serial_peer.port"), "w") as f:
        f.write(str(listener.getsockname()[1]))
    child = os.fork()
    if child:
        listener.close()
        with open(os.path.join(folder, "serial_peer.pid"), "w") as f:
            f.write(str(child))
        return
    os.setsid()
    null = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(null, fd)
    try:
        serve(folder, listener)
    finally:
        os._exit(0)


def stop(folder):
    try:
        with open(os.path.join(folder, "serial_peer.pid")) as f:
            os.kill(int(f.read()), signal.SIGTERM)
    except (OSError, ValueError):
        pass
