// Access to fields of the shared status record that other threads or
// processes may touch at the same time. 2- and 4-byte fields go through one
// aligned relaxed atomic access, so a reader sees the old or the new value;
// text fields are copied byte by byte the same way, always cut to the field's
// size less one and NUL-terminated.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "platform/wakeup.h"

namespace orvik {

template <class T>
  requires(std::is_integral_v<T> && (sizeof(T) == 2 || sizeof(T) == 4))
T loadField(const T& field) {
  return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_relaxed);
}

template <class T, class V>
  requires(std::is_integral_v<T> && (sizeof(T) == 2 || sizeof(T) == 4))
void storeField(T& field, V value) {
  std::atomic_ref<T>(field).store(static_cast<T>(value), std::memory_order_relaxed);
}

// alarmFlags is written from several threads (poll task, control listener,
// monitor, shutdown); the monitor must see each change at once, or a bit set
// and cleared again between two of its passes raises no event. So every
// write goes through setFlagBit or storeFlags, which raise the registered
// wakeup whenever the word changes. One per process: the service registers
// its monitor task's; null (the default, and in the pages) for nobody. The
// wakeup must outlive every writer, or be unregistered first.
void setAlarmWakeup(Wakeup* wakeup);
// Unregisters wakeup if it is the registered one.
void clearAlarmWakeup(Wakeup* wakeup);
void notifyAlarmChange();

// Sets or clears one bit of alarmFlags in a single atomic step.
inline void setFlagBit(uint32_t& flags, unsigned bit, bool on) {
  std::atomic_ref<uint32_t> ref(flags);
  const uint32_t mask = uint32_t{1} << bit;
  const uint32_t before = on ? ref.fetch_or(mask, std::memory_order_relaxed)
                             : ref.fetch_and(~mask, std::memory_order_relaxed);
  if (((before & mask) != 0) != on) notifyAlarmChange();
}

// Replaces the whole of alarmFlags in one atomic step.
inline void storeFlags(uint32_t& flags, uint32_t value) {
  if (std::atomic_ref<uint32_t>(flags).exchange(value, std::memory_order_relaxed) != value) {
    notifyAlarmChange();
  }
}

// Copies text into a fixed field, cut to size - 1 bytes; the rest of the
// field is zeroed so no stale tail survives a shorter text.
void setText(char* field, std::size_t size, const char* text);
template <std::size_t N>
void setText(char (&field)[N], const char* text) {
  setText(field, N, text);
}
template <std::size_t N>
void setText(char (&field)[N], const std::string& text) {
  setText(field, N, text.c_str());
}

// Reads a text field up to its NUL, never past the field's end.
std::string readText(const char* field, std::size_t size);
template <std::size_t N>
std::string readText(const char (&field)[N]) {
  return readText(field, N);
}

}  // namespace orvik
