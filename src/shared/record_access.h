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

// Sets or clears one bit of a 32-bit flag word in a single atomic step.
inline void setFlagBit(uint32_t& flags, unsigned bit, bool on) {
  std::atomic_ref<uint32_t> ref(flags);
  if (on) {
    ref.fetch_or(uint32_t{1} << bit, std::memory_order_relaxed);
  } else {
    ref.fetch_and(~(uint32_t{1} << bit), std::memory_order_relaxed);
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
