"""The shutdown sequence of the running service, driven by upssim (a "Q1"
UPS), with shutDelay 10, systemDelay 5 and upsDelay 60: a failure shorter
than shutDelay shuts nothing down; a lasting one logs events 1, 25 and 125,
sends the UPS its switch-off with the restore time and runs the power-off
command (a recorder, as in every test) about 20 s after the failure; power
that returns meanwhile does not stop it, so the host is power-cycled rather
than left halted. With autoSave set and winsweep beside the service, the
sequence starts it on a virtual desktop: it closes an application there,
answering its save prompt, and the sequence waits for it at most systemDelay
while another application keeps it busy. In network and mount namespaces of
its own where it can."""

import os
import shutil
import sys
import time

from harness import (ALL_EVENTS, MANUFACTURER, RECORD_PATH, RunFolder, check, close_run,
                     event_entry as entry, isolated_run, power_requests, read_record, run_tests,
                     service_arguments, silence_actions, text, wait_for, write_record)
from desktop import Desktop, saved_answers
from upssim_run import UpsSim

args = None
# Within an event's entry: log, then broadcast, mail, page, execute, shutdown.
LOG_ENABLE, SHUT_ENABLE, SHUT_DELAY = 0, 1280, 1284
REBOOT_WITH_DURATION, SHUT_DEPEND, AUTO_SAVE, SYSTEM_DELAY, UPS_DELAY = (
    1072, 74788, 75044, 75048, 75050)
# rebootWithDuration 600 s less upsDelay: back on 9 (upssim) minutes after the output goes off.
SWITCH_OFF = "S01R0009\r"
EXPECTED_S = 10 + 5 + 5  # shutDelay, systemDelay, the pause after the UPS commands


class ShutdownRun:
    """upssim and upskeeper, every action off but the power failure's shutdown."""

    def __init__(self, closer=None):
        """closer: a Desktop whose windows winsweep, put beside the service,
        is to close; None leaves winsweep out."""
        self.folder, self.sim = RunFolder(args.upskeeper, args.data), None
        try:
            if closer:
                shutil.copy(args.winsweep, self.folder.path)
            self.sim = UpsSim(args.upssim, 2, self.folder.path,
                              {"manufacturer": "TESTWORKS", "model": "VALUE-1000",
                               "battery-charge": "80", "discharge": "0", "charge-rate": "0"})
            self.sim.platform_ini(self.folder.path)
            if closer:
                with open(os.path.join(self.folder.path, "platform.ini"), "a") as f:
                    f.write(f"Display={closer.display}\n")
            if os.path.exists(RECORD_PATH):
                os.unlink(RECORD_PATH)  # left by a crashed run
            self.folder.start()
            # ident.ini names the model's maker.
            check(wait_for(lambda: (r := read_record()) and
                           text(r, MANUFACTURER, 64) == "ACME-POWER", 120, interval=0.1),
                  "the service never identified the UPS")
            silence_actions()
            for event in ALL_EVENTS:
                write_record("i", entry(event) + LOG_ENABLE, event in (1, 25, 125))
            for fmt, offset, value in (
                    ("h", entry(1) + SHUT_DELAY, 10), ("i", entry(1) + SHUT_ENABLE, 1),
                    (None, SHUT_DEPEND, bytes(256)),
                    ("i", AUTO_SAVE, 1),  # without winsweep beside it this costs nothing
                    ("h", SYSTEM_DELAY, 5), ("h", UPS_DELAY, 60),
                    ("i", REBOOT_WITH_DURATION, 600)):
                write_record(fmt, offset, value)
        except Exception:
            self.close()
            raise

    def events(self):
        try:
            with open(os.path.join(self.folder.path, "kestrel.log"), encoding="latin-1") as f:
                return [int(line[:3]) for line in f if line[:3].isdigit()]
        except FileNotFoundError:
            return []

    def power(self, state):
        """Fails or restores the mains at upssim; the monotonic time it logged."""
        before = len(self.sim.logged("state"))
        self.sim.ctl("power", state)
        changes = wait_for(lambda: self.sim.logged("state")[before:], 5)
        check(changes, "upssim logged no state change")
        return changes[0][0]

    def powered_off(self, timeout):
        return wait_for(lambda: "power off requested" in power_requests(self.folder.path), timeout)

    def switch_offs(self):
        return [(t, c) for t, c in self.sim.received() if c.startswith("S")]

    def close(self):
        close_run(self.folder, self.sim)


