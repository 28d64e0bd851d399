#include "service/link/candidate_probe.h"

#include <string_view>

#include "service/link/link_context.h"
#include "service/link/serial_link.h"

namespace orvik {
namespace {

constexpr int kCarriageReturn = '\r';
constexpr int kQ1ProbeMaximum = 99;
// A "Q1" status reply of the short layout fits in this many bytes.
constexpr int kShortQ1Reply = 45;

// One probe exchange with the candidate's settings; the reply, possibly empty.
std::string_view probe(SerialLink& link, const ProbeSettings& settings, std::string_view command,
                       int terminator, int maxLength, char (&reply)[kQ1ProbeMaximum + 1]) {
  int count = 0;
  link.serialTransaction(command.data(), static_cast<int>(command.size()), settings.byteDelayMs,
                         settings.settleMs, reply, &count, terminator, maxLength,
                         settings.timeoutMs);
  return {reply, static_cast<std::size_t>(count)};
}

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace

void prepareCandidate(int& protocolNumber, ProbeSettings& settings, int& protocolFamily) {
  protocolFamily = kFamilyTwoLetter;
  switch (protocolNumber) {
    case 1:
      settings = {.speed = 1200, .byteDelayMs = 20, .settleMs = 10, .timeoutMs = 1000};
      protocolFamily = kFamilyBinary;
      break;
    case 2:
      settings = {.speed = 2400, .byteDelayMs = 20, .settleMs = 10, .timeoutMs = 1000};
      protocolFamily = kFamilyQ1;
      break;
    case 3:
    case 4:
      break;
    case 5:
      settings = {.speed = 2400, .byteDelayMs = 0, .settleMs = 10, .timeoutMs = 600};
      break;
    case 8:
      settings = {.speed = 2400, .byteDelayMs = 20, .settleMs = 20, .timeoutMs = 1000};
      break;
    case 6:
    case 7:
    case kLastCandidate:
      settings = {.speed = 2400, .byteDelayMs = 20, .settleMs = 10, .timeoutMs = 600};
      break;
    default:
      protocolFamily = kFamilyNone;
      protocolNumber = 0;
      break;
  }
}

bool probeCandidate(SerialLink& link, const ProbeSettings& settings, int& protocolNumber,
                    int& protocolVariant) {
  link.setPortSpeed(kUpsSlot, settings.speed);
  char buffer[kQ1ProbeMaximum + 1];
  if (protocolNumber == 1) {
    const std::string_view reply =
        probe(link, settings, "\x01", kNoTerminator, kBinaryFrameLength, buffer);
    if (reply.size() != kBinaryFrameLength) return false;
    protocolVariant = reply[11] == 'K' ? 2 : 1;
    return true;
  }
  if (protocolNumber >= 2 && protocolNumber <= 4) {
    std::string_view reply = probe(link, settings, "OI\r", kNoTerminator, kQ1ProbeMaximum, buffer);
    if (!reply.empty() && reply[0] == '#') {
      protocolNumber = 3;
      return true;
    }
    reply = probe(link, settings, "Q1\r", kNoTerminator, kQ1ProbeMaximum, buffer);
    if (reply.empty()) return false;
    protocolNumber = reply.size() <= kShortQ1Reply ? 2 : 4;
    return true;
  }
  // The two-letter models report their version to "IS"; what it contains
  // tells the models apart.
  const int maxLength = protocolNumber == 5 || protocolNumber == 7 ? 7 : 8;
  const std::string_view version =
      probe(link, settings, "IS\r\n", kCarriageReturn, maxLength, buffer);
  if (version.empty()) return false;
  switch (protocolNumber) {
    case 5:
      return contains(version, "T");
    case 6:
      return contains(version, "B2");
    case 7:
      return contains(version, "C");
    case 8:
      return contains(version, "B1");
    case kLastCandidate:
      return contains(version, "B") && !contains(version, "B1") && !contains(version, "B2");
    default:
      return false;
  }
}

}  // namespace orvik
