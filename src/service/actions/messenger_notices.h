// Messenger notices: the event's message put on the screens of users of a
// named computer, or of every computer ("*"), beside a network notice.
//
// Not built yet: the service hands the broadcast action NoMessengerNotices,
// which writes nothing; the real backend replaces it behind this interface.
// Called from the broadcast worker only.
#pragma once

namespace orvik {

class MessengerNotices {
 public:
  virtual ~MessengerNotices() = default;
  // 1 when the notice was written, 0 otherwise.
  virtual int sendMessengerNotice(const char* target, const char* text) = 0;
};

class NoMessengerNotices final : public MessengerNotices {
 public:
  int sendMessengerNotice(const char*, const char*) override { return 0; }
};

}  // namespace orvik
