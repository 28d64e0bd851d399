// Framing shared by the text protocols: commands end with a terminator byte
// or, for the few commands the host sends without a line end ("C", "Ct1",
// "Cs-000001"), with kCommandSilenceMs of silence. Control bytes are kept in
// the logged request but never reach the command text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "responder.h"

namespace orvik::upssim {

struct Line {
  std::string text;  // printable characters only
  std::string raw;   // every byte consumed, terminator included
  bool bySilence = false;
};

class LineAssembler {
 public:
  explicit LineAssembler(char terminator) : terminator_(terminator) {}

  void feed(std::string_view bytes, int64_t nowMs, std::vector<Line>* out);
  // Completes a pending partial line once it has been silent long enough.
  void idle(int64_t nowMs, std::vector<Line>* out);
  int64_t deadlineMs() const { return partial_.raw.empty() ? -1 : lastByteMs_ + kCommandSilenceMs; }

 private:
  char terminator_;
  Line partial_;
  int64_t lastByteMs_ = 0;
};

// A responder for line-based protocols: frames lines, then answers each.
class TextResponder : public Responder {
 public:
  explicit TextResponder(char terminator) : lines_(terminator) {}

  void receive(std::string_view bytes, int64_t nowMs, std::vector<Exchange>* out) final;
  void idle(int64_t nowMs, std::vector<Exchange>* out) final;
  int64_t nextDeadlineMs() const final { return lines_.deadlineMs(); }

 protected:
  // Fills reply and note for one command; text has no line end. An empty
  // text (only line noise) never reaches here.
  virtual void answer(const Line& line, int64_t nowMs, Exchange* exchange) = 0;

 private:
  void answerAll(std::vector<Line>& lines, int64_t nowMs, std::vector<Exchange>* out);

  LineAssembler lines_;
};

// Decimal number filling the whole text (blanks around it allowed, optional
// sign); false for anything else, so a garbled command is never obeyed.
bool parseWholeInt(std::string_view text, int* value);

}  // namespace orvik::upssim
