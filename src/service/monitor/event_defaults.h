// The default configuration of the 56 events: their message texts from the
// catalogue, and which events log, notify and shut down out of the box.
#pragma once

#include <cstdint>
#include <string>

#include "service/actions/message_catalogue.h"
#include "shared/status_record.h"

namespace orvik {

inline constexpr int16_t kDefaultPowerFailShutDelay = 300;

// For each event number the catalogue has, its notice text into bnmMessage
// and mailMessage and its pager text into pageMessage, cut to the fields.
void applyEventTexts(StatusRecord& record, const MessageCatalogue& catalogue);
// The event defaults table; powerFailShutDelay is shutDelay of event 1.
void applyEventDefaults(StatusRecord& record, int16_t powerFailShutDelay);
// The power-failure shutdown delay "event.ini" asks for: its first line read
// as a decimal number n, used when 1 <= n < 1440; otherwise, and when the
// file is missing, kDefaultPowerFailShutDelay.
int16_t readPowerFailShutDelay(const std::string& eventIniPath);

}  // namespace orvik
