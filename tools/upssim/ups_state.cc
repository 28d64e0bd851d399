#include "ups_state.h"

#include <algorithm>
#include <cmath>

namespace orvik::upssim {

namespace {

// Below 90 % or above 110 % of the nominal input the UPS regulates its output
// (boost or trim) instead of passing the input through.
constexpr double kBoostBelow = 0.90;
constexpr double kTrimAbove = 1.10;
// After a cancelled shutdown the output stays off at least this long.
constexpr int64_t kMinimumOffMs = 10'000;

std::string seconds(int value) { return value < 0 ? "none" : std::to_string(value) + " s"; }

}  // namespace

const char* testResultName(TestResult result) {
  switch (result) {
    case TestResult::kPassed:
      return "passed";
    case TestResult::kWarning:
      return "warning";
    case TestResult::kError:
      return "failed";
    case TestResult::kAborted:
      return "aborted";
    case TestResult::kInProgress:
      return "in progress";
    case TestResult::kNone:
      return "none";
  }
  return "?";
}

Ups::Ups(UpsState initial, Notify notify) : state_(std::move(initial)), notify_(std::move(notify)) {
  lowReported_ = readings().batteryLow;
}

void Ups::say(const std::string& text) const {
  if (notify_) notify_(text);
}

Readings Ups::readings() const {
  const UpsState& s = state_;
  Readings r;
  r.utilityFail = !s.mainsPresent;
  r.outputOn = s.outputOn;
  r.testRunning = testRunning_;
  r.shutdownPending = shutdownPending_;
  r.onBattery = s.outputOn && (!s.mainsPresent || testRunning_);
  if (s.mainsPresent) {
    r.inputVoltage = s.inputVoltage;
    r.inputFrequency = s.inputFrequency;
  }
  if (s.outputOn && !r.onBattery) {
    r.boost = s.inputVoltage < s.nominalInputVoltage * kBoostBelow;
    r.trim = s.inputVoltage > s.nominalInputVoltage * kTrimAbove;
  }
  if (s.outputOn) {
    bool regulated = r.onBattery || r.boost || r.trim;
    r.outputVoltage = regulated ? s.nominalOutputVoltage : s.inputVoltage;
    r.outputFrequency = r.onBattery ? s.nominalFrequency : s.inputFrequency;
    r.loadPercent = s.loadPercent;
  }
  r.batteryCharge = static_cast<int>(std::lround(std::clamp(s.batteryCharge, 0.0, 100.0)));
  // The charge maps linearly onto the usual lead-acid span from 10.4 V to
  // 13.0 V on a 12 V battery, the span a host turns back into a charge; the
  // top can be raised to the float voltage some units report.
  int lo = s.batteryNominalDeciVolts * 104 / 120;
  int hi = s.batteryNominalDeciVolts * s.fullChargeDeciVoltsPer12V / 120;
  r.batteryDeciVolts = lo + (hi - lo) * r.batteryCharge / 100;
  r.batteryLow = r.batteryCharge <= s.lowBatteryLevel;
  r.batteryDepleted = r.batteryCharge <= 0;
  r.overload = s.outputOn && (s.overloadForced || s.loadPercent > 100);
  if (!s.outputOn) {
    r.outputSource = kSourceNone;
  } else if (r.onBattery) {
    r.outputSource = kSourceBattery;
  } else if (r.boost) {
    r.outputSource = kSourceBoost;
  } else if (r.trim) {
    r.outputSource = kSourceTrim;
  }
  return r;
}

bool Ups::outletPowered(int index) const {
  return index >= 0 && index < state_.outletCount && index < kMaxOutlets && state_.outputOn &&
         state_.outlets[index].on;
}

void Ups::switchOutput(bool on, const std::string& why) {
  if (state_.outputOn == on) return;
  state_.outputOn = on;
  say(std::string(on ? "output on" : "output off") + " (" + why + ")");
}

void Ups::updateBattery(int64_t nowMs) {
  double minutes = (nowMs - lastAdvanceMs_) / 60000.0;
  bool onBattery = state_.outputOn && (!state_.mainsPresent || testRunning_);
  if (onBattery) {
    double load = std::max(state_.loadPercent, 5) / 100.0;
    state_.batteryCharge -= state_.dischargePerMinute * load * minutes;
  } else if (state_.mainsPresent) {
    state_.batteryCharge += state_.chargePerMinute * minutes;
  }
  state_.batteryCharge = std::clamp(state_.batteryCharge, 0.0, 100.0);

  if (onBattery && state_.batteryCharge <= 0) {
    if (testRunning_) endTest(TestResult::kError);
    if (!state_.mainsPresent) {
      switchOutput(false, "battery exhausted");
      offSinceMs_ = nowMs;
      restore_ = Restore::kMainsReturn;
      mainsLostWhileOff_ = true;
    }
  }
  bool low = readings().batteryLow;
  if (low != lowReported_) {
    lowReported_ = low;
    say(low ? "battery low" : "battery no longer low");
  }
}

void Ups::advance(int64_t nowMs) {
  if (lastAdvanceMs_ < 0) lastAdvanceMs_ = nowMs;
  if (nowMs < lastAdvanceMs_) return;
  updateBattery(nowMs);
  lastAdvanceMs_ = nowMs;

  if (testRunning_ && nowMs >= testEndMs_) endTest(state_.testOutcome);

  if (shutdownPending_ && nowMs >= shutdownAtMs_) {
    shutdownPending_ = false;
    switchOutput(false, "shutdown delay over");
    offSinceMs_ = nowMs;
    mainsLostWhileOff_ = !state_.mainsPresent;
    if (shutdownRestoreSeconds_ >= 0) {
      restore_ = Restore::kTimer;
      restoreAtMs_ = nowMs + int64_t{shutdownRestoreSeconds_} * 1000;
    } else {
      restore_ = Restore::kMainsReturn;
    }
  }

  if (!state_.outputOn && state_.mainsPresent) {
    if (restore_ == Restore::kTimer && nowMs >= restoreAtMs_) {
      restore_ = Restore::kNone;
      switchOutput(true, "restore time over");
    } else if (restore_ == Restore::kMainsReturn && mainsLostWhileOff_) {
      restore_ = Restore::kNone;
      switchOutput(true, "mains returned");
    }
  }
}

int64_t Ups::nextDeadlineMs() const {
  int64_t next = -1;
  auto consider = [&next](int64_t at) { next = next < 0 ? at : std::min(next, at); };
  if (testRunning_) consider(testEndMs_);
  if (shutdownPending_) consider(shutdownAtMs_);
  if (!state_.outputOn && restore_ == Restore::kTimer) consider(restoreAtMs_);
  return next;
}

void Ups::setMains(bool present, int64_t nowMs) {
  advance(nowMs);
  if (state_.mainsPresent == present) return;
  state_.mainsPresent = present;
  say(present ? "mains present" : "mains absent");
  if (!present) {
    if (!state_.outputOn) mainsLostWhileOff_ = true;
    if (testRunning_) endTest(TestResult::kAborted);
  }
  advance(nowMs);
}

void Ups::setBatteryCharge(double percent) {
  state_.batteryCharge = std::clamp(percent, 0.0, 100.0);
  say("battery charge " + std::to_string(readings().batteryCharge) + " %");
}

void Ups::setOutput(bool on, int64_t nowMs) {
  advance(nowMs);
  restore_ = Restore::kNone;
  if (!on && shutdownPending_) {
    shutdownPending_ = false;
    say("shutdown cancelled (front panel)");
  }
  if (!on) offSinceMs_ = nowMs;
  switchOutput(on, "front panel");
}

bool Ups::setOutlet(int index, bool on) {
  if (index < 0 || index >= state_.outletCount || index >= kMaxOutlets) return false;
  if (state_.outlets[index].on != on) {
    state_.outlets[index].on = on;
    say("outlet " + std::to_string(index + 1) + (on ? " on" : " off"));
  }
  return true;
}

bool Ups::startTest(int64_t nowMs, int seconds) {
  advance(nowMs);
  if (!state_.mainsPresent || !state_.outputOn) {
    say("test refused (no mains or output off)");
    return false;
  }
  testRunning_ = true;
  testEndMs_ = nowMs + int64_t{std::max(seconds, 0)} * 1000;
  state_.lastTest = TestResult::kInProgress;
  say("test started (" + std::to_string(seconds) + " s)");
  return true;
}

void Ups::endTest(TestResult result) {
  state_.lastTest = result;
  if (testRunning_) {
    testRunning_ = false;
    say(std::string("test finished: ") + testResultName(result));
  } else {
    say(std::string("test result set: ") + testResultName(result));
  }
}

void Ups::scheduleShutdown(int64_t nowMs, int delaySeconds, int restoreSeconds) {
  advance(nowMs);
  shutdownPending_ = true;
  shutdownAtMs_ = nowMs + int64_t{std::max(delaySeconds, 0)} * 1000;
  shutdownRestoreSeconds_ = restoreSeconds;
  say("shutdown in " + seconds(std::max(delaySeconds, 0)) + ", restore " + seconds(restoreSeconds));
  advance(nowMs);
}

void Ups::cancelShutdown(int64_t nowMs, bool wakeOutput) {
  advance(nowMs);
  if (shutdownPending_) {
    shutdownPending_ = false;
    say("shutdown cancelled");
  }
  if (wakeOutput && !state_.outputOn && restore_ != Restore::kNone) {
    restore_ = Restore::kTimer;
    restoreAtMs_ = std::max(nowMs, offSinceMs_ + kMinimumOffMs);
    say("output back on in " + std::to_string((restoreAtMs_ - nowMs + 999) / 1000) + " s");
    advance(nowMs);
  }
}

}  // namespace orvik::upssim