def short_failure_shuts_nothing_down(run):
    run.power("fail")
    check(wait_for(lambda: 1 in run.events(), 5), "no event 1")
    time.sleep(5)
    run.power("restore")
    check(not run.powered_off(15), f"got {power_requests(run.folder.path)}")
    check(not run.switch_offs() and 25 not in run.events(), f"events {run.events()}")


def lasting_failure_shuts_down_in_order(run):
    logged = len(run.events())
    failed_at = run.power("fail")
    check(run.powered_off(EXPECTED_S + 20), "no power-off request")
    took = time.monotonic() - failed_at
    print(f"       power failure to the power-off command: {took:.2f} s", flush=True)
    check(EXPECTED_S - 0.5 <= took <= EXPECTED_S + 4, f"power-off after {took:.2f} s")
    check([e for e in run.events()[logged:] if e in (1, 25, 125)] == [1, 25, 125],
          f"events {run.events()}")
    offs = run.switch_offs()
    check([c for _, c in offs] == [SWITCH_OFF], f"the UPS got {offs}")
    check(15 <= offs[0][0] - failed_at < EXPECTED_S, f"UPS told {offs[0][0] - failed_at:.2f} s in")


def power_back_during_the_sequence_still_power_cycles(run):
    run.power("fail")
    check(wait_for(lambda: 25 in run.events(), 13), "no event 25")
    # Polling has stopped for good: the service no longer hears the UPS.
    restored_at = run.power("restore")
    check(run.powered_off(EXPECTED_S + 20), "no power-off request")
    check([e for e in run.events() if e in (1, 25, 125)] == [1, 25, 125], f"{run.events()}")
    offs = run.switch_offs()
    check([c for _, c in offs] == [SWITCH_OFF] and offs[0][0] > restored_at, f"UPS got {offs}")


def closer_runs_and_is_waited_for_at_most_system_delay():
    desktop = Desktop()
    run = None
    try:
        def app(name, *options):
            saved = os.path.join(desktop.folder, name)
            desktop.start_app([args.prompt_app, "--title", name, "--save", saved, *options])
            return saved

        editor = app("Editor")
        stubborn = app("Stubborn", "--forever")  # asks again after each answer
        run = ShutdownRun(closer=desktop)
        failed_at = run.power("fail")
        check(run.powered_off(EXPECTED_S + 30), "no power-off request")
        took = time.monotonic() - failed_at
        answered = saved_answers(stubborn).count("yes")
        print(f"       with winsweep busy: power failure to the power-off command {took:.2f} s",
              flush=True)
        # The sequence gives winsweep systemDelay, then its own grace: 5 s more
        # than without it, never the half minute the stubborn prompt holds it.
        check(took <= EXPECTED_S + 5 + 5, f"power-off after {took:.2f} s")
        # winsweep goes on after the sequence stops waiting for it.
        check(wait_for(lambda: saved_answers(stubborn).count("yes") > answered, 60, 0.2),
              f"winsweep answered the stubborn prompt {answered} times, then no more")
        check(wait_for(lambda: saved_answers(editor) == "yes\n", 90, 0.2),
              f"the editor saved {saved_answers(editor)!r}")
    finally:
        if run:
            run.close()
        desktop.close()


def main():
    global args
    args = service_arguments(upssim=True, extra=("--winsweep", "--prompt-app"))
    code = isolated_run(args)
    if code is not None:
        return code

    def with_run(*steps):  # the sequence stops polling for good: one service each
        def test():
            run = ShutdownRun()
            try:
                for step in steps:
                    step(run)
            finally:
                run.close()
        return test

    return run_tests([
        ("ShortFailureThenLastingFailure",
         with_run(short_failure_shuts_nothing_down, lasting_failure_shuts_down_in_order)),
        ("PowerBackDuringTheSequenceStillPowerCycles",
         with_run(power_back_during_the_sequence_still_power_cycles)),
        ("CloserRunsAndIsWaitedForAtMostSystemDelay",
         closer_runs_and_is_waited_for_at_most_system_delay),
    ])


if __name__ == "__main__":
    sys.exit(main())
