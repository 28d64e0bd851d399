#include "modem_options.h"

namespace orvik::modemsim {

std::string helpText() {
  return R"(modemsim: a simulated Hayes modem on a pseudo-terminal.

Usage:
  modemsim [--link PATH] [--ctl PATH] [--log PATH] [--quiet] [--set NAME=VALUE]...
  modemsim ctl --socket PATH COMMAND [WORD]...
  modemsim --help

modemsim opens a pseudo-terminal in raw mode, prints its device path on
standard output (one line) and answers on it as a Hayes modem until it gets
SIGINT or SIGTERM. The line speed a host sets is ignored.

Options:
  --link PATH       also make PATH a symbolic link to the device (for a
                    platform.ini line COM2=PATH); removed on exit
  --ctl PATH        listen for control commands on a Unix stream socket
  --log PATH        append log lines to PATH (they also go to standard
                    error unless --quiet)
  --quiet           no log lines on standard error
  --set NAME=VALUE  start-up value, as the control command "NAME VALUE"
                    (e.g. --set dial-ms=500, --set silent=on); may be repeated

ctl: sends one control command to a running modemsim and prints the answer;
exit status 0 for "ok ...", 1 otherwise. Example:
  modemsim ctl --socket /tmp/modem.sock dial-result busy

Control commands (one a line; each answers "ok ..." or "error: ..."):
  status                          one line of name=value pairs
  silent on|off                   hear and log, but send nothing back
  garbage on|off                  replace everything sent by noise of its length
  stream on|off                   send 8 bytes of noise every 10 ms, always
  dial-result connect|busy|no-carrier
                                  how a dial ends (default connect)
  dial-ms N                       from a dial command to its result (default 3000)
  mark TEXT                       only logged: a marker for tests
  help

Behaviour:
  Command mode: bytes are echoed (until ATE0) and collected up to CR; a LF
  after it is dropped. A line starting "AT" (any case) runs its commands:
  Z reset (echo on, hang up), H or H0 hang up, E0/E1 echo, D dial (the rest
  of the line); other letters and &X, %X, \X settings with their numbers
  are accepted. Each line is answered "\r\nOK\r\n", or "\r\nERROR\r\n" for
  a character it cannot read or a line over 256 bytes. Lines without "AT"
  are ignored. A dial answers after dial-ms: "CONNECT 2400" (then online),
  "BUSY" or "NO CARRIER"; a dial string ending in ";" answers "OK" and stays
  in command mode. Any byte during a dial aborts it with "NO CARRIER".
  Online: bytes are data for the far end; "+++" returns to command mode at
  once (no guard time) with "OK".

Log (one line each, flushed):
  <monotonic s.mmm> <UTC wall time> <kind> <text>
  kinds: rx (a line as received, escaped, logged when its CR arrives, then
         command, ignored, data, escape or too long), tx (a result code as
         sent), held (a result code a silent modem kept back), state (reset,
         dialling, connected, on hook, ...), ctl (control command -> answer),
         info (start and stop)
  e.g.  8412.907 2024-05-01T10:20:30.123Z rx "ATDT5550101,,42\r" command
  The monotonic time is CLOCK_MONOTONIC, comparable with other processes.
  Echoed bytes and stream noise are not logged.
)";
}

}  // namespace orvik::modemsim
