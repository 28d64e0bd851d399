// For tests of the whole service on its real threads and clock.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

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

}  // namespace orvik
