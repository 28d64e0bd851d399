#include "control.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace orvik::upssim {

namespace {

using Words = std::vector<std::string>;

Words split(std::string_view line) {
  Words words;
  std::istringstream in{std::string(line)};
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

// Reads a whole-text number; "" on success, else the error.
std::string readReal(const std::string& text, double lo, double hi, double* out) {
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value)) return "not a number: " + text;
  if (value < lo || value > hi) {
    std::ostringstream message;
    message << text << " is outside " << lo << " to " << hi;
    return message.str();
  }
  *out = value;
  return "";
}

std::string readInt(const std::string& text, int lo, int hi, int* out) {
  double value = 0;
  std::string error = readReal(text, lo, hi, &value);
  if (!error.empty()) return error;
  if (value != std::floor(value)) return "not a whole number: " + text;
  *out = static_cast<int>(value);
  return "";
}

std::string readSwitch(const std::string& text, bool* out) {
  if (text == "on") {
    *out = true;
  } else if (text == "off") {
    *out = false;
  } else {
    return "expected on or off, not " + text;
  }
  return "";
}

std::string readOutcome(const std::string& text, TestResult* out) {
  if (text == "pass") {
    *out = TestResult::kPassed;
  } else if (text == "warn") {
    *out = TestResult::kWarning;
  } else if (text == "fail") {
    *out = TestResult::kError;
  } else {
    return "expected pass, warn or fail, not " + text;
  }
  return "";
}

// A value "set" can change: a field of the state with its range, or a
// custom reader for the few that need more.
struct Setting {
  const char* name;
  const char* help;
  double lo = 0;
  double hi = 0;
  int UpsState::*intField = nullptr;
  double UpsState::*realField = nullptr;
  std::string UpsState::*textField = nullptr;
  std::string (*custom)(ControlTarget& t, const std::string& value) = nullptr;
};

