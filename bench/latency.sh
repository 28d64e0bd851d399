#!/usr/bin/env bash
# How soon upskeeper sees a power failure: with upssim's plain "Q1" UPS, the
# seconds from the moment the mains fails in upssim (its log's "state mains
# absent" line, CLOCK_MONOTONIC) to (a) bit 1 of alarmFlags in the status
# record, read every 2 ms, and (b) the "001" line in the event log
# kestrel.log, looked for every 2 ms, (c) the notice datagram at a
# receiver on 127.0.0.1:8830 (the power failure's network notice to
# "localhost" with a delay of 0), and (d) the power failure's execute action
# (delay 0) running its command, "touch" of a file looked for every 2 ms;
# every other action off. The median, the least and the worst of each over
# RUNS runs, each failure at a random moment of the poll cycle.
#
#   bench/latency.sh [RUNS]     (default 11, at least 9; BUILD names the build folder)
#
# Runs in network and mount namespaces of its own (a loopback for port 8828,
# a /dev/shm for the record), so that it can run beside the tests; that
# takes root.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
runs=${1:-11}
if [ "$runs" -lt 9 ]; then
  echo "latency.sh: at least 9 runs" >&2
  exit 2
fi
if [ -z "${ORVIK_LATENCY_ISOLATED:-}" ]; then
  ninja -C "$build" -j2 upskeeper upssim >/dev/null
  export ORVIK_LATENCY_ISOLATED=1
  exec unshare --net --mount "$0" "$@"
fi
exec python3 - "$build" "$runs" <<'PY'
import mmap, os, random, shutil, socket, statistics, struct, sys, time
sys.path.insert(0, "tests/e2e")
from harness import RECORD_PATH, RECORD_SIZE, RunFolder, isolate, wait_for
from upssim_run import PLAIN_Q1, UpsSim

build, runs = sys.argv[1], int(sys.argv[2])
ALARM_FLAGS, INPUT_VOLTAGE = 484, 408
ON_BATTERY = 1 << 1
POLL_S = 0.002
# Longer than the slowest poll lap (two 1.2 s exchanges), so that the
# failure falls anywhere in it.
SPREAD_S = 3.0
GIVE_UP_S = 30.0
# The power failure's network notice: every event's actions off but its.
EVENT_ACTIONS, RECOVERY_ACTIONS, ENTRY_SIZE = 1880, 37944, 1288
BNM_ENABLE, BNM_DELAY, BNM_PERIOD, BNM_USERS = 4, 8, 110, 112
OTHER_ENABLES = (368, 732, 1012, 1280)  # mail, page, execute, shutdown
EXECUTE_ENABLE, EXECUTE_DELAY, EXECUTE_COMMAND = 1012, 1016, 1018
NOTIFY_PORT = 8830


def notice_and_command_only(command):
    with open(RECORD_PATH, "r+b") as f:
        def put(fmt, offset, value):
            f.seek(offset)
            f.write(struct.pack("<" + fmt, value) if fmt else value)
        for base, count in ((EVENT_ACTIONS, 28), (RECOVERY_ACTIONS, 28)):
            for event in range(count):
                for offset in (BNM_ENABLE,) + OTHER_ENABLES:
                    put("i", base + event * ENTRY_SIZE + offset, 0)
        power = EVENT_ACTIONS + ENTRY_SIZE
        put("h", power + BNM_DELAY, 0)
        put("h", power + BNM_PERIOD, 0)
        put(None, power + BNM_USERS, b"localhost".ljust(256, b"\0"))
        put("i", power + BNM_ENABLE, 1)
        put("h", power + EXECUTE_DELAY, 0)
        put(None, power + EXECUTE_COMMAND, command.encode().ljust(262, b"\0"))
        put("i", power + EXECUTE_ENABLE, 1)

isolate()
folder = RunFolder(os.path.join(build, "src/service/core/upskeeper"), "data")
sim = UpsSim(os.path.join(build, "tools/upssim/upssim"), PLAIN_Q1, folder.path)
event_log = os.path.join(folder.path, "kestrel.log")
executed = os.path.join(folder.path, "executed")


def failure_lines():
    try:
        with open(event_log, encoding="latin-1", newline="") as f:
            return sum(line.startswith("001") for line in f.read().split("\r\n"))
    except FileNotFoundError:
        return 0


