"""A running modemsim for the end-to-end tests: its pseudo-terminal behind a
link path, its control socket, and the lines its log says it received, with
their CLOCK_MONOTONIC times."""

import re

from upssim_run import UpsSim, unescape

RX_TEXT = re.compile(r'"((?:[^"\\]|\\.)*)" (\S+)')


class ModemSim(UpsSim):
    """modemsim with its files in folder; settings as for "NAME VALUE". Its
    command line, control client and log are upssim's, so ctl(), logged()
    and stop() are taken over as they are."""

    def __init__(self, modemsim, folder, settings=None):
        self.start(modemsim, folder, "modem", [], settings)

    def received(self):
        """[(monotonic seconds, line as text, what the modem made of it)]."""
        return [(t, unescape(m.group(1)), m.group(2)) for t, text in self.logged("rx")
                if (m := RX_TEXT.match(text))]
