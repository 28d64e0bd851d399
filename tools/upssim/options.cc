#include "options.h"

#include "control.h"

namespace orvik::upssim {

bool parseOptions(const std::vector<std::string>& args, Options* o, std::string* error) {
  bool protocolGiven = false;
  const auto own = [&](const std::string& name, const std::string* value, std::string* refusal) {
    if (!value) {
      if (name != "--plain-q1") return false;
      o->plainQ1 = true;
      return true;
    }
    if (name != "--protocol") return false;
    if (value->size() != 1 || (*value)[0] < '1' || (*value)[0] > '9') {
      *refusal = "--protocol takes a number from 1 to 9, not " + *value;
      return false;
    }
    o->protocol = (*value)[0] - '0';
    protocolGiven = true;
    return true;
  };
  if (!parseSimOptions(args, o, own, error)) return false;
  if (o->client || o->help) return true;
  if (o->plainQ1) {
    if (protocolGiven && o->protocol != 4) {
      *error = "--plain-q1 is protocol 4 to a host; leave --protocol out";
      return false;
    }
    o->protocol = 4;
  }
  return true;
}

std::string helpText() {
  return R"(upssim: a simulated UPS on a pseudo-terminal.

Usage:
  upssim [--protocol N | --plain-q1] [--link PATH] [--ctl PATH] [--log PATH]
         [--quiet] [--set NAME=VALUE]...
  upssim ctl --socket PATH COMMAND [WORD]...
  upssim --help

upssim opens a pseudo-terminal in raw mode, prints its device path on
standard output (one line) and answers on it as a UPS of the chosen protocol
until it gets SIGINT or SIGTERM. The line speed a host sets is ignored.

Options:
  --protocol N      protocol number 1 to 9 (default 3):
                      1     binary: 01 -> 16-byte status frame, 03 test,
                            04 hi lo restore minutes, B9/BA mode,
                            BC mm ss switch-off (seconds above 59: cancel)
                      2-4   "Q1" text, commands end with CR: Q1, I, F, OI,
                            T, TL, T<nn>, CT, Q, S<n>[R<mmmm>], C,
                            O<nn>ON, O<nn>OFF. The "Q1" reply is 45 bytes
                            for 2, 47 for 3, 56 for 4; "OI" is answered
                            "#..." by 3, "(..." by 4, not at all by 2
                      5-9   two-letter text, commands end with CR LF; the
                            "IS" version tells them apart: 5 "T2.10",
                            6 "B2.05", 7 "C1.02", 8 "B1.07", 9 "B3.01"
  --plain-q1        the plain "Q1" UPS most shops sell: answers only Q1
                    (47 bytes, battery per cell, "on-line" digit 0), I
                    ("PLAINPOWER", "PQ-1000": in no ident.ini) and F
                    (12.00 V battery); obeys T, TL, T<nn>, CT, Q,
                    S<n>[R<mmmm>] and C, which never reply; silent to
                    everything else, "OI" and O<nn>ON|OFF included. A host
                    identifies it as protocol 4
  --link PATH       also make PATH a symbolic link to the device (for a
                    platform.ini line COM1=PATH); removed on exit
  --ctl PATH        listen for control commands on a Unix stream socket
  --log PATH        append log lines to PATH (they also go to standard
                    error unless --quiet)
  --quiet           no log lines on standard error
  --set NAME=VALUE  start-up value, as the control command "set NAME VALUE";
                    may be repeated

ctl: sends one control command to a running upssim and prints the answer;
exit status 0 for "ok ...", 1 otherwise. Example:
  upssim ctl --socket /tmp/ups.sock power fail

)" + controlHelp() +
         R"(
Replies (default state shown):
  Q1   "(230.0 230.0 230.0 025 50.0 26.0 25.0 00001001\r" (protocol 3): input V,
       input V before the last failure, output V, load %, input Hz, battery V
       (whole battery; per cell above 48 V nominal), deg C, then status digits:
       utility fail, battery low, boost/trim, UPS fault, line-interactive (1),
       test running, shutdown pending, beeper. Protocol 2 stops after the
       sixth digit; protocol 4 adds " 0" + overload twice + "00000".
       Plain unit: "(230.0 230.0 230.0 025 50.0 2.27 25.0 00000001\r".
  I    "#" manufacturer (15) " " model (10) " " version (10) "\r"
  F    "#230.0 004 24.00 50.0\r": rated V, rated A, battery V, Hz
  OI   "#0211\r" (protocol 4: "(0211\r"): outlet count, one digit per outlet
  O<nn>ON|OFF  "#ACK\r", or "#NAK\r" for a missing outlet; Q1 other commands
       are not answered
  two-letter: the value, then CR LF; voltages on a 120 V scale (divided by
       nominal / 180 + 1), frequencies in 0.1 Hz, battery voltages in 0.1 V;
       settings and actions are echoed, refused values get no answer
  binary 01: load %, charge %, input V/2, output V/2, input Hz, 0, output Hz,
       0, 0, status, status, "O"|"K", model/voltage code, 0, 0, 31 (hex)

Behaviour:
  A command sent without its line end ("C", "Ct1", "Cs-000001") counts as
  complete after 250 ms of silence. Unknown commands get no answer. Host
  shutdowns switch the output off after the delay; it comes back after the
  restore time (with mains present), or without a restore time when mains
  returns after a failure. "C" (Q1) also brings an output switched off by a
  shutdown back, at least 10 s after it went off. Times the protocol gives in
  minutes last minute-seconds seconds each. On battery the charge falls with
  the load; at 0 % the output goes off until mains returns.

Log (one line each, flushed):
  <monotonic s.mmm> <UTC wall time> <kind> <text>
  kinds: rx (command bytes as received, escaped, then what it was),
         tx (reply bytes as sent), state (a change of the UPS),
         ctl (control command -> answer), info (start and stop)
  e.g.  8412.907 2024-05-01T10:20:30.123Z rx "Q1\r" status
  The monotonic time is CLOCK_MONOTONIC, comparable with other processes.
)";
}

}  // namespace orvik::upssim
