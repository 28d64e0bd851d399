// The service's numbered, language-dependent texts: event texts for the log
// and for notices, the tray menu's entries and question, start-up error boxes
// and the default notification messages.
//
// One message file per language ("msg." + languageCode, in the program's
// directory) is loaded once at start-up and freed at stop. Each line of the
// file is one entry of four fields, each opened by "<" and closed by the next
// ">": number, display text, notice text, pager text. Text outside the
// brackets is ignored; fields are trimmed of blanks. A line without "<" ends
// the file early; a line with a bracket missing fails the load.
//
// Threads: loadCatalogue() and freeCatalogue() run on the window thread at
// start and stop, while no other thread uses the catalogue; in between every
// thread may read it without a lock, since nothing changes it.
#pragma once

#include <cstdint>
#include <vector>

#include "service/actions/text.h"

namespace orvik {

struct CatalogueEntry {
  int32_t number = 0;
  Text displayText;  // log line, menu entry, question or error box
  Text noticeText;   // default broadcast and e-mail message
  Text pagerText;    // default paging message
};

class MessageCatalogue {
 public:
  // Entries after this many are ignored. Large enough for every number the
  // service uses (62) with room to grow.
  static constexpr int kMaxEntries = 128;

  // Chooses the language from localeName (see detectLanguage) and reads
  // directory + "msg." + code. 1 on success, 0 when the file cannot be read
  // or a line is malformed; entries read before a malformed line stay
  // visible. A call while loaded returns 1 at once; after a failure the next
  // call tries again from scratch.
  int loadCatalogue(const char* directory, const char* localeName);
  // Releases every entry; the next load starts afresh.
  void freeCatalogue();

  bool loaded() const { return loaded_; }
  // The code chosen by the last load ("en" before any).
  const char* languageCode() const { return languageCode_; }
  // Entries in file order, for code that walks the whole catalogue.
  int entryCount() const { return static_cast<int>(entries_.size()); }
  const CatalogueEntry& entryAt(int index) const { return entries_[static_cast<size_t>(index)]; }

  // Lookups by number; the first entry with the number wins.
  // "not found" when no entry has the number.
  Text catalogueText(int number) const;
  // Empty when no entry has the number.
  Text noticeText(int number) const;
  Text pagerText(int number) const;

  // expandMessage() of the entry's notice text (empty when there is none),
  // except that for 801 "#DOWNTIME#" becomes the plain number of seconds.
  Text expandCatalogueMessage(int number, const char* host, int down) const;

 private:
  const CatalogueEntry* find(int number) const;

  bool loaded_ = false;
  const char* languageCode_ = "en";
  std::vector<CatalogueEntry> entries_;
};

// The notice text whose "#DOWNTIME#" is a plain number of seconds: the
// broadcast for a power failure that no shutdown follows.
constexpr int kNoShutdownPowerFailMessage = 801;

// Replaces "#HOSTNAME#" by host, then "#DOWNTIME#" by the down value in
// seconds (negative counts as 0) written as minutes:seconds, 754 -> "12:34".
// Inserted text is not searched again. Pure; any thread.
Text expandMessage(const char* text, const char* host, int down);

// The catalogue of the running service.
MessageCatalogue& processCatalogue();

// The operations on processCatalogue() that the rest of the service calls.
// loadCatalogue() takes the language from userTimeLocaleName().
int loadCatalogue(const char* directory);
void freeCatalogue();
Text catalogueText(int number);
Text noticeText(int number);
Text pagerText(int number);
const char* languageCode();
Text expandCatalogueMessage(int number, const char* host, int down);

}  // namespace orvik
