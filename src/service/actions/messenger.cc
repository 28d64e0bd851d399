#include "service/actions/messenger.h"

namespace orvik {

std::string localHostName(SystemInfo& system) {
  const std::string host = system.hostName();
  if (!host.empty()) return host;
  return system.computerName().substr(0, kComputerNameLength);
}

bool buildMessengerBlock(const std::string& sender, const std::string& recipient,
                         const std::string& text, std::string* block) {
  const std::size_t fixed = sender.size() + recipient.size() + 3;
  if (fixed > kMessengerBlockSize) return false;
  const std::size_t room = kMessengerBlockSize - fixed;
  block->clear();
  block->append(sender).push_back('\0');
  block->append(recipient).push_back('\0');
  block->append(text, 0, room).push_back('\0');
  return true;
}

PlatformMessengerNotices::PlatformMessengerNotices(Messenger& messenger, SystemInfo& system)
    : messenger_(messenger), system_(system) {}

int PlatformMessengerNotices::sendMessengerNotice(const char* target, const char* text) {
  if (target == nullptr) return 0;
  std::string block;
  // A text's own NUL would end the message early: it stops at the first.
  if (!buildMessengerBlock("UPS@" + localHostName(system_), target, text ? text : "", &block)) {
    return 0;
  }
  return messenger_.writeNotice(target, block.data(), block.size());
}

}  // namespace orvik
