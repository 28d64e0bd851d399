"""upskeeper creates the status record with its start-up values and stops in
order on SIGTERM."""

import os
import sys

from harness import (harmless_power_lines, service_arguments, RECORD_PATH, RECORD_SIZE, RunFolder, check, field, read_record,
                     run_tests, text, wait_for)

args = None


def started_service():
    folder = RunFolder(args.upskeeper, args.data)
    # No UPS line: a probe of a real but silent port would hold the stop for
    # up to two probe steps, which is not what these tests measure.
    with open(os.path.join(folder.path, "platform.ini"), "w") as f:
        f.write(f"COM1={os.path.join(folder.path, 'no-such-port')}\n" +
                harmless_power_lines(folder.path))
    if os.path.exists(RECORD_PATH):
        os.unlink(RECORD_PATH)  # left by a crashed run; the service makes its own
    folder.start()
    record = wait_for(lambda: (r := read_record()) and field(r, "I", 484) and r, 5)
    return folder, record


def record_holds_start_up_values():
    folder, record = started_service()
    try:
        check(record is not None, "no status record appeared")
        check(len(record) == RECORD_SIZE, f"record has {len(record)} bytes")
        expected = [
            (text(record, 192, 64), "1.0"), (text(record, 256, 64), "UPS"),
            (text(record, 320, 64), "NA"), (field(record, "I", 484), 0x01000000),
            (field(record, "h", 766), 6), (field(record, "H", 1354), 71),
            (field(record, "i", 1616), 1), (field(record, "h", 75048), 30),
            (field(record, "h", 75050), 60), (field(record, "i", 75052), 32000),
            (field(record, "i", 75056), 32000), (field(record, "h", 75060), 60),
        ]
        for got, want in expected:
            check(got == want, f"expected {want!r}, found {got!r}")
        mode = os.stat(RECORD_PATH).st_mode & 0o777
        check(mode == 0o660, f"record mode is {oct(mode)}")
    finally:
        folder.cleanup()


def sigterm_stops_quickly_with_code_zero():
    folder, record = started_service()
    try:
        check(record is not None, "service did not start")
        code, seconds = folder.stop()
        check(code == 0, f"exit code {code}")
        check(seconds < 1.0, f"stop took {seconds:.3f} s")
        check(not os.path.exists(RECORD_PATH), "record name left behind after the stop")
    finally:
        folder.cleanup()


def main():
    global args
    args = service_arguments()
    return run_tests([
        ("RecordHoldsStartUpValues", record_holds_start_up_values),
        ("SigtermStopsQuicklyWithCodeZero", sigterm_stops_quickly_with_code_zero),
    ])


if __name__ == "__main__":
    sys.exit(main())
