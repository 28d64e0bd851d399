#include "q1_responder.h"

#include <cctype>
#include <cmath>

#include "reply_format.h"

namespace orvik::upssim {

namespace {

char digit(bool on) { return on ? '1' : '0'; }

bool allDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// Minutes as the shutdown command writes them: ".5", "02", "1.5".
bool parseMinutes(const std::string& text, double* minutes) {
  size_t dot = text.find('.');
  std::string whole = text.substr(0, dot);
  std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  if (whole.empty() && fraction.empty()) return false;
  if (!whole.empty() && !allDigits(whole)) return false;
  if (dot != std::string::npos && !allDigits(fraction)) return false;
  if (whole.size() > 4 || fraction.size() > 4) return false;
  *minutes = std::stod("0" + whole + "." + fraction + "0");
  return true;
}

}  // namespace

UpsState plainQ1State() {
  UpsState s;
  s.batteryNominalDeciVolts = 120;
  s.fullChargeDeciVoltsPer12V = 136;
  s.manufacturer = "PLAINPOWER";
  s.model = "PQ-1000";
  s.outletCount = 0;
  return s;
}

// > "Q1\r"                                               protocol 3
// < "(231.0 231.0 231.0 025 50.0 26.0 25.0 00001001\r"
//    1        10        20        30        40
//    12345678901234567890123456789012345678901234567
//
// Columns: 2 input V, 8 input V before the last failure, 14 output V,
// 20 load %, 24 input Hz, 29 battery V (whole battery "SS.S" up to 48 V
// nominal, per cell "S.SS" above), 34 temperature, then the status digits:
// 39 utility fail, 40 battery low, 41 boost or trim active, 42 UPS fault,
// 43 line-interactive type (always 1), 44 test running, 45 shutdown pending,
// 46 beeper on. Protocol 2 stops after column 44 (45 bytes); protocol 4 adds
// " " and a second group of eight digits in columns 48-55 (56 bytes), of
// which 49 and 50 are the overload flag and the rest stay "0". The plain
// unit: 47 bytes, battery always per cell, column 43 "0".
//   "(230.0 230.0 230.0 025 50.0 2.27 25.0 00000001\r"
std::string Q1Responder::statusReply() const {
  const UpsState& s = ups_.state();
  Readings r = ups_.readings();
  std::string battery;
  if (plain_ || s.batteryNominalDeciVolts > 480) {
    double cells = s.batteryNominalDeciVolts / 20.0;
    battery = fixedField(r.batteryDeciVolts / 10.0 / cells, 4, 2, 0, 9.99);
  } else {
    battery = fixedField(r.batteryDeciVolts / 10.0, 4, 1, 0, 99.9);
  }
  std::string reply = "(" + fixedField(r.inputVoltage, 5, 1, 0, 999.9) + " " +
                      fixedField(s.inputVoltage, 5, 1, 0, 999.9) + " " +
                      fixedField(r.outputVoltage, 5, 1, 0, 999.9) + " " +
                      zeroPadded(r.loadPercent, 3) + " " +
                      fixedField(r.inputFrequency, 4, 1, 0, 99.9) + " " + battery + " " +
                      fixedField(s.temperature, 4, 1, -9.9, 99.9) + " ";
  reply += digit(r.utilityFail);
  reply += digit(r.batteryLow);
  reply += digit(r.boost || r.trim);
  reply += digit(s.upsFault);
  reply += digit(!plain_);
  reply += digit(r.testRunning);
  if (protocol_ == 2) return reply + "\r";
  reply += digit(r.shutdownPending);
  reply += digit(s.beeper);
  if (protocol_ == 4 && !plain_) {
    reply += " 0";
    reply += digit(r.overload);
    reply += digit(r.overload);
    reply += "00000";
  }
  return reply + "\r";
}

// > "I\r"
// < "#SIMULATED       UPSSIM-1K  1.00      \r"
//    1        10        20        30
//    123456789012345678901234567890123456789
// Manufacturer in columns 2-16, model 18-27, version 29-38.
std::string Q1Responder::infoReply() const {
  const UpsState& s = ups_.state();
  std::string version = s.version.empty() ? defaultVersion(protocol_) : s.version;
  return "#" + paddedText(s.manufacturer, 15) + " " + paddedText(s.model, 10) + " " +
         paddedText(version, 10) + "\r";
}

// > "F\r"
// < "#230.0 004 24.00 50.0\r"
//    1        10        20
//    1234567890123456789012
// Rated voltage, rated current, nominal battery voltage, rated frequency.
std::string Q1Responder::ratingReply() const {
  const UpsState& s = ups_.state();
  double amps = s.nominalOutputVoltage > 0 ? double(s.ratedVa) / s.nominalOutputVoltage : 0;
  return "#" + fixedField(s.nominalOutputVoltage, 5, 1, 0, 999.9) + " " +
         zeroPadded(std::lround(amps), 3) + " " +
         fixedField(s.batteryNominalDeciVolts / 10.0, 5, 2, 0, 99.99) + " " +
         fixedField(s.nominalFrequency, 4, 1, 0, 99.9) + "\r";
}

// > "OI\r"
// < "#0211\r"  (protocol 4: "(0211\r")
// Outlet count in columns 2-3, then one digit per outlet, 1 = powered.
std::string Q1Responder::outletReply() const {
  const UpsState& s = ups_.state();
  std::string reply = protocol_ == 3 ? "#" : "(";
  reply += zeroPadded(s.outletCount, 2);
  for (int i = 0; i < s.outletCount && i < kMaxOutlets; ++i) reply += digit(ups_.outletPowered(i));
  return reply + "\r";
}

void Q1Responder::answer(const Line& line, int64_t nowMs, Exchange* exchange) {
  const std::string& text = line.text;
  ups_.advance(nowMs);
  if (text == "Q1") {
    exchange->reply = statusReply();
    exchange->note = "status";
  } else if (text == "I") {
    exchange->reply = infoReply();
    exchange->note = "identification";
  } else if (text == "F") {
    exchange->reply = ratingReply();
    exchange->note = "ratings";
  } else if (text == "OI" && protocol_ != 2 && !plain_) {
    exchange->reply = outletReply();
    exchange->note = "outlets";
  } else if (text == "Q") {
    ups_.state().beeper = !ups_.state().beeper;
    exchange->note = ups_.state().beeper ? "beeper on" : "beeper off";
  } else if (text == "C") {
    ups_.cancelShutdown(nowMs, true);
    exchange->note = "cancel shutdown";
  } else if (text == "CT") {
    if (ups_.readings().testRunning) ups_.endTest(TestResult::kAborted);
    exchange->note = "cancel test";
  } else if (!test(text, nowMs, exchange) && !shutdown(text, nowMs, exchange) &&
             (plain_ || !outlet(text, exchange))) {
    exchange->note = "unknown command";
  }
}

// "T" runs the standard test, "TL" one until the battery is low (simulated
// as the standard test), "T<nn>" one of nn minutes.
bool Q1Responder::test(const std::string& text, int64_t nowMs, Exchange* exchange) {
  if (text.empty() || text[0] != 'T') return false;
  std::string rest = text.substr(1);
  int seconds = ups_.state().testSeconds;
  if (!rest.empty() && rest != "L") {
    int minutes = 0;
    if (!allDigits(rest) || rest.size() > 2 || !parseWholeInt(rest, &minutes)) return false;
    seconds = minutes * ups_.state().minuteSeconds;
  }
  bool started = ups_.startTest(nowMs, seconds);
  exchange->note = started ? "test " + std::to_string(seconds) + " s" : "test refused";
  return true;
}

// "S<n>" switches the output off after n minutes (".2" to ".9" or whole
// minutes); "R<mmmm>" brings it back mmmm minutes after that; without it the
// output returns with mains after a power failure.
bool Q1Responder::shutdown(const std::string& text, int64_t nowMs, Exchange* exchange) {
  if (text.size() < 2 || text[0] != 'S') return false;
  size_t r = text.find('R');
  double minutes = 0;
  if (!parseMinutes(text.substr(1, r == std::string::npos ? std::string::npos : r - 1), &minutes)) {
    return false;
  }
  int restore = -1;
  if (r != std::string::npos) {
    std::string m = text.substr(r + 1);
    int restoreMinutes = 0;
    if (!allDigits(m) || m.size() > 4 || !parseWholeInt(m, &restoreMinutes)) return false;
    restore = restoreMinutes * ups_.state().minuteSeconds;
  }
  int delay = static_cast<int>(std::lround(minutes * ups_.state().minuteSeconds));
  ups_.scheduleShutdown(nowMs, delay, restore);
  exchange->note = "shutdown after " + std::to_string(delay) + " s, restore " +
                   (restore < 0 ? std::string("with mains") : std::to_string(restore) + " s");
  return true;
}

// "O<nn>ON" / "O<nn>OFF" with a 1-based outlet number; answered "#ACK", or
// "#NAK" for an outlet the UPS does not have.
bool Q1Responder::outlet(const std::string& text, Exchange* exchange) {
  if (text.size() < 5 || text[0] != 'O' || !allDigits(text.substr(1, 2))) return false;
  std::string state = text.substr(3);
  if (state != "ON" && state != "OFF") return false;
  int number = (text[1] - '0') * 10 + (text[2] - '0');
  bool done = ups_.setOutlet(number - 1, state == "ON");
  exchange->reply = done ? "#ACK\r" : "#NAK\r";
  exchange->note =
      "outlet " + std::to_string(number) + " " + state + (done ? "" : " (no such outlet)");
  return true;
}

}  // namespace orvik::upssim
