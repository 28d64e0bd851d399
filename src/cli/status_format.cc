#include "cli/status_format.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "shared/alarm_conditions.h"

namespace orvik {
namespace {

constexpr std::size_t kWidth = 80;
constexpr std::size_t kLabelWidth = 13;

std::string format(const char* pattern, double value) {
  char text[48];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

// "230 V" or nothing when the UPS does not report it.
void addValue(std::vector<std::string>& parts, const std::optional<double>& value,
              const char* pattern) {
  if (value) parts.push_back(format(pattern, *value));
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty()) out += separator;
    out += part;
  }
  return out;
}

// A labelled line; a long value wraps at blanks under itself.
void addLine(std::string& out, const char* label, const std::string& value) {
  std::string line = std::string(label) + std::string(kLabelWidth - std::string(label).size(), ' ');
  std::size_t at = 0;
  while (value.size() - at > kWidth - kLabelWidth) {
    std::size_t cut = value.rfind(' ', at + (kWidth - kLabelWidth));
    if (cut == std::string::npos || cut <= at) {
      cut = at + (kWidth - kLabelWidth);
      while (cut > at + 1 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
    }
    out += line + value.substr(at, cut - at) + "\n";
    line = std::string(kLabelWidth, ' ');
    at = cut;
    while (at < value.size() && value[at] == ' ') ++at;
  }
  out += line + value.substr(at) + "\n";
}

std::vector<const char*> presentAlarms(const StatusSnapshot& status, bool keys) {
  std::vector<const char*> names;
  for (int bit = 0; bit < 32; ++bit) {
    if (bit == static_cast<int>(kServiceRunningBit) || !status.alarm(bit)) continue;
    static const char* const kUnnamed[] = {"bit_26", "bit_27", "bit_28",
                                           "bit_29", "bit_30", "bit_31"};
    const AlarmCondition* condition = alarmCondition(bit);
    names.push_back(condition ? (keys ? condition->key : condition->name) : kUnnamed[bit - 26]);
  }
  return names;
}

std::string jsonNumber(const std::optional<double>& value) {
  return value ? format("%.10g", *value) : "null";
}

}  // namespace

const char* linkName(LinkState link) {
  switch (link) {
    case LinkState::kUp:
      return "up";
    case LinkState::kLost:
      return "lost";
    case LinkState::kWaiting:
      return "waiting";
  }
  return "";
}

std::string localDateTime(Clock& clock, int64_t calendarSeconds) {
  LocalTime t;
  if (!clock.toLocalTime(calendarSeconds, &t)) return std::to_string(calendarSeconds);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
      out += escaped;
    } else {
      out.push_back(c);
    }
  }
  return out + "\"";
}

std::string statusText(const StatusSnapshot& s, Clock& clock) {
  std::string out;
  std::vector<std::string> identity;
  for (const std::string* part : {&s.manufacturer, &s.model}) {
    if (!part->empty()) identity.push_back(*part);
  }
  addLine(out, "UPS", identity.empty() ? "not identified yet" : joined(identity, " "));
  std::vector<std::string> details;
  if (!s.firmware.empty()) details.push_back("firmware " + s.firmware);
  if (!s.serialNumber.empty()) details.push_back("serial " + s.serialNumber);
  details.push_back("name \"" + s.name + "\"");
  if (!s.attachedDevices.empty()) details.push_back("attached \"" + s.attachedDevices + "\"");
  addLine(out, "", joined(details, ", "));
  addLine(out, "Service",
          "running since " + localDateTime(clock, s.serviceStartTime) +
              (s.hostName.empty() ? "" : " on " + s.hostName));
  const char* link = s.link == LinkState::kUp     ? "up"
                     : s.link == LinkState::kLost ? "LOST: the UPS does not answer"
                                                  : "waiting for the UPS to answer";
  addLine(out, "Link", s.protocol > 0 && s.link == LinkState::kUp
                          ? std::string(link) + ", protocol " + std::to_string(s.protocol)
                          : std::string(link));

  std::vector<std::string> input, output, battery;
  addValue(input, s.inputVoltage, "%.0f V");
  addValue(input, s.inputFrequency, "%.1f Hz");
  addValue(output, s.outputVoltage, "%.0f V");
  addValue(output, s.outputFrequency, "%.1f Hz");
  addValue(output, s.outputLoad, "load %.0f %%");
  addValue(battery, s.batteryCharge, "charge %.0f %%");
  addValue(battery, s.batteryMinutes, "%.0f min left");
  addValue(battery, s.batteryVoltage, "%.1f V");
  addValue(battery, s.batteryTemperature, "%.0f C");
  if (s.alarm(1)) battery.push_back("on battery for " + std::to_string(s.secondsOnBattery) + " s");
  addLine(out, "Input", input.empty() ? "not reported" : joined(input, "  "));
  addLine(out, "Output", output.empty() ? "not reported" : joined(output, "  "));
  addLine(out, "Battery", battery.empty() ? "not reported" : joined(battery, "  "));

  const std::vector<const char*> alarms = presentAlarms(s, false);
  std::string alarmText;
  for (const char* name : alarms) alarmText += (alarmText.empty() ? "" : ", ") + std::string(name);
  addLine(out, "Alarms", alarms.empty() ? "none" : alarmText);

  std::string test = testResultName(s.testResult);
  if (!s.testDetail.empty()) test += ": " + s.testDetail;
  addLine(out, "Self-test", test);

  std::vector<std::string> shutdown;
  if (s.alarm(kShutdownStartedBit)) shutdown.push_back("STARTED: this computer is shutting down");
  if (s.alarm(22)) shutdown.push_back("imminent");
  if (s.upsOffIn) shutdown.push_back("UPS output off in " + std::to_string(*s.upsOffIn) + " s");
  if (s.powerFailCountdown) {
    shutdown.push_back("in " + std::to_string(*s.powerFailCountdown) +
                       " s unless the power returns");
  }
  addLine(out, "Shutdown", shutdown.empty() ? "none" : joined(shutdown, "; "));
  return out;
}

