// For tests of the whole service on its real threads and clock.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "service/monitor/monitor_test_support.h"

namespace orvik {

// Whether condition comes true within 5 s of real time, looked at every ms.
inline bool eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The same messages in every language's file: the language follows the test
// machine's locale.
inline void writeMessageFiles(const ScratchFolder& folder, const std::string& messages) {
  for (const char* code :
       {"en", "tw", "cn", "es", "fr", "de", "it", "ja", "ru", "ar", "cz", "pl", "bg"}) {
    folder.write(std::string("msg.") + code, messages);
  }
}

}  // namespace orvik