try:
    sim.platform_ini(folder.path)
    folder.start()
    if not wait_for(lambda: os.path.exists(RECORD_PATH), 10, 0.05):
        sys.exit("latency.sh: the service made no record")
    with open(RECORD_PATH, "rb") as f:
        record = mmap.mmap(f.fileno(), RECORD_SIZE, prot=mmap.PROT_READ)
    flags = lambda: struct.unpack_from("<I", record, ALARM_FLAGS)[0]
    # Polling: the first "Q1" reply has reached the record.
    if not wait_for(lambda: struct.unpack_from("<h", record, INPUT_VOLTAGE)[0] == 230, 60, 0.05):
        sys.exit("latency.sh: the service never read the UPS's input voltage")
    # The identity and settings groups are read once after identification,
    # "F" last; the runs measure the laps that follow, where only "Q1" is
    # polled (as long as the link holds).
    def settled():
        heard = [c for _, c in sim.received()]
        return "F\r" in heard and "Q1\r" in heard[len(heard) - heard[::-1].index("F\r"):]
    if not wait_for(settled, 60, 0.05):
        print("latency.sh: no \"Q1\" poll after \"F\" within 60 s; measuring anyway", flush=True)

    notice_and_command_only(f'"{shutil.which("touch")}" "{executed}"')
    receiver = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    receiver.bind(("127.0.0.1", NOTIFY_PORT))
    receiver.setblocking(False)

    def drain():
        try:
            while True:
                receiver.recv(2048)
        except BlockingIOError:
            pass

    to_record, to_log, to_notice, to_command = [], [], [], []
    print("run  record s  log s  notice s  command s")
    for n in range(1, runs + 1):
        time.sleep(random.uniform(0, SPREAD_S))
        lines_before = failure_lines()
        failures_before = sum(t == "mains absent" for _, t in sim.logged("state"))
        drain()
        if os.path.exists(executed):
            os.unlink(executed)
        sim.ctl("power", "fail")
        seen_record = seen_log = seen_notice = seen_command = None
        log_size = os.path.getsize(event_log) if os.path.exists(event_log) else 0
        deadline = time.monotonic() + GIVE_UP_S
        while None in (seen_record, seen_log, seen_notice, seen_command) and \
                time.monotonic() < deadline:
            now = time.monotonic()
            if seen_command is None and os.path.exists(executed):
                seen_command = now
            if seen_notice is None:
                try:
                    receiver.recv(2048)
                    seen_notice = now
                except BlockingIOError:
                    pass
            if seen_record is None and flags() & ON_BATTERY:
                seen_record = now
            if seen_log is None and os.path.exists(event_log) and \
                    os.path.getsize(event_log) != log_size:
                log_size = os.path.getsize(event_log)
                if failure_lines() > lines_before:
                    seen_log = now
            time.sleep(POLL_S)
        failed_at = [t for t, text in sim.logged("state") if text == "mains absent"]
        if len(failed_at) <= failures_before or \
                None in (seen_record, seen_log, seen_notice, seen_command):
            sys.exit(f"latency.sh: run {n}: not seen within {GIVE_UP_S:.0f} s "
                     f"(record {seen_record}, log {seen_log}, notice {seen_notice}, "
                     f"command {seen_command})")
        to_record.append(seen_record - failed_at[-1])
        to_log.append(seen_log - failed_at[-1])
        to_notice.append(seen_notice - failed_at[-1])
        to_command.append(seen_command - failed_at[-1])
        print(f"{n:3}  {to_record[-1]:8.3f}  {to_log[-1]:5.3f}  {to_notice[-1]:8.3f}  "
              f"{to_command[-1]:9.3f}", flush=True)
        sim.ctl("power", "restore")
        if not wait_for(lambda: not flags() & ON_BATTERY, GIVE_UP_S, 0.01):
            sys.exit(f"latency.sh: run {n}: the record never saw the mains return")

    for name, values in (("record (bit 1)", to_record), ("event log (001)", to_log),
                         ("notice on 8830", to_notice), ("command (execute)", to_command)):
        print(f"power failure to the {name}: median {statistics.median(values):.3f} s, "
              f"least {min(values):.3f} s, worst {max(values):.3f} s over {runs} runs")
finally:
    if folder.process and folder.process.poll() is None:
        folder.stop(timeout=30)
    folder.cleanup()
    sim.stop()
PY
