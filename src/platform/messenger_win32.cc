// Messenger notices into the Messenger service's mailslot of one computer,
// or of every computer of the domain for "*". The mailslot client never
// waits for a reader: a write either goes out at once or fails.
#include <windows.h>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

// Three NUL-terminated texts and nothing after them.
bool wellFormed(const char* block, std::size_t size) {
  std::size_t texts = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (block[i] == '\0') ++texts;
  }
  return size > 0 && texts == 3 && block[size - 1] == '\0';
}

class MailslotMessenger final : public Messenger {
 public:
  int writeNotice(const std::string& target, const char* block, std::size_t size) override {
    if (target.empty() || !wellFormed(block, size) ||
        target.find_first_of("\\/") != std::string::npos) {
      return 0;
    }
    const std::string path = "\\\\" + target + "\\mailslot\\messngr";
    HANDLE slot = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (slot == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    const bool wrote = WriteFile(slot, block, static_cast<DWORD>(size), &written, nullptr) &&
                       written == size;
    return CloseHandle(slot) && wrote ? 1 : 0;
  }
};

}  // namespace

Messenger& win32Messenger() {
  static MailslotMessenger messenger;
  return messenger;
}

}  // namespace orvik
