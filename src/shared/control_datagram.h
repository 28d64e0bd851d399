// The one datagram layout of the system: three big-endian 32-bit words
// (command, argument, text length) and then up to 1024 bytes of text without
// a terminating zero. The pages and the service send it to the control port;
// the service's notices to other hosts use it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

inline constexpr uint16_t kControlPort = 8828;
inline constexpr std::size_t kDatagramHeaderSize = 12;
inline constexpr std::size_t kMaxDatagramText = 1024;
// A receiver reads at most this much of one datagram.
inline constexpr std::size_t kMaxReceivedDatagram = 1500;

// Commands of the control port.
inline constexpr uint32_t kSelfTestCommand = 369;
inline constexpr uint32_t kSaveSettingsCommand = 4096;
inline constexpr uint32_t kPortsChangedCommand = 4118;
inline constexpr uint32_t kUpsSettingsCommand = 4132;
inline constexpr uint32_t kSaveSettingsAgainCommand = 4178;
inline constexpr uint32_t kStopServiceCommand = 35152;
inline constexpr uint32_t outletCommand = 66145;

struct ControlDatagram {
  uint32_t command = 0;
  int32_t argument = 0;
  uint32_t length = 0;   // the length word as it arrived
  bool hasText = false;  // the length word was 1 to 1024
  std::string text;      // the text bytes that arrived, at most `length`
};

// Header plus text; the text is cut to 1024 bytes, a null text sends none.
std::vector<uint8_t> encodeControlDatagram(uint32_t command, int32_t argument, const char* text);

// 0, or -1 for fewer than 12 bytes (the datagram is dropped). A length word
// outside 1 to 1024 passes no text; a text announced longer than what
// arrived is cut to what arrived.
int decodeControlDatagram(const uint8_t* bytes, std::size_t size, ControlDatagram* out);

}  // namespace orvik
