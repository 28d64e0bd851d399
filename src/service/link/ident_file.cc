#include "service/link/ident_file.h"

#include <fstream>
#include <vector>

#include "service/link/value_text.h"
#include "shared/record_access.h"
#include "shared/status_record.h"

namespace orvik {
namespace {

constexpr std::size_t kMaxLineLength = 255;
constexpr unsigned kModelClassFlagBit = 8;

// The file's lines without their line ends, each cut to the longest line
// the file's readers take.
class IdentLines {
 public:
  explicit IdentLines(const std::string& path) : in_(path, std::ios::binary) {}
  bool isOpen() const { return in_.is_open(); }

  bool next(std::string* line) {
    if (!std::getline(in_, *line)) return false;
    if (!line->empty() && line->back() == '\r') line->pop_back();
    if (line->size() > kMaxLineLength) line->resize(kMaxLineLength);
    return true;
  }

 private:
  std::ifstream in_;
};

bool contains(std::string_view line, std::string_view part) {
  return line.find(part) != std::string_view::npos;
}

std::vector<std::string_view> commaItems(std::string_view line) {
  std::vector<std::string_view> items;
  std::size_t start = 0;
  for (std::size_t comma; (comma = line.find(',', start)) != std::string_view::npos;
       start = comma + 1) {
    items.push_back(trimBlanks(line.substr(start, comma - start)));
  }
  items.push_back(trimBlanks(line.substr(start)));
  return items;
}

bool entryMatches(const std::vector<std::string_view>& e, std::string_view key1,
                  std::string_view key2, std::string_view key3) {
  if (e[0] != key1) return false;
  if (e[2].empty()) return e[1].empty() || e[1] == key2;
  return e[1] == key2 && e[2] == key3;
}

void fillEntry(const std::vector<std::string_view>& e, IdentEntry& entry) {
  auto item = [&](std::size_t i) { return i < e.size() ? e[i] : std::string_view{}; };
  entry = IdentEntry{};
  entry.found = true;
  setText(entry.manufacturer, std::string(item(3)));
  setText(entry.model, std::string(item(4)));
  entry.ratedVa = saturate32(decimalValue(item(5)));
  entry.ratedW = saturate32(decimalValue(item(6)));
  entry.nominalBatteryVoltage = saturate32(decimalValue(item(7)));
  entry.modelClass = saturate32(decimalValue(item(8)));
}

void setServiceFlagBit(uint16_t& flags, unsigned bit, bool on) {
  std::atomic_ref<uint16_t> ref(flags);
  const auto mask = static_cast<uint16_t>(1u << bit);
  if (on) {
    ref.fetch_or(mask, std::memory_order_relaxed);
  } else {
    ref.fetch_and(static_cast<uint16_t>(~mask), std::memory_order_relaxed);
  }
}

// The trimmed text between the first "<" at or after from and the next ">".
bool angleItem(std::string_view line, std::size_t& from, std::string_view* item) {
  const std::size_t open = line.find('<', from);
  if (open == std::string_view::npos) return false;
  const std::size_t close = line.find('>', open + 1);
  if (close == std::string_view::npos) return false;
  *item = trimBlanks(line.substr(open + 1, close - open - 1));
  from = close + 1;
  return true;
}

}  // namespace

bool identLookup(LinkContext& ctx, int family, std::string_view key1, std::string_view key2,
                 std::string_view key3) {
  const char* section = family == kFamilyBinary ? "PROTOCOL1"
                        : family == kFamilyQ1   ? "PROTOCOL2"
                                                : nullptr;
  if (section == nullptr) return false;

  std::string line;
  {
    IdentLines lines(ctx.identPath);
    bool versionFound = false;
    while (!versionFound && lines.next(&line)) {
      versionFound = contains(line, "Version:") && contains(line, "1.1");
    }
    if (!versionFound) return false;
  }

  IdentLines lines(ctx.identPath);
  bool inSection = false;
  while (!inSection && lines.next(&line)) {
    inSection = contains(line, "Protocol:") && contains(line, section);
  }
  while (inSection && lines.next(&line)) {
    const std::vector<std::string_view> entry = commaItems(line);
    if (entry.size() < 4) return false;
    if (!entryMatches(entry, key1, key2, key3)) continue;

    fillEntry(entry, ctx.decoder.identEntry);
    ctx.decoder.modelKind = static_cast<int16_t>(ctx.decoder.identEntry.modelClass);
    if (ctx.record != nullptr) {
      setServiceFlagBit(ctx.record->serviceFlags, kModelClassFlagBit,
                        ctx.decoder.identEntry.modelClass != 1);
    }
    return true;
  }
  return false;
}

bool identFixedReply(const std::string& identPath, const CommandRecord& record,
                     std::string* reply) {
  IdentLines lines(identPath);
  std::string line;
  while (lines.next(&line)) {
    std::size_t from = 0;
    std::string_view name, value;
    if (!angleItem(line, from, &name) || !angleItem(line, from, &value)) return false;
    const int64_t id = hexValue(name);
    for (const FieldRecord& field : record.fields) {
      if (field.variableId == id) {
        reply->assign(value);
        return true;
      }
    }
  }
  return false;
}

}  // namespace orvik
