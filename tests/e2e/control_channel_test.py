"""upskeeper's control port from outside: the stop and save commands as
datagrams to 127.0.0.1:8828, the port bound to loopback only, one instance at
a time."""

import os
import socket
import struct
import sys

from harness import (service_arguments, RECORD_PATH, RunFolder, check, field, read_record,
                     run_tests, wait_for, write_record)

CONTROL_PORT = 8828
STOP_COMMAND = 35152

args = None


def bound_udp(port, table="/proc/net/udp"):
    """Local addresses (dotted) of the sockets bound to port, from the kernel."""
    found = []
    with open(table) as lines:
        next(lines)
        for line in lines:
            local = line.split()[1]
            address, hex_port = local.rsplit(":", 1)
            if int(hex_port, 16) != port:
                continue
            if len(address) == 8:  # IPv4: the address word in host byte order
                found.append(socket.inet_ntoa(struct.pack("<I", int(address, 16))))
            else:
                found.append(address)
    return found


def send(command, argument=0):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sender:
        sender.sendto(struct.pack(">IiI", command, argument, 0), ("127.0.0.1", CONTROL_PORT))


def started_service():
    check(not bound_udp(CONTROL_PORT), "port 8828 is in use; is an upskeeper running?")
    folder = RunFolder(args.upskeeper, args.data)
    if os.path.exists(RECORD_PATH):
        os.unlink(RECORD_PATH)  # left by a crashed run
    folder.start()
    ready = wait_for(lambda: bound_udp(CONTROL_PORT) and
                     (r := read_record()) and field(r, "I", 484), 5)
    if not ready:
        folder.cleanup()
        check(False, "the service did not open its control port and record")
    return folder


def exit_code(folder, timeout=40):
    try:
        return folder.process.wait(timeout=timeout)
    except Exception:
        return None


def stop_command_ends_the_service_with_code_zero():
    folder = started_service()
    try:
        send(STOP_COMMAND)
        code = exit_code(folder)
        check(code == 0, f"exit code {code}")
        check(not bound_udp(CONTROL_PORT), "control port still bound after the stop")
        check(not os.path.exists(RECORD_PATH), "record name left behind after the stop")
    finally:
        folder.cleanup()


def control_port_is_bound_to_loopback_only():
    folder = started_service()
    try:
        addresses = bound_udp(CONTROL_PORT)
        check(addresses == ["127.0.0.1"], f"control port bound on {addresses}")
        check(not bound_udp(CONTROL_PORT, "/proc/net/udp6"), "control port bound on IPv6")
    finally:
        send(STOP_COMMAND)
        exit_code(folder)
        folder.cleanup()


def second_instance_exits_with_code_one_before_touching_the_record():
    first = started_service()
    second = RunFolder(args.upskeeper, args.data)
    try:
        write_record("h", 75048, 99)  # systemDelay; a start would put back 30
        second.start()
        code = exit_code(second, 10)
        check(code == 1, f"second instance exit code {code}")
        errors = second.process.stderr.read().decode("latin-1")
        check(errors.startswith("Power Device Service: "), f"no message box line: {errors!r}")
        check(first.process.poll() is None, "the first instance ended")
        check(field(read_record(), "h", 75048) == 99, "the second instance reset the record")
        check(bound_udp(CONTROL_PORT) == ["127.0.0.1"], "the first instance lost its port")
    finally:
        send(STOP_COMMAND)
        exit_code(first)
        first.cleanup()
        second.cleanup()


def save_command_writes_the_settings_file():
    folder = started_service()
    settings = os.path.join(folder.path, "kestrel.cfg")
    try:
        if os.path.exists(settings):
            os.unlink(settings)
        write_record("h", 75048, 45)  # systemDelay, as the shutdown page would
        send(4096)
        saved = wait_for(lambda: os.path.exists(settings) and os.path.getsize(settings) == 74968, 5)
        check(saved, "no whole settings file after command 4096")
        with open(settings, "rb") as image:
            data = image.read()
        # systemDelay lies in the sixth saved block, which starts at 74008
        # and at 64 + 64 + 2 + 564 + 72128 bytes into the file.
        offset = 64 + 64 + 2 + 564 + 72128 + (75048 - 74008)
        check(struct.unpack_from("<h", data, offset)[0] == 45, "the saved systemDelay is not 45")
    finally:
        send(STOP_COMMAND)
        exit_code(folder)
        folder.cleanup()


def main():
    global args
    args = service_arguments()
    return run_tests([
        ("StopCommandEndsTheServiceWithCodeZero", stop_command_ends_the_service_with_code_zero),
        ("ControlPortIsBoundToLoopbackOnly", control_port_is_bound_to_loopback_only),
        ("SecondInstanceExitsWithCodeOneBeforeTouchingTheRecord",
         second_instance_exits_with_code_one_before_touching_the_record),
        ("SaveCommandWritesTheSettingsFile", save_command_writes_the_settings_file),
    ])


if __name__ == "__main__":
    sys.exit(main())
