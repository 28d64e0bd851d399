// For tests: the host's side of one serial exchange with a responder. The
// command is sent at once, the line then stays silent long enough for a
// command without a line end to complete, and the reply is read as the host
// reads it: up to a maximum length, ending at the chunk that holds the
// terminator (everything arrives in one chunk here).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "responder.h"

namespace orvik::upssim {

struct FakeHost {
  Responder& responder;
  int64_t nowMs = 1'000'000;

  // All reply bytes, as the UPS sent them.
  std::string send(std::string_view bytes) {
    std::vector<Exchange> exchanges;
    responder.receive(bytes, nowMs, &exchanges);
    nowMs += kCommandSilenceMs;
    responder.idle(nowMs, &exchanges);
    nowMs += 1000 - kCommandSilenceMs;
    std::string reply;
    for (const Exchange& e : exchanges) reply += e.reply;
    return reply;
  }

  // What a host reading at most maxLength bytes receives.
  std::string exchange(std::string_view bytes, size_t maxLength) {
    return send(bytes).substr(0, maxLength);
  }
};

}  // namespace orvik::upssim
