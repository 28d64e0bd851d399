#include "two_letter_responder.h"

#include <cmath>

#include "reply_format.h"

namespace orvik::upssim {

namespace {

// Voltages are reported on a 120 V scale: divided by (nominal / 180 + 1), the
// factor a host multiplies them by again once it knows the nominal voltage.
long long scaledVolts(double volts, int nominal) {
  int factor = nominal > 0 ? nominal / 180 + 1 : 1;
  return std::lround(volts / factor);
}

int batteryState(const Readings& r) {
  if (r.batteryDepleted) return 4;
  if (r.batteryLow) return 3;
  return 2;
}

// "AG": two hex digits of alarm bits. First: 1 replace battery, 2 on
// battery (utility fail), 8 battery depleted. Second: 1 over-temperature,
// 2 input bad, 4 output bad, 8 overload.
std::string alarmGroups(const UpsState& s, const Readings& r) {
  static const char kHex[] = "0123456789ABCDEF";
  int first = (s.batteryReplace ? 1 : 0) | (r.utilityFail ? 2 : 0) | (r.batteryDepleted ? 8 : 0);
  int second = (s.overTemperature ? 1 : 0) | (r.utilityFail ? 2 : 0) | (s.outputBad ? 4 : 0) |
               (r.overload ? 8 : 0);
  return {kHex[first], kHex[second]};
}

using Value = std::string (*)(const Ups&, int protocol);

struct Query {
  const char* code;
  Value value;
};

// Every query the host polls, with the digits each value is padded to.
// Voltages in volts, frequencies in 0.1 Hz, battery voltages in 0.1 V.
const Query kQueries[] = {
    {"BS", [](const Ups& u, int) { return atLeastDigits(batteryState(u.readings()), 2); }},
    {"BV", [](const Ups& u, int) { return std::to_string(u.readings().batteryDeciVolts); }},
    {"BT", [](const Ups& u, int) { return std::to_string(std::lround(u.state().temperature)); }},
    {"NF", [](const Ups& u,
              int) { return atLeastDigits(std::lround(u.readings().inputFrequency * 10), 3); }},
    {"NV",
     [](const Ups& u, int) {
       return atLeastDigits(scaledVolts(u.readings().inputVoltage, u.state().nominalInputVoltage),
                            3);
     }},
    {"OF", [](const Ups& u,
              int) { return atLeastDigits(std::lround(u.readings().outputFrequency * 10), 3); }},
    {"OV",
     [](const Ups& u, int) {
       return atLeastDigits(scaledVolts(u.readings().outputVoltage, u.state().nominalOutputVoltage),
                            4);
     }},
    {"OL", [](const Ups& u, int) { return atLeastDigits(u.readings().loadPercent, 3); }},
    {"OS", [](const Ups& u, int) { return atLeastDigits(u.readings().outputSource, 2); }},
    {"AG", [](const Ups& u, int) { return alarmGroups(u.state(), u.readings()); }},
    {"TR", [](const Ups& u, int) { return std::to_string(static_cast<int>(u.state().lastTest)); }},
    {"IM", [](const Ups& u, int) { return u.state().manufacturer; }},
    {"IO", [](const Ups& u, int) { return u.state().model; }},
    {"IS",
     [](const Ups& u, int protocol) {
       return u.state().version.empty() ? defaultVersion(protocol) : u.state().version;
     }},
    {"IZ", [](const Ups& u, int) { return u.state().serial; }},
    {"FV", [](const Ups& u, int) { return atLeastDigits(u.state().nominalInputVoltage, 3); }},
    {"FF", [](const Ups& u,
              int) { return atLeastDigits(std::lround(u.state().nominalFrequency * 10), 3); }},
    {"FO", [](const Ups& u, int) { return atLeastDigits(u.state().nominalOutputVoltage, 3); }},
    {"FR", [](const Ups& u,
              int) { return atLeastDigits(std::lround(u.state().nominalFrequency * 10), 3); }},
    {"FA", [](const Ups& u, int) { return std::to_string(u.state().ratedVa); }},
    {"FP", [](const Ups& u, int) { return std::to_string(u.state().ratedW); }},
    {"ON", [](const Ups& u, int) { return atLeastDigits(u.state().outletCount, 2); }},
    {"BD", [](const Ups& u, int) { return atLeastDigits(u.state().batteryDate, 5); }},
    {"CA", [](const Ups& u, int) { return std::to_string(u.state().autoRestart); }},
    {"FU", [](const Ups& u, int) { return atLeastDigits(u.state().audible, 2); }},
    {"FL", [](const Ups& u, int) { return atLeastDigits(u.state().lowTransferVoltage, 3); }},
    {"FH", [](const Ups& u, int) { return atLeastDigits(u.state().highTransferVoltage, 3); }},
    {"FT", [](const Ups& u, int) { return atLeastDigits(u.state().batteryNominalDeciVolts, 3); }},
    {"FB", [](const Ups& u, int) { return atLeastDigits(u.state().lowBatteryWarning, 2); }},
};

bool oneOf(int value, std::initializer_list<int> allowed) {
  for (int a : allowed) {
    if (a == value) return true;
  }
  return false;
}

}  // namespace

void TwoLetterResponder::answer(const Line& line, int64_t nowMs, Exchange* exchange) {
  ups_.advance(nowMs);
  if (query(line.text, exchange) || outletQuery(line.text, exchange) ||
      setting(line.text, nowMs, exchange)) {
    return;
  }
  exchange->note = line.text.size() < 2 ? "ignored: no command" : "unknown command";
}

// > "NV\r\n"       > "AG\r\n"      > "IS\r\n"
// < "115\r\n"      < "00\r\n"      < "T2.10\r\n"
bool TwoLetterResponder::query(const std::string& text, Exchange* exchange) const {
  for (const Query& q : kQueries) {
    if (text == q.code) {
      exchange->reply = q.value(ups_, protocol_) + "\r\n";
      exchange->note = "query";
      return true;
    }
  }
  return false;
}

// "OI<n>" powered (1/0), "OM<n>" mode, "OA<n>" action (2 digits), "OD<n>"
// delay, for outlet n = 1 to 8; an outlet the UPS lacks reads 0.
bool TwoLetterResponder::outletQuery(const std::string& text, Exchange* exchange) const {
  if (text.size() != 3 || text[0] != 'O' || text[2] < '1' || text[2] > '8') return false;
  int index = text[2] - '1';
  bool exists = index < ups_.state().outletCount;
  const OutletState& o = ups_.state().outlets[index];
  std::string value;
  switch (text[1]) {
    case 'I':
      value = ups_.outletPowered(index) ? "1" : "0";
      break;
    case 'M':
      value = std::to_string(exists ? o.mode : 0);
      break;
    case 'A':
      value = atLeastDigits(exists ? o.action : 0, 2);
      break;
    case 'D':
      value = std::to_string(exists ? o.delay : 0);
      break;
    default:
      return false;
  }
  exchange->reply = value + "\r\n";
  exchange->note = "query";
  return true;
}

// Settings and actions: two letters and a signed decimal argument.
//   Fb low-battery warning (2, 5)   Fu audible (1-4)   Fa auto restart
//   Fl low transfer (89 91 93 96)   Fh high transfer (142 145 148 151)
//   Bd battery date (0-32000)       Ct shutdown type   Ca auto restart
//   Cr "Cr" setting                 Cu restore time for the next Cs, seconds (-1 none)
//   Cs switch off after seconds; negative cancels a pending switch-off
//   Ts start the self-test (no argument)
//   Oi/Om/Oa/Od: argument = outlet index (0-based) + 10 x value
bool TwoLetterResponder::setting(const std::string& text, int64_t nowMs, Exchange* exchange) {
  if (text.size() < 2) return false;
  std::string code = text.substr(0, 2);
  std::string argument = text.substr(2);
  UpsState& s = ups_.state();
  if (code == "Ts") {
    if (!argument.empty()) return false;
    bool started = ups_.startTest(nowMs, s.testSeconds);
    exchange->reply = text + "\r\n";
    exchange->note = started ? "test " + std::to_string(s.testSeconds) + " s" : "test refused";
    return true;
  }
  static const char* const kCodes[] = {"Fb", "Fu", "Fa", "Fl", "Fh", "Bd", "Ct", "Ca",
                                       "Cr", "Cu", "Cs", "Oi", "Om", "Oa", "Od"};
  bool known = false;
  for (const char* c : kCodes) known = known || code == c;
  if (!known) return false;

  int value = 0;
  bool valid = parseWholeInt(argument, &value);
  std::string note;
  if (valid) {
    if (code == "Fb") {
      valid = oneOf(value, {2, 5});
      if (valid) s.lowBatteryWarning = value;
    } else if (code == "Fu") {
      valid = value >= 1 && value <= 4;
      if (valid) s.audible = value;
    } else if (code == "Fa" || code == "Ca") {
      s.autoRestart = value;
    } else if (code == "Fl") {
      valid = oneOf(value, {89, 91, 93, 96});
      if (valid) s.lowTransferVoltage = value;
    } else if (code == "Fh") {
      valid = oneOf(value, {142, 145, 148, 151});
      if (valid) s.highTransferVoltage = value;
    } else if (code == "Bd") {
      valid = value >= 0 && value <= 32000;
      if (valid) s.batteryDate = value;
    } else if (code == "Ct") {
      s.shutdownType = value;
    } else if (code == "Cr") {
      s.crSetting = value;
    } else if (code == "Cu") {
      s.pendingRestoreSeconds = value < 0 ? -1 : value;
      note = "restore time " + (value < 0 ? std::string("none") : std::to_string(value) + " s");
    } else if (code == "Cs") {
      if (value < 0) {
        ups_.cancelShutdown(nowMs, false);
        note = "cancel shutdown";
      } else {
        int restore = s.pendingRestoreSeconds;
        s.pendingRestoreSeconds = -1;
        ups_.scheduleShutdown(nowMs, value, restore);
        note = "shutdown after " + std::to_string(value) + " s, restore " +
               (restore < 0 ? std::string("with mains") : std::to_string(restore) + " s");
      }
    } else {
      int index = value % 10;
      int outletValue = value / 10;
      valid = value >= 0 && index < s.outletCount;
      if (valid && code == "Oi") {
        ups_.setOutlet(index, outletValue == 1);
        note = "outlet " + std::to_string(index + 1) + (outletValue == 1 ? " on" : " off");
      } else if (valid && code == "Om") {
        s.outlets[index].mode = outletValue;
      } else if (valid && code == "Oa") {
        valid = oneOf(outletValue, {0, 1, 2, 3});
        if (valid) s.outlets[index].action = outletValue;
      } else if (valid && code == "Od") {
        valid = oneOf(outletValue, {1, 3, 6, 9});
        if (valid) s.outlets[index].delay = outletValue;
      }
    }
  }
  if (!valid) {
    exchange->note = "rejected: value not allowed";
    return true;
  }
  exchange->reply = text + "\r\n";
  exchange->note = note.empty() ? "set " + code + " " + std::to_string(value) : note;
  return true;
}

}  // namespace orvik::upssim
