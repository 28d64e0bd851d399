// The ring of (command, argument) pairs that carries UPS commands from the
// control handler to the poll task, the one path by which every UPS command
// reaches the serial line.
//
// Threads: exactly one writer (the control listener's receive thread) and one
// reader (the poll task); no lock. Each side moves only its own index, and a
// pair is stored before the write index moves past it.
//
// A full ring refuses the new pair instead of making the writer wait: the
// receive thread must stay free for the stop command while the poll task is
// busy or already stopped. One of the 20 slots always stays free, so a full
// ring (19 unread pairs) never looks empty.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace orvik {

struct UpsCommand {
  uint32_t command = 0;
  int32_t argument = 0;
};

inline constexpr int kUpsCommandSlots = 20;

class UpsCommandQueue {
 public:
  // Writer only. 0 when stored, -1 when the ring is full (nothing stored).
  int queueUpsCommand(uint32_t command, int32_t argument) {
    const int32_t write = writeIndex_.load(std::memory_order_relaxed);
    const int32_t next = advance(write);
    if (next == readIndex_.load(std::memory_order_acquire)) return -1;
    slots_[write] = {command, argument};
    writeIndex_.store(next, std::memory_order_release);
    return 0;
  }

  // Reader only.
  bool isEmpty() const {
    return readIndex_.load(std::memory_order_relaxed) ==
           writeIndex_.load(std::memory_order_acquire);
  }

  // Reader only: the oldest pair, or false when there is none.
  bool takeUpsCommand(UpsCommand* out) {
    const int32_t read = readIndex_.load(std::memory_order_relaxed);
    if (read == writeIndex_.load(std::memory_order_acquire)) return false;
    *out = slots_[read];
    readIndex_.store(advance(read), std::memory_order_release);
    return true;
  }

 private:
  static int32_t advance(int32_t index) { return index + 1 == kUpsCommandSlots ? 0 : index + 1; }

  std::array<UpsCommand, kUpsCommandSlots> slots_{};
  std::atomic<int32_t> writeIndex_{0};
  std::atomic<int32_t> readIndex_{0};
};

}  // namespace orvik