const Setting kSettings[] = {
    {.name = "input-voltage",
     .help = "V, 0-999.9 (boost below 90 %, trim above 110 % of nominal)",
     .hi = 999.9,
     .realField = &UpsState::inputVoltage},
    {.name = "input-frequency",
     .help = "Hz, 0-99.9",
     .hi = 99.9,
     .realField = &UpsState::inputFrequency},
    {.name = "load",
     .help = "% of rated power, 0-255 (above 100 reads as overload)",
     .hi = 255,
     .intField = &UpsState::loadPercent},
    {.name = "temperature",
     .help = "degrees C, -9.9-99.9",
     .lo = -9.9,
     .hi = 99.9,
     .realField = &UpsState::temperature},
    {.name = "battery-charge",
     .help = "%, 0-100",
     .custom =
         [](ControlTarget& t, const std::string& v) {
           double charge = 0;
           std::string error = readReal(v, 0, 100, &charge);
           if (error.empty()) t.ups.setBatteryCharge(charge);
           return error;
         }},
    {.name = "low-battery-level",
     .help = "charge % at or below which the battery reads low",
     .hi = 100,
     .intField = &UpsState::lowBatteryLevel},
    {.name = "discharge",
     .help = "charge %/min lost on battery at 100 % load (0: none)",
     .hi = 6000,
     .realField = &UpsState::dischargePerMinute},
    {.name = "charge-rate",
     .help = "charge %/min gained on mains (0: none)",
     .hi = 6000,
     .realField = &UpsState::chargePerMinute},
    {.name = "nominal-input-voltage",
     .help = "V",
     .lo = 1,
     .hi = 999,
     .intField = &UpsState::nominalInputVoltage},
    {.name = "nominal-output-voltage",
     .help = "V",
     .lo = 1,
     .hi = 999,
     .intField = &UpsState::nominalOutputVoltage},
    {.name = "nominal-frequency",
     .help = "Hz",
     .lo = 1,
     .hi = 99.9,
     .realField = &UpsState::nominalFrequency},
    {.name = "battery-nominal",
     .help = "nominal battery voltage in 0.1 V (240 = 24 V)",
     .lo = 1,
     .hi = 9999,
     .intField = &UpsState::batteryNominalDeciVolts},
    {.name = "rated-va", .help = "VA", .hi = 999999, .intField = &UpsState::ratedVa},
    {.name = "rated-w", .help = "W", .hi = 999999, .intField = &UpsState::ratedW},
    {.name = "low-transfer", .help = "V", .hi = 999, .intField = &UpsState::lowTransferVoltage},
    {.name = "high-transfer", .help = "V", .hi = 999, .intField = &UpsState::highTransferVoltage},
    {.name = "low-battery-warning",
     .help = "two-letter FB value",
     .hi = 99,
     .intField = &UpsState::lowBatteryWarning},
    {.name = "audible", .help = "two-letter FU value", .hi = 99, .intField = &UpsState::audible},
    {.name = "auto-restart",
     .help = "two-letter CA value",
     .hi = 9,
     .intField = &UpsState::autoRestart},
    {.name = "shutdown-type",
     .help = "two-letter Ct value",
     .hi = 99,
     .intField = &UpsState::shutdownType},
    {.name = "battery-date",
     .help = "two-letter BD value, 0-32000",
     .hi = 32000,
     .intField = &UpsState::batteryDate},
    {.name = "outlet-count", .help = "0-8", .hi = kMaxOutlets, .intField = &UpsState::outletCount},
    {.name = "test-seconds",
     .help = "length of a started test",
     .hi = 86400,
     .intField = &UpsState::testSeconds},
    {.name = "test-outcome",
     .help = "pass, warn or fail: how a started test ends",
     .custom = [](ControlTarget& t,
                  const std::string& v) { return readOutcome(v, &t.ups.state().testOutcome); }},
    {.name = "minute-seconds",
     .help = "seconds in a protocol minute (shutdown and restore times)",
     .lo = 1,
     .hi = 3600,
     .intField = &UpsState::minuteSeconds},
    {.name = "binary-variant",
     .help = "protocol 1 only: 1 or 2",
     .lo = 1,
     .hi = 2,
     .intField = &UpsState::binaryVariant},
    {.name = "beeper",
     .help = "on or off",
     .custom = [](ControlTarget& t,
                  const std::string& v) { return readSwitch(v, &t.ups.state().beeper); }},
    {.name = "reply-delay",
     .help = "ms before each reply leaves, 0-60000",
     .custom = [](ControlTarget& t,
                  const std::string& v) { return readInt(v, 0, 60000, &t.faults.replyDelayMs); }},
    {.name = "manufacturer", .help = "text", .textField = &UpsState::manufacturer},
    {.name = "model", .help = "text", .textField = &UpsState::model},
    {.name = "version",
     .help = "text (protocols 5-9: decides which protocol the host sees)",
     .textField = &UpsState::version},
    {.name = "serial", .help = "text", .textField = &UpsState::serial},
};

std::string applySetting(const Setting& s, ControlTarget& t, const std::string& value) {
  UpsState& state = t.ups.state();
  if (s.custom) return s.custom(t, value);
  if (s.textField) {
    state.*s.textField = value;
    return "";
  }
  if (s.realField) return readReal(value, s.lo, s.hi, &(state.*s.realField));
  return readInt(value, static_cast<int>(s.lo), static_cast<int>(s.hi), &(state.*s.intField));
}

std::string restOfLine(std::string_view line, size_t wordsToSkip) {
  size_t i = 0;
  for (size_t w = 0; w < wordsToSkip; ++w) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
  }
  while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
  size_t end = line.size();
  while (end > i && std::isspace(static_cast<unsigned char>(line[end - 1]))) --end;
  return std::string(line.substr(i, end - i));
}

std::string result(const std::string& error, const std::string& done = "") {
  if (!error.empty()) return "error: " + error;
  return done.empty() ? "ok" : "ok " + done;
}

std::string setCommand(std::string_view line, const Words& w, ControlTarget& t) {
  if (w.size() < 3) return result("usage: set NAME VALUE (see help)");
  for (const Setting& s : kSettings) {
    if (w[1] == s.name) return result(applySetting(s, t, restOfLine(line, 2)));
  }
  return result("unknown setting: " + w[1]);
}

