// The simulated UPS itself: what it measures, how it is configured, and what
// happens over time (battery charge, a running self-test, a switch-off after a
// delay and the switch-on after the restore time). The protocol responders read
// it and act on it; control commands change it. Times are monotonic
// milliseconds handed in by the caller, so tests drive it without a clock.
// Single-threaded: owned by the simulator's main loop.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace orvik::upssim {

// Test result codes as the UPS MIB numbers them; the two-letter "TR" reply
// carries them as they are.
enum class TestResult : int {
  kPassed = 1,
  kWarning = 2,
  kError = 3,
  kAborted = 4,
  kInProgress = 5,
  kNone = 6,
};

const char* testResultName(TestResult result);

// Output source codes of the UPS MIB; the two-letter "OS" reply carries them.
enum OutputSource : int {
  kSourceNone = 2,
  kSourceNormal = 3,
  kSourceBattery = 5,
  kSourceBoost = 6,
  kSourceTrim = 7,
};

constexpr int kMaxOutlets = 8;

struct OutletState {
  bool on = true;
  int mode = 1;    // "OM"/"Om"
  int action = 0;  // "OA"/"Oa"
  int delay = 1;   // "OD"/"Od"
};

// Plain state. Control commands write these fields directly; Ups keeps the
// timed parts consistent.
struct UpsState {
  // Mains and load.
  bool mainsPresent = true;
  double inputVoltage = 230.0;
  double inputFrequency = 50.0;
  int loadPercent = 25;
  double temperature = 25.0;

  // Battery.
  double batteryCharge = 100.0;      // percent
  int lowBatteryLevel = 20;          // the battery reads low at or below this charge
  double dischargePerMinute = 20.0;  // charge lost per minute on battery at 100 % load
  double chargePerMinute = 10.0;     // charge gained per minute on mains
  bool batteryReplace = false;

  // Ratings.
  int nominalInputVoltage = 230;
  int nominalOutputVoltage = 230;
  double nominalFrequency = 50.0;
  int batteryNominalDeciVolts = 240;
  // Battery voltage at full charge, in 0.1 V per 12 V of nominal: 130 reads
  // 13.0 V on a 12 V battery; a lead-acid battery floating on its charger
  // reads about 136 (2.27 V a cell).
  int fullChargeDeciVoltsPer12V = 130;
  int ratedVa = 1000;
  int ratedW = 600;

  // Alarms set from outside (overload also follows a load above 100 %).
  bool overloadForced = false;
  bool overTemperature = false;
  bool outputBad = false;
  bool upsFault = false;
  bool beeper = true;

  // Settings the host reads and writes.
  int lowTransferVoltage = 93;
  int highTransferVoltage = 145;
  int lowBatteryWarning = 2;  // "FB"/"Fb": 2 or 5
  int audible = 2;
  int autoRestart = 1;
  int shutdownType = 1;
  int batteryDate = 0;
  int crSetting = 0;

  // Output and outlets.
  bool outputOn = true;
  int outletCount = 2;
  std::array<OutletState, kMaxOutlets> outlets{};

  // Self-test.
  int testSeconds = 10;
  TestResult testOutcome = TestResult::kPassed;  // how host-started tests end
  TestResult lastTest = TestResult::kNone;

  // Identity.
  std::string manufacturer = "SIMULATED";
  std::string model = "UPSSIM-1K";
  std::string version;  // empty: the protocol's default
  std::string serial = "SIM00000001";
  // Binary protocol: 1 sends "O" in byte 11, 2 sends "K" (the variant with
  // boost/trim bits).
  int binaryVariant = 1;

  // How many seconds a protocol "minute" lasts (shutdown and restore times
  // given in minutes); lower it to run long sequences quickly.
  int minuteSeconds = 60;
  // Restore time remembered for the next shutdown (binary "4", two-letter
  // "Cu"); -1 none.
  int pendingRestoreSeconds = -1;
};

// Values derived from the state, as the UPS would measure them now.
struct Readings {
  double inputVoltage = 0;
  double inputFrequency = 0;
  double outputVoltage = 0;
  double outputFrequency = 0;
  int loadPercent = 0;
  int batteryDeciVolts = 0;  // whole battery, 0.1 V
  int batteryCharge = 0;     // percent
  bool utilityFail = false;
  bool batteryLow = false;
  bool batteryDepleted = false;
  bool overload = false;
  bool boost = false;
  bool trim = false;
  bool onBattery = false;  // output fed from the battery (power failure or test)
  bool testRunning = false;
  bool shutdownPending = false;
  bool outputOn = false;
  int outputSource = kSourceNormal;
};

class Ups {
 public:
  // notify receives one line for every state change.
  using Notify = std::function<void(const std::string&)>;

  explicit Ups(UpsState initial = {}, Notify notify = nullptr);

  UpsState& state() { return state_; }
  const UpsState& state() const { return state_; }
  Readings readings() const;
  bool outletPowered(int index) const;

  // Runs time forward to nowMs: battery charge, end of a test, switch-off
  // and restore. Call it before reading and at nextDeadlineMs().
  void advance(int64_t nowMs);
  // The next moment advance() has a timed change to make, or -1.
  int64_t nextDeadlineMs() const;

  void setMains(bool present, int64_t nowMs);
  void setBatteryCharge(double percent);
  // Front-panel switch: no automatic restore after "off".
  void setOutput(bool on, int64_t nowMs);
  // False when the index (0-based) is not an outlet of this UPS.
  bool setOutlet(int index, bool on);

  // False (nothing starts) without mains or with the output off.
  bool startTest(int64_t nowMs, int seconds);
  // Ends a running test with the result; without one, records it.
  void endTest(TestResult result);

  // Switches the output off after delaySeconds; it comes back restoreSeconds
  // after going off (once mains is present), or with restoreSeconds -1 when
  // mains returns after a failure.
  void scheduleShutdown(int64_t nowMs, int delaySeconds, int restoreSeconds);
  // Drops a pending shutdown. With wakeOutput, an output already switched
  // off by a shutdown comes back too (at least 10 s after it went off).
  void cancelShutdown(int64_t nowMs, bool wakeOutput);

  bool shutdownPending() const { return shutdownPending_; }
  int64_t shutdownAtMs() const { return shutdownAtMs_; }

 private:
  enum class Restore { kNone, kTimer, kMainsReturn };

  void say(const std::string& text) const;
  void switchOutput(bool on, const std::string& why);
  void updateBattery(int64_t nowMs);

  UpsState state_;
  Notify notify_;
  int64_t lastAdvanceMs_ = -1;
  bool lowReported_ = false;

  bool testRunning_ = false;
  int64_t testEndMs_ = 0;

  bool shutdownPending_ = false;
  int64_t shutdownAtMs_ = 0;
  int shutdownRestoreSeconds_ = -1;

  Restore restore_ = Restore::kNone;
  int64_t offSinceMs_ = 0;
  int64_t restoreAtMs_ = 0;
  bool mainsLostWhileOff_ = false;
};

}  // namespace orvik::upssim
