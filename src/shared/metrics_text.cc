#include "shared/metrics_text.h"

#include <cstdio>
#include <optional>

#include "shared/alarm_conditions.h"
#include "shared/status_snapshot.h"

namespace orvik {
namespace {

// Escapes a label value: backslash, double quote and line feed.
std::string labelValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out.push_back(c);
  }
  return out;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

class MetricsWriter {
 public:
  // HELP and TYPE, once per metric, before its first series.
  void head(const char* name, const char* help) {
    out_ += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n";
  }
  void series(const char* name, const std::string& labels, double value) {
    out_ += name;
    if (!labels.empty()) out_ += "{" + labels + "}";
    out_ += " " + number(value) + "\n";
  }
  void gauge(const char* name, const char* help, double value) {
    head(name, help);
    series(name, "", value);
  }
  void gauge(const char* name, const char* help, std::optional<double> value, double scale = 1) {
    if (value) gauge(name, help, *value * scale);
  }
  const std::string& text() const { return out_; }

 private:
  std::string out_;
};

}  // namespace

std::string metricsText(const StatusRecord* record) {
  MetricsWriter out;
  const char* const upHelp = "Whether the UPS service runs (1) or not (0).";
  if (record == nullptr || !recordProblem(*record).empty()) {
    out.gauge("orvik_service_up", upHelp, 0);
    return out.text();
  }
  const StatusSnapshot s = takeSnapshot(*record);
  if (!s.serviceRunning) {
    out.gauge("orvik_service_up", upHelp, 0);
    return out.text();
  }
  out.gauge("orvik_service_up", upHelp, 1);
  out.gauge("orvik_service_start_time_seconds", "When the UPS service started, seconds since 1970.",
            static_cast<double>(s.serviceStartTime));
  out.head("orvik_ups_info", "The UPS identity as the service read it; always 1.");
  out.series("orvik_ups_info",
             "manufacturer=\"" + labelValue(s.manufacturer) + "\",model=\"" + labelValue(s.model) +
                 "\",firmware=\"" + labelValue(s.firmware) + "\",serial_number=\"" +
                 labelValue(s.serialNumber) + "\",name=\"" + labelValue(s.name) + "\"",
             1);
  out.gauge("orvik_link_up", "Whether the UPS answers the service (1) or not (0).",
            s.link == LinkState::kUp ? 1 : 0);
  if (s.protocol > 0) {
    out.gauge("orvik_ups_protocol", "The UPS protocol the service identified (1 to 9).",
              s.protocol);
  }
  out.gauge("orvik_input_voltage_volts", "Input voltage of line 1.", s.inputVoltage);
  out.gauge("orvik_input_frequency_hertz", "Input frequency.", s.inputFrequency);
  out.gauge("orvik_output_voltage_volts", "Output voltage of line 1.", s.outputVoltage);
  out.gauge("orvik_output_frequency_hertz", "Output frequency.", s.outputFrequency);
  out.gauge("orvik_output_load_ratio", "Output load of line 1 as a share of the rated load.",
            s.outputLoad, 0.01);
  out.gauge("orvik_battery_voltage_volts", "Battery voltage.", s.batteryVoltage);
  out.gauge("orvik_battery_temperature_celsius", "Battery temperature.", s.batteryTemperature);
  out.gauge("orvik_battery_charge_ratio", "Estimated battery charge left as a share of full.",
            s.batteryCharge, 0.01);
  out.gauge("orvik_battery_runtime_seconds", "Estimated run time left on battery.",
            s.batteryMinutes, 60);
  out.gauge("orvik_on_battery_seconds", "Time on battery so far.", s.secondsOnBattery);
  out.gauge("orvik_input_line_failures", "Input line failures counted by the UPS service.",
            s.inputLineBads);

  out.head("orvik_alarm", "Whether an alarm condition is present (1) or not (0).");
  for (const AlarmCondition& condition : alarmConditions()) {
    if (condition.bit == static_cast<int>(kServiceRunningBit)) continue;  // orvik_service_up
    out.series("orvik_alarm", std::string("condition=\"") + condition.key + "\"",
               s.alarm(condition.bit) ? 1 : 0);
  }
  out.head("orvik_self_test_result", "The last UPS self-test's result (1) among the others (0).");
  for (int code = 1; code <= 6; ++code) {
    out.series("orvik_self_test_result", std::string("result=\"") + testResultName(code) + "\"",
               s.testResult == code ? 1 : 0);
  }
  if (s.upsOffIn) {
    out.gauge("orvik_ups_output_off_in_seconds", "Time until the UPS switches its output off.",
              *s.upsOffIn);
  }
  return out.text();
}

}  // namespace orvik