std::string batteryCommand(const Words& w, ControlTarget& t) {
  UpsState& s = t.ups.state();
  if (w.size() == 2 && w[1] == "low") {
    t.ups.setBatteryCharge(s.lowBatteryLevel / 2.0);
  } else if (w.size() == 2 && w[1] == "normal") {
    s.batteryReplace = false;
    t.ups.setBatteryCharge(100);
  } else if (w.size() == 2 && w[1] == "depleted") {
    t.ups.setBatteryCharge(0);
  } else if (w.size() == 3 && w[1] == "charge") {
    double charge = 0;
    std::string error = readReal(w[2], 0, 100, &charge);
    if (!error.empty()) return result(error);
    t.ups.setBatteryCharge(charge);
  } else if (w.size() == 3 && w[1] == "replace") {
    return result(readSwitch(w[2], &s.batteryReplace));
  } else {
    return result("usage: battery low|normal|depleted|charge N|replace on|off");
  }
  return result("", "charge " + std::to_string(t.ups.readings().batteryCharge) + " %");
}

std::string alarmCommand(const Words& w, ControlTarget& t) {
  UpsState& s = t.ups.state();
  if (w.size() != 3) return result("usage: alarm overtemp|output-bad|ups-fault on|off");
  bool* flag = w[1] == "overtemp"     ? &s.overTemperature
               : w[1] == "output-bad" ? &s.outputBad
               : w[1] == "ups-fault"  ? &s.upsFault
                                      : nullptr;
  if (!flag) return result("unknown alarm: " + w[1]);
  return result(readSwitch(w[2], flag));
}

std::string testCommand(const Words& w, ControlTarget& t, int64_t nowMs) {
  if (w.size() != 2) return result("usage: test start|pass|warn|fail|abort");
  if (w[1] == "start") {
    bool started = t.ups.startTest(nowMs, t.ups.state().testSeconds);
    return result(started ? "" : "no test without mains and output");
  }
  TestResult outcome = TestResult::kAborted;
  if (w[1] != "abort") {
    std::string error = readOutcome(w[1], &outcome);
    if (!error.empty()) return result(error);
  }
  t.ups.endTest(outcome);
  return result("");
}

std::string shutdownCommand(const Words& w, ControlTarget& t, int64_t nowMs) {
  if (w.size() == 2 && w[1] == "cancel") {
    t.ups.cancelShutdown(nowMs, false);
    return result("");
  }
  int delay = 0;
  int restore = -1;
  std::string error = w.size() < 2 || w.size() > 3
                          ? "usage: shutdown DELAY [RESTORE] | shutdown cancel"
                          : readInt(w[1], 0, 86400 * 7, &delay);
  if (error.empty() && w.size() == 3) error = readInt(w[2], -1, 86400 * 7, &restore);
  if (error.empty()) t.ups.scheduleShutdown(nowMs, delay, restore);
  return result(error);
}

std::string switchCommand(const Words& w, bool* flag, const char* usage) {
  if (w.size() != 2) return result(usage);
  return result(readSwitch(w[1], flag));
}

}  // namespace

std::string runControlCommand(std::string_view line, ControlTarget t, int64_t nowMs) {
  Words w = split(line);
  if (w.empty()) return result("empty command");
  t.ups.advance(nowMs);
  const std::string& verb = w[0];
  if (verb == "power") {
    if (w.size() != 2 || (w[1] != "fail" && w[1] != "restore")) {
      return result("usage: power fail|restore");
    }
    t.ups.setMains(w[1] == "restore", nowMs);
    return result("");
  }
  if (verb == "battery") return batteryCommand(w, t);
  if (verb == "overload") {
    bool on = true;
    std::string error = w.size() == 1   ? ""
                        : w.size() == 2 ? readSwitch(w[1], &on)
                                        : "usage: overload [on|off]";
    if (error.empty()) t.ups.state().overloadForced = on;
    return result(error);
  }
  if (verb == "alarm") return alarmCommand(w, t);
  if (verb == "test") return testCommand(w, t, nowMs);
  if (verb == "output") {
    bool on = false;
    std::string error = w.size() == 2 ? readSwitch(w[1], &on) : "usage: output on|off";
    if (error.empty()) t.ups.setOutput(on, nowMs);
    return result(error);
  }
  if (verb == "outlet") {
    int number = 0;
    bool on = false;
    std::string error =
        w.size() != 3 ? "usage: outlet N on|off" : readInt(w[1], 1, kMaxOutlets, &number);
    if (error.empty()) error = readSwitch(w[2], &on);
    if (error.empty() && !t.ups.setOutlet(number - 1, on)) error = "no outlet " + w[1];
    return result(error);
  }
  if (verb == "shutdown") return shutdownCommand(w, t, nowMs);
  if (verb == "silent") return switchCommand(w, &t.faults.silent, "usage: silent on|off");
  if (verb == "garbage") return switchCommand(w, &t.faults.garbage, "usage: garbage on|off");
  if (verb == "set") return setCommand(line, w, t);
  if (verb == "status") return result("", statusLine(t, nowMs));
  if (verb == "mark") return result("");
  if (verb == "help")
    return result("",
                  "commands: power battery overload alarm test output outlet "
                  "shutdown silent garbage set status mark help");
  return result("unknown command: " + verb);
}

