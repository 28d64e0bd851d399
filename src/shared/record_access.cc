#include "shared/record_access.h"

namespace orvik {
namespace {

std::atomic<Wakeup*> alarmWakeup{nullptr};

}  // namespace

void setAlarmWakeup(Wakeup* wakeup) { alarmWakeup.store(wakeup); }

void clearAlarmWakeup(Wakeup* wakeup) { alarmWakeup.compare_exchange_strong(wakeup, nullptr); }

void notifyAlarmChange() {
  if (Wakeup* wakeup = alarmWakeup.load()) wakeup->raise();
}

void setText(char* field, std::size_t size, const char* text) {
  if (size == 0) return;
  std::size_t i = 0;
  if (text != nullptr) {
    for (; i + 1 < size && text[i] != '\0'; ++i) {
      std::atomic_ref<char>(field[i]).store(text[i], std::memory_order_relaxed);
    }
  }
  for (; i < size; ++i) std::atomic_ref<char>(field[i]).store('\0', std::memory_order_relaxed);
}

std::string readText(const char* field, std::size_t size) {
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    const char c = std::atomic_ref<char>(const_cast<char&>(field[i])).load(std::memory_order_relaxed);
    if (c == '\0') break;
    out.push_back(c);
  }
  return out;
}

}  // namespace orvik
