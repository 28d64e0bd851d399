#include "service/actions/message_catalogue.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>

#include "service/actions/language_detection.h"
#include "shared/decimal.h"

namespace orvik {

namespace {

enum class LineKind { kEntry, kNoEntry, kMalformed };

LineKind parseLine(std::string_view line, CatalogueEntry* entry) {
  if (line.find('<') == std::string_view::npos) return LineKind::kNoEntry;
  Text fields[4];
  size_t from = 0;
  for (Text& field : fields) {
    const size_t open = line.find('<', from);
    if (open == std::string_view::npos) return LineKind::kMalformed;
    const size_t close = line.find('>', open + 1);
    if (close == std::string_view::npos) return LineKind::kMalformed;
    field = Text(line.substr(open + 1, close - open - 1));
    trimSpaces(field);
    from = close + 1;
  }
  entry->number = parseDecimal(fields[0].view());
  entry->displayText = std::move(fields[1]);
  entry->noticeText = std::move(fields[2]);
  entry->pagerText = std::move(fields[3]);
  return LineKind::kEntry;
}

Text expandWithDowntime(const char* text, const char* host, const char* downtime) {
  const Text withHost = replaceAll(text, "#HOSTNAME#", host ? host : "");
  return replaceAll(withHost.chars(), "#DOWNTIME#", downtime);
}

}  // namespace

int MessageCatalogue::loadCatalogue(const char* directory, const char* localeName) {
  if (loaded_) return 1;
  entries_.clear();
  languageCode_ = detectLanguage(localeName);
  const std::string path = std::string(directory ? directory : "") + "msg." + languageCode_;

  // Lines are read whole whatever their length, so an over-long line cannot
  // be split into a stray second line that ends or fails the load.
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) return 0;
  std::string line;
  while (entryCount() < kMaxEntries && std::getline(file, line)) {
    CatalogueEntry entry;
    const LineKind kind = parseLine(line, &entry);
    if (kind == LineKind::kMalformed) return 0;
    if (kind == LineKind::kNoEntry) break;
    entries_.push_back(std::move(entry));
  }
  if (file.bad()) return 0;
  loaded_ = true;
  return 1;
}

void MessageCatalogue::freeCatalogue() {
  entries_.clear();
  entries_.shrink_to_fit();
  loaded_ = false;
}

const CatalogueEntry* MessageCatalogue::find(int number) const {
  for (const CatalogueEntry& entry : entries_) {
    if (entry.number == number) return &entry;
  }
  return nullptr;
}

Text MessageCatalogue::catalogueText(int number) const {
  const CatalogueEntry* entry = find(number);
  return entry ? entry->displayText : Text("not found");
}

Text MessageCatalogue::noticeText(int number) const {
  const CatalogueEntry* entry = find(number);
  return entry ? entry->noticeText : Text();
}

Text MessageCatalogue::pagerText(int number) const {
  const CatalogueEntry* entry = find(number);
  return entry ? entry->pagerText : Text();
}

Text MessageCatalogue::expandCatalogueMessage(int number, const char* host, int down) const {
  if (number != kNoShutdownPowerFailMessage) {
    return expandMessage(noticeText(number).chars(), host, down);
  }
  char seconds[16];
  std::snprintf(seconds, sizeof seconds, "%d", down < 0 ? 0 : down);
  return expandWithDowntime(noticeText(number).chars(), host, seconds);
}

Text expandMessage(const char* text, const char* host, int down) {
  const int d = down < 0 ? 0 : down;
  char minutes[24];
  std::snprintf(minutes, sizeof minutes, "%d:%02d", d / 60, d % 60);
  return expandWithDowntime(text, host, minutes);
}

MessageCatalogue& processCatalogue() {
  static MessageCatalogue catalogue;
  return catalogue;
}

int loadCatalogue(const char* directory) {
  if (processCatalogue().loaded()) return 1;
  return processCatalogue().loadCatalogue(directory, userTimeLocaleName().c_str());
}

void freeCatalogue() { processCatalogue().freeCatalogue(); }
Text catalogueText(int number) { return processCatalogue().catalogueText(number); }
Text noticeText(int number) { return processCatalogue().noticeText(number); }
Text pagerText(int number) { return processCatalogue().pagerText(number); }
const char* languageCode() { return processCatalogue().languageCode(); }

Text expandCatalogueMessage(int number, const char* host, int down) {
  return processCatalogue().expandCatalogueMessage(number, host, down);
}

}  // namespace orvik
