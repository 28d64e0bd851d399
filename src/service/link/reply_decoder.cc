#include "service/link/reply_decoder.h"

#include <cstring>
#include <string>

#include "service/link/value_text.h"

namespace orvik {
namespace {

constexpr int kMaxFieldChars = 63;

std::string_view fixedText(const char* text, std::size_t size) {
  return {text, strnlen(text, size)};
}

// Characters of a field: fixed, or up to its end marker searched from the
// character after its column (a missing marker gives a negative count).
int fieldCharCount(const FieldRecord& field, int column, std::string_view text) {
  int widthBits = field.widthBits;
  const std::string_view marker = fixedText(field.endMarker, sizeof field.endMarker);
  if (widthBits == kUpToMarker && !marker.empty()) {
    const std::size_t from = column > 0 ? static_cast<std::size_t>(column) : 0;
    int position = -1;
    if (from <= text.size()) {
      const std::size_t found = text.find(marker, from);
      if (found != std::string_view::npos) position = static_cast<int>(found - from) + 1;
    }
    widthBits = (position + static_cast<int>(marker.size()) - 1) * 8;
  }
  // Rounded up, also for negative widths.
  return widthBits >= 0 ? (widthBits + 7) / 8 : -(-widthBits / 8);
}

int64_t convert(Conversion conversion, std::string_view chars, int64_t previous) {
  switch (conversion) {
    case Conversion::byte:
      return chars.empty() ? 0 : static_cast<unsigned char>(chars[0]);
    case Conversion::dec:
      return decimalValue(chars);
    case Conversion::hex:
      return hexValue(chars);
    case Conversion::bits: {
      uint32_t bits = 0;
      for (std::size_t k = 0; k < chars.size() && k < 32; ++k) {
        bits += static_cast<uint32_t>(chars[k] - '0') << k;
      }
      return static_cast<int32_t>(bits);
    }
    default:
      return previous;
  }
}

int64_t linearMap(const FieldCheck& check, int64_t value) {
  const double rawSpan = check.valueTable[2] - check.valueTable[1];
  if (rawSpan == 0) return check.valueTable[3];
  const double factor = (check.valueTable[4] - check.valueTable[3]) / rawSpan;
  return truncateValue(factor * static_cast<double>(value)) + check.valueTable[3];
}

}  // namespace

int decodeReply(LinkContext& ctx, std::string_view text, const CommandRecord& record,
                std::string_view reply) {
  std::string valueText;
  int64_t value = 0;
  for (const FieldRecord& field : record.fields) {
    const uint32_t variableId = field.variableId & 0xffffff;
    if (variableId == 0) continue;
    if (isConstantField(field.variableId)) {
      storeVariable(ctx, valueText, field, variableId, reply);
      continue;
    }

    const int column = fieldColumn(field);
    const int bit = fieldBit(field);
    const int count = fieldCharCount(field, column, text);
    if (count < 0 || count > kMaxFieldChars) return 1;
    // The reply ends before the field: it says nothing about this variable.
    if (column < 1 || static_cast<std::size_t>(column) > text.size()) continue;

    const std::string_view cut = text.substr(column - 1, count);
    // What a C string of the cut characters holds: up to a NUL byte.
    const std::string_view chars = cut.substr(0, cut.find('\0'));
    if (field.conversion == Conversion::text) {
      valueText.assign(chars);
      storeVariable(ctx, valueText, field, variableId, reply);
      continue;
    }

    value = convert(field.conversion, chars, value);
    if (bit != 0) {
      value >>= bit - 1;
      if (field.widthBits >= 1 && field.widthBits <= 8) value &= (1 << field.widthBits) - 1;
    }
    if (field.check.checkMode == CheckMode::paramCheck && field.check.valueTable[0] < 0 &&
        (value < field.check.valueTable[1] || value > field.check.valueTable[2])) {
      continue;
    }
    if (field.check.checkMode == CheckMode::linearMap) value = linearMap(field.check, value);
    valueText = std::to_string(value);
    storeVariable(ctx, valueText, field, variableId, reply);
  }
  return 0;
}

}  // namespace orvik
