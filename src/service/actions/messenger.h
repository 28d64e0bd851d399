// The service's messenger notices: one block of sender ("UPS@" and this
// computer's name), recipient and message, each ending in a NUL, handed to
// the platform's messenger for the target computer ("*" for all of them).
//
// Called from the broadcast worker only.
#pragma once

#include <cstddef>
#include <string>

#include "platform/messenger.h"
#include "platform/system_info.h"
#include "service/actions/messenger_notices.h"

namespace orvik {

inline constexpr std::size_t kMessengerBlockSize = 240;
inline constexpr std::size_t kComputerNameLength = 15;

// This computer's network host name; when that is empty, its computer name
// (at most 15 characters).
std::string localHostName(SystemInfo& system);

// The block for sender, recipient and text in at most 240 bytes, the text
// cut to what fits. False, and nothing built, when sender and recipient do
// not fit even with an empty text: the recipient must arrive whole.
bool buildMessengerBlock(const std::string& sender, const std::string& recipient,
                         const std::string& text, std::string* block);

class PlatformMessengerNotices final : public MessengerNotices {
 public:
  // Both outlive the object.
  PlatformMessengerNotices(Messenger& messenger, SystemInfo& system);
  // The recipient field carries target exactly as given. A null target
  // reaches nobody; a null text is an empty one.
  int sendMessengerNotice(const char* target, const char* text) override;

 private:
  Messenger& messenger_;
  SystemInfo& system_;
};

}  // namespace orvik
