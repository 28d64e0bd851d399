// The binary protocol (protocol 1): single-byte commands, some with two
// argument bytes, answered without any framing.
//   01        status: a 16-byte frame (below)
//   03        start the self-test; echoed
//   04 hi lo  restore time for the next switch-off, in minutes hi x 255 + lo
//             (76 1D: none); echoed
//   B9 / BA   switch-off mode (on battery / on mains); echoed
//   BC mm ss  switch the output off after mm minutes ss seconds; a seconds
//             byte above 59 cancels instead; echoed
// Other bytes are ignored; an incomplete command is dropped after silence.
// The host's switch-off frame 04 hi lo B9|BA BC mm ss thus reads back as its
// own 7 bytes.
#pragma once

#include "responder.h"

namespace orvik::upssim {

class BinaryResponder final : public Responder {
 public:
  explicit BinaryResponder(Ups& ups) : ups_(ups) {}

  void receive(std::string_view bytes, int64_t nowMs, std::vector<Exchange>* out) override;
  void idle(int64_t nowMs, std::vector<Exchange>* out) override;
  int64_t nextDeadlineMs() const override;

  std::string statusFrame() const;

 private:
  void complete(int64_t nowMs, std::vector<Exchange>* out);
  void flushNoise(std::vector<Exchange>* out);

  Ups& ups_;
  std::string pending_;  // a command waiting for its argument bytes
  std::string noise_;    // ignored bytes, logged together
  int64_t lastByteMs_ = 0;
};

}  // namespace orvik::upssim