std::string statusJson(const StatusSnapshot& s) {
  std::string alarms;
  for (const char* key : presentAlarms(s, true)) {
    alarms += (alarms.empty() ? "" : ", ") + jsonString(key);
  }
  const auto optionalInt = [](const std::optional<int>& value) {
    return value ? std::to_string(*value) : std::string("null");
  };
  const auto flag = [](bool value) { return value ? "true" : "false"; };
  std::string out = "{\n";
  out += "  \"service_running\": " + std::string(flag(s.serviceRunning)) + ",\n";
  out += "  \"service_start_time\": " + std::to_string(s.serviceStartTime) + ",\n";
  out += "  \"host_name\": " + jsonString(s.hostName) + ",\n";
  out += "  \"ups\": {\"manufacturer\": " + jsonString(s.manufacturer) +
         ", \"model\": " + jsonString(s.model) + ", \"firmware\": " + jsonString(s.firmware) +
         ", \"serial_number\": " + jsonString(s.serialNumber) +
         ", \"name\": " + jsonString(s.name) +
         ", \"attached_devices\": " + jsonString(s.attachedDevices) + "},\n";
  out += "  \"link\": " + jsonString(linkName(s.link)) + ",\n";
  out += "  \"protocol\": " + (s.protocol > 0 ? std::to_string(s.protocol) : "null") + ",\n";
  out += "  \"input\": {\"voltage\": " + jsonNumber(s.inputVoltage) +
         ", \"frequency\": " + jsonNumber(s.inputFrequency) +
         ", \"line_failures\": " + std::to_string(s.inputLineBads) + "},\n";
  out += "  \"output\": {\"voltage\": " + jsonNumber(s.outputVoltage) +
         ", \"frequency\": " + jsonNumber(s.outputFrequency) +
         ", \"load_percent\": " + jsonNumber(s.outputLoad) + "},\n";
  out += "  \"battery\": {\"charge_percent\": " + jsonNumber(s.batteryCharge) +
         ", \"minutes_remaining\": " + jsonNumber(s.batteryMinutes) +
         ", \"voltage\": " + jsonNumber(s.batteryVoltage) +
         ", \"temperature\": " + jsonNumber(s.batteryTemperature) +
         ", \"seconds_on_battery\": " + std::to_string(s.secondsOnBattery) + "},\n";
  out += "  \"alarm_flags\": " + std::to_string(s.alarmFlags) + ",\n";
  out += "  \"alarms\": [" + alarms + "],\n";
  out += "  \"self_test\": {\"result\": " + jsonString(testResultName(s.testResult)) +
         ", \"code\": " + std::to_string(s.testResult) +
         ", \"detail\": " + jsonString(s.testDetail) + "},\n";
  out += "  \"shutdown\": {\"started\": " + std::string(flag(s.alarm(kShutdownStartedBit))) +
         ", \"imminent\": " + flag(s.alarm(22)) +
         ", \"ups_output_off_in\": " + optionalInt(s.upsOffIn) +
         ", \"power_fail_countdown\": " + optionalInt(s.powerFailCountdown) + "}\n";
  out += "}\n";
  return out;
}

}  // namespace orvik
