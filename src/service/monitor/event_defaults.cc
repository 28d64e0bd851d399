#include "service/monitor/event_defaults.h"

#include <fstream>
#include <iterator>

#include "shared/decimal.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

// Events that notify this machine by default; the others stay silent.
struct NotifyDefault {
  int event;
  int16_t bnmDelay;
  int16_t bnmPeriod;
};

constexpr NotifyDefault kNotifyDefaults[] = {
    {.event = 0, .bnmDelay = 5, .bnmPeriod = 0},   {.event = 1, .bnmDelay = 5, .bnmPeriod = 30},
    {.event = 2, .bnmDelay = 0, .bnmPeriod = 0},   {.event = 7, .bnmDelay = 5, .bnmPeriod = 0},
    {.event = 8, .bnmDelay = 5, .bnmPeriod = 30},  {.event = 19, .bnmDelay = 5, .bnmPeriod = 0},
    {.event = 25, .bnmDelay = 0, .bnmPeriod = 0},  {.event = 100, .bnmDelay = 5, .bnmPeriod = 0},
    {.event = 101, .bnmDelay = 5, .bnmPeriod = 0}, {.event = 102, .bnmDelay = 5, .bnmPeriod = 0},
    {.event = 107, .bnmDelay = 5, .bnmPeriod = 0}, {.event = 108, .bnmDelay = 5, .bnmPeriod = 0},
    {.event = 119, .bnmDelay = 5, .bnmPeriod = 0},
};

// Events logged without a notice.
constexpr int kLogOnly[] = {23, 24, 123, 124, 125};

struct ShutdownDefault {
  int event;
  int16_t shutDelay;  // event 1 takes its delay from event.ini
};

constexpr ShutdownDefault kShutdownDefaults[] = {
    {.event = 1, .shutDelay = kDefaultPowerFailShutDelay},
    {.event = 2, .shutDelay = 5},
    {.event = 7, .shutDelay = 30},
    {.event = 22, .shutDelay = 0},
};

constexpr int kEventNumbers[] = {
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  15,  16,  17,  18,
    19,  20,  21,  22,  23,  24,  25,  26,  27,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109,
    110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127};
static_assert(std::size(kEventNumbers) == 2 * kEventBits);

}  // namespace

void applyEventTexts(StatusRecord& record, const MessageCatalogue& catalogue) {
  for (const int event : kEventNumbers) {
    EventAction& entry = *eventActionForEvent(record, event);
    const Text notice = catalogue.noticeText(event);
    setText(entry.bnmMessage, notice.chars());
    setText(entry.mailMessage, notice.chars());
    setText(entry.pageMessage, catalogue.pagerText(event).chars());
  }
}

void applyEventDefaults(StatusRecord& record, int16_t powerFailShutDelay) {
  for (const NotifyDefault& row : kNotifyDefaults) {
    EventAction& entry = *eventActionForEvent(record, row.event);
    entry.logEnable = 1;
    entry.bnmEnable = 1;
    entry.bnmDelay = row.bnmDelay;
    entry.bnmPeriod = row.bnmPeriod;
    setText(entry.bnmUsers, "localhost");
  }
  for (const int event : kLogOnly) eventActionForEvent(record, event)->logEnable = 1;
  for (const ShutdownDefault& row : kShutdownDefaults) {
    EventAction& entry = *eventActionForEvent(record, row.event);
    entry.shutEnable = 1;
    entry.shutDelay = row.event == 1 ? powerFailShutDelay : row.shutDelay;
  }
}

int16_t readPowerFailShutDelay(const std::string& eventIniPath) {
  std::ifstream file(eventIniPath);
  std::string line;
  if (!file || !std::getline(file, line)) return kDefaultPowerFailShutDelay;
  const int value = parseDecimal(line.substr(0, 255));
  return value >= 1 && value < 1440 ? static_cast<int16_t>(value) : kDefaultPowerFailShutDelay;
}

}  // namespace orvik
