#include "service/link/table_exchange.h"

#include <cstring>
#include <string>
#include <string_view>

#include "service/link/ident_file.h"
#include "service/link/reply_decoder.h"
#include "service/link/serial_link.h"
#include "service/link/value_text.h"
#include "shared/decimal.h"
#include "shared/ignoring_case.h"

namespace orvik {
namespace {

// Binary frame bytes the validation reads.
constexpr std::size_t kModelByte = 11;
constexpr std::size_t kInputFrequencyByte = 4;
constexpr std::size_t kOutputFrequencyByte = 6;
constexpr std::size_t kStatusByte = 9;
constexpr unsigned char kUndecodedStatusBit = 0x40;

template <std::size_t N>
std::string_view fixedText(const char (&text)[N]) {
  return {text, strnlen(text, N)};
}

std::string commandBytes(const CommandRecord& record) {
  const std::string_view text = fixedText(record.commandText);
  std::string bytes;
  switch (record.sendKind) {
    case SendKind::asText:
      bytes = text;
      break;
    case SendKind::decimalByte:
      bytes.push_back(static_cast<char>(parseDecimal(text)));
      break;
    case SendKind::hexByte:
      bytes.push_back(static_cast<char>(hexValue(text)));
      break;
    default:
      break;
  }
  bytes += fixedText(record.commandTerminator);
  return bytes;
}

// The reply of a kind 6 record: its command text, or the line of
// "ident.ini" that names one of its fields. False when there is none.
bool fixedReply(const LinkContext& ctx, const CommandRecord& record, std::string* reply) {
  const std::string_view text = fixedText(record.commandText);
  if (!text.empty()) {
    reply->assign(text);
    return true;
  }
  return identFixedReply(ctx.identPath, record, reply);
}

// Exchanges until the reply is one worth validating; empty when the UPS
// stayed silent. The last exchange is left holding the line in hold, so that
// its reply reaches the record before the hold runs out.
std::string exchangeForReply(SerialLink& link, const ProbeSettings& settings,
                             const std::string& bytes, int terminator, int maxLength,
                             PortHold& hold) {
  std::string buffer(maxLength + 1, '\0');
  auto exchange = [&] {
    hold.finish();  // the exchange before lets go of the line first
    int count = 0;
    hold = link.beginTransaction(bytes.data(), static_cast<int>(bytes.size()), settings.byteDelayMs,
                                 settings.settleMs, buffer.data(), &count, terminator, maxLength,
                                 settings.timeoutMs);
    return std::string(buffer.data(), count > 0 ? count : 0);
  };
  std::string reply = exchange();
  if (bytes.starts_with("Q1")) {
    // A status reply starts with "("; anything else that arrives (a stale
    // line, noise) is asked for again. Silence is not: the poll tries the
    // command again 600 ms later anyway, and eight silent sends each time
    // would hold back the report of a lost link by some 18 s.
    for (int sent = 1; sent < kQ1Sends && !reply.empty() && !reply.starts_with('('); ++sent) {
      reply = exchange();
    }
  } else if (reply.empty()) {
    reply = exchange();
  }
  return reply;
}

// Also marks the unit's variant and brings byte 11 of a variant-1 frame to
// the "O" the model file knows it by. *decode tells whether the frame
// carries values.
bool validBinaryReply(LinkContext& ctx, std::string& reply, bool* decode) {
  // A frame that lost or gained a byte on the line would decode shifted.
  if (reply.size() != static_cast<std::size_t>(kBinaryFrameLength)) return false;
  if (reply[kModelByte] == 'K') {
    ctx.protocolVariant = 2;
    return true;
  }
  reply[kModelByte] = 'O';
  ctx.protocolVariant = 1;
  for (std::size_t at : {kInputFrequencyByte, kOutputFrequencyByte}) {
    const int hertz = static_cast<signed char>(reply[at]);
    if (hertz != 0 && (hertz < 40 || hertz > 70)) return false;
  }
  if (static_cast<unsigned char>(reply[kStatusByte]) & kUndecodedStatusBit) *decode = false;
  return true;
}

bool validTextReply(const CommandRecord& record, std::string_view reply) {
  if (record.fields.empty()) return true;
  const std::string_view mustContain = fixedText(record.fields.front().mustContain);
  if (!mustContain.empty() && reply.find(mustContain) == std::string_view::npos) return false;
  const std::string_view endMarker = fixedText(record.fields.back().endMarker);
  if (!endMarker.empty()) {
    const std::size_t tail = endMarker.size() + 1;
    const std::string_view end = reply.size() > tail ? reply.substr(reply.size() - tail) : reply;
    return end.find(endMarker) != std::string_view::npos;
  }
  return record.replyLength == kUnknownLength ||
         reply.size() == static_cast<std::size_t>(record.replyLength);
}

int exchangeAndDecode(SerialLink& link, const ProbeSettings& settings, LinkContext& ctx,
                      bool lastCommandFailed, const CommandRecord& record) {
  std::string reply;
  bool decode = true;
  // Ends, at the latest, when this returns: after the decoding.
  PortHold hold;
  if (record.sendKind == SendKind::noExchange) {
    if (!fixedReply(ctx, record, &reply) || lastCommandFailed) return 1;
  } else {
    const std::string bytes = commandBytes(record);
    const std::string_view terminatorText = fixedText(record.commandTerminator);
    const int terminator =
        terminatorText.empty() ? kNoTerminator : static_cast<signed char>(terminatorText.back());
    const int maxLength = record.replyLength < 0 ? kUnknownReplyMaximum : record.replyLength;
    reply = exchangeForReply(link, settings, bytes, terminator, maxLength, hold);
    if (reply.empty()) return 1;
    const bool valid = ctx.protocolFamily == kFamilyBinary ? validBinaryReply(ctx, reply, &decode)
                                                           : validTextReply(record, reply);
    if (!valid) return 1;
    if (!decode) return 0;
  }

  const std::size_t start = record.startColumn > 1 ? record.startColumn - 1u : 0;
  const std::string_view whole = reply;
  const std::string_view text = start <= whole.size() ? whole.substr(start) : std::string_view{};
  if (!startsWithIgnoringCase(text, fixedText(record.replyPrefix))) return 1;
  decodeReply(ctx, text, record, whole);
  return 0;
}

}  // namespace

int executeTableCommand(SerialLink& link, const ProbeSettings& settings, LinkContext& ctx,
                        bool& lastCommandFailed, const CommandRecord& record) {
  const int result = exchangeAndDecode(link, settings, ctx, lastCommandFailed, record);
  lastCommandFailed = result != 0;
  return result;
}

}  // namespace orvik