std::string statusLine(const ControlTarget& t, int64_t nowMs) {
  const UpsState& s = t.ups.state();
  Readings r = t.ups.readings();
  std::ostringstream out;
  out.setf(std::ios::fixed);
  out.precision(1);
  out << "protocol=" << t.protocol << " mains=" << (s.mainsPresent ? 1 : 0)
      << " input-voltage=" << r.inputVoltage << " input-frequency=" << r.inputFrequency
      << " output=" << (r.outputOn ? "on" : "off") << " output-voltage=" << r.outputVoltage
      << " output-frequency=" << r.outputFrequency << " load=" << r.loadPercent
      << " battery-charge=" << r.batteryCharge << " battery-volts=" << r.batteryDeciVolts / 10.0
      << " battery-low=" << (r.batteryLow ? 1 : 0) << " overload=" << (r.overload ? 1 : 0)
      << " source=" << r.outputSource << " test=" << (r.testRunning ? "running" : "idle")
      << " test-result=" << static_cast<int>(s.lastTest)
      << " shutdown-in-ms=" << (t.ups.shutdownPending() ? t.ups.shutdownAtMs() - nowMs : -1)
      << " outlets=";
  for (int i = 0; i < s.outletCount; ++i) out << (t.ups.outletPowered(i) ? '1' : '0');
  out << " silent=" << (t.faults.silent ? 1 : 0) << " garbage=" << (t.faults.garbage ? 1 : 0)
      << " reply-delay=" << t.faults.replyDelayMs;
  return out.str();
}

std::string controlHelp() {
  std::ostringstream out;
  out << "Control commands (one a line; each answers \"ok ...\" or \"error: ...\"):\n"
         "  power fail | power restore      mains absent / present\n"
         "  battery low                     charge to half the low-battery level\n"
         "  battery normal                  charge 100 %, battery needs no replacing\n"
         "  battery depleted                charge 0 % (on battery the output goes off)\n"
         "  battery charge N                charge N %\n"
         "  battery replace on|off          replace-battery alarm\n"
         "  overload [on|off]               overload alarm whatever the load\n"
         "  alarm overtemp|output-bad|ups-fault on|off\n"
         "  test start                      start a self-test (test-seconds long)\n"
         "  test pass|warn|fail|abort       end the running test so (or set the last result)\n"
         "  output on|off                   front-panel switch; no automatic restore\n"
         "  outlet N on|off                 switch outlet N (1-based)\n"
         "  shutdown DELAY [RESTORE]        as if the host asked: off after DELAY s,\n"
         "                                  back RESTORE s later (default: when mains returns)\n"
         "  shutdown cancel                 drop a pending switch-off\n"
         "  silent on|off                   hear and obey, but send nothing back\n"
         "  garbage on|off                  replace every reply by noise of the same length\n"
         "  set NAME VALUE                  change a value (below)\n"
         "  status                          one line of name=value pairs\n"
         "  mark TEXT                       only logged: a marker for tests\n"
         "  help\n"
         "Settings for set:\n";
  for (const Setting& s : kSettings) {
    std::string name = s.name;
    out << "  " << name << std::string(name.size() < 24 ? 24 - name.size() : 1, ' ') << s.help
        << "\n";
  }
  return out.str();
}

}  // namespace orvik::upssim
