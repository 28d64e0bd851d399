// Messenger notices: the event's message put on the screens of users of a
// named computer, or of every computer ("*"), beside a network notice.
// Called from the broadcast worker only.
#pragma once

namespace orvik {

class MessengerNotices {
 public:
  virtual ~MessengerNotices() = default;
  // 1 when the notice was written, 0 otherwise.
  virtual int sendMessengerNotice(const char* target, const char* text) = 0;
};

}  // namespace orvik
