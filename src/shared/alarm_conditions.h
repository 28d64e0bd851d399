// The conditions of alarmFlags by name, and the names of the events their
// changes raise, for programs that show them to people and scrapers.
//
// The names are English and fixed, whatever language the service logs in:
// scripts match the keys, and a table here needs no message file beside
// the program that shows them. Plain constant data, for any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace orvik {

struct AlarmCondition {
  int bit;
  const char* key;         // "on_battery": JSON, metric labels
  const char* name;        // "on battery": status lines
  const char* occurrence;  // name of event bit, "Power failure"
  const char* recovery;    // name of event 100 + bit, "Power restore"
};

// Bits 0 to 25 in bit order. Bits 0 to 23 are the UPS alarms in their
// standard order, 24 and 25 the service's own.
std::span<const AlarmCondition> alarmConditions();

// The condition of one bit; null for bits 26 to 31.
const AlarmCondition* alarmCondition(int bit);

// The name of an event number: bit for an occurrence, 100 + bit for a
// recovery; "Event N" for a number without one.
std::string eventName(int eventNumber);

}  // namespace orvik
