#include "service/link/command_composer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "service/link/value_text.h"

namespace orvik {
namespace {

std::string_view fixedText(const char* text, std::size_t size) {
  return {text, strnlen(text, size)};
}

bool valueAllowed(const FieldCheck& check, int64_t value) {
  if (check.checkMode != CheckMode::paramCheck) return true;
  const int count = check.valueTable[0];
  if (count < 0) return value >= check.valueTable[1] && value <= check.valueTable[2];
  if (count < 2) return true;
  for (int i = 1; i <= count && i < static_cast<int>(check.valueTable.size()); ++i) {
    if (check.valueTable[i] == value) return true;
  }
  return false;
}

// The value left-padded with "0" to digits characters (when digits > 0).
std::string decimalDigits(int digits, int64_t value) {
  char text[80];
  std::snprintf(text, sizeof text, "%0*d", std::max(digits, 0), static_cast<int>(value));
  return text;
}

std::string hexDigits(int digits, int64_t value) {
  char text[80];
  std::snprintf(text, sizeof text, "%0*X", std::max(digits, 0), static_cast<unsigned>(value));
  return text;
}

}  // namespace

bool composeTableCommand(const CommandRecord& record, int32_t argument, std::string* command) {
  std::string out(fixedText(record.replyPrefix, sizeof record.replyPrefix));
  const std::string_view commandText = fixedText(record.commandText, sizeof record.commandText);
  switch (record.sendKind) {
    case SendKind::asText:
      out += commandText;
      break;
    case SendKind::decimalByte:
      out += static_cast<char>(decimalValue(commandText));
      break;
    case SendKind::hexByte:
      out += static_cast<char>(hexValue(commandText));
      break;
    default:
      break;
  }

  int64_t rest = argument;
  for (std::size_t position = 0; position < record.fields.size(); ++position) {
    const FieldRecord& field = record.fields[position];
    const std::string_view lead = fixedText(field.mustContain, sizeof field.mustContain);
    const std::string_view end = fixedText(field.endMarker, sizeof field.endMarker);
    if (field.composePart != 3 && field.composePart != 4) rest = argument;
    if (variableNumber(field.variableId) == 0) {
      out += end;
      continue;
    }

    const int width = field.widthBits / 8;
    if (width < 0) return false;
    const int digits = width - static_cast<int>(lead.size() + end.size());
    int64_t value = truncateValue(static_cast<double>(rest) * field.scale);
    if (!valueAllowed(field.check, value)) return false;
    if (field.check.checkMode == CheckMode::map) {
      if (position >= field.check.valueTable.size()) return false;
      value = field.check.valueTable[position];
    }
    if (field.scale != 0) rest -= truncateValue(static_cast<double>(value) / field.scale);

    std::string text;
    switch (field.conversion) {
      case Conversion::text:
        text = std::string(lead) + std::to_string(value) + std::string(end);
        break;
      case Conversion::byte:
        text = std::string(lead) + static_cast<char>(value) + std::string(end);
        break;
      case Conversion::dec:
        text = std::string(lead) + decimalDigits(digits, value) + std::string(end);
        break;
      case Conversion::hex:
        text = std::string(lead) + hexDigits(digits, value) + std::string(end);
        break;
      default:
        break;
    }

    const int column = fieldColumn(field);
    if (column < 1) return false;
    // A column past the end leaves a gap of NUL bytes, as in a zeroed buffer.
    out.resize(std::max<std::size_t>(out.size(), column - 1), '\0');
    out.replace(column - 1, std::string::npos, text.substr(0, width));
  }

  if (out.size() >= 2) {
    char checksum = 0;
    for (std::size_t i = 1; i < out.size(); ++i) checksum ^= out[i];
    out += checksum;
  }
  *command = std::move(out);
  return true;
}

}  // namespace orvik
