#include "shared/alarm_conditions.h"

#include <array>

namespace orvik {
namespace {

// Event names as the pages and the English message file give them.
constexpr std::array<AlarmCondition, 26> kConditions = {{
    {0, "battery_bad", "battery bad", "Battery bad", "Battery replaced"},
    {1, "on_battery", "on battery", "Power failure", "Power restore"},
    {2, "low_battery", "low battery", "Battery low", "Battery no longer low"},
    {3, "depleted_battery", "battery depleted", "Battery depleted", "Battery no longer depleted"},
    {4, "temperature_bad", "temperature out of tolerance", "Temperature out of tolerance",
     "Temperature normal"},
    {5, "input_bad", "input out of tolerance", "Input out of tolerance", "Input normal"},
    {6, "output_bad", "output out of tolerance", "Output out of tolerance", "Output normal"},
    {7, "output_overload", "output overload", "Output overload", "Output overload solved"},
    {8, "on_bypass", "on bypass", "On bypass", "Off bypass"},
    {9, "bypass_bad", "bypass out of tolerance", "Bypass out of tolerance", "Bypass normal"},
    {10, "output_off_as_requested", "output off as requested", "Output off as requested",
     "Output on again"},
    {11, "ups_off_as_requested", "UPS off as requested", "UPS off as requested", "UPS on again"},
    {12, "charger_failed", "charger failed", "Charger failed", "Charger normal"},
    {13, "ups_output_off", "UPS output off", "UPS output off", "UPS output on"},
    {14, "ups_system_off", "UPS system off", "UPS system off", "UPS system on"},
    {15, "fan_failure", "fan failure", "Fan failure", "Fan normal"},
    {16, "fuse_failure", "fuse failure", "Fuse failure", "Fuse normal"},
    {17, "general_fault", "general fault", "General fault", "General fault cleared"},
    {18, "diagnostic_test_failed", "diagnostic test failed", "Diagnostic test failed",
     "Diagnostic test failure cleared"},
    {19, "communication_lost", "communication lost", "Communication lost",
     "Communication established"},
    {20, "awaiting_power", "awaiting power", "Awaiting power", "Input power returned"},
    {21, "shutdown_pending", "shutdown pending", "Shutdown pending", "Shutdown no longer pending"},
    {22, "shutdown_imminent", "shutdown imminent", "Shutdown imminent", "Shutdown request cleared"},
    {23, "test_in_progress", "test in progress", "Test in progress", "Test completed"},
    {24, "service_running", "service running", "Service started", "Service stopped"},
    {25, "shutdown_started", "shutdown started", "Shutdown started", "Shutdown completed"},
}};

}  // namespace

std::span<const AlarmCondition> alarmConditions() { return kConditions; }

const AlarmCondition* alarmCondition(int bit) {
  if (bit < 0 || bit >= static_cast<int>(kConditions.size())) return nullptr;
  return &kConditions[static_cast<std::size_t>(bit)];
}

std::string eventName(int eventNumber) {
  const bool recovery = eventNumber >= 100;
  if (const AlarmCondition* condition =
          alarmCondition(recovery ? eventNumber - 100 : eventNumber)) {
    return recovery ? condition->recovery : condition->occurrence;
  }
  return "Event " + std::to_string(eventNumber);
}

}  // namespace orvik
