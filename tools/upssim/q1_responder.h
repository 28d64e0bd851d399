// The "Q1" text family (protocols 2, 3 and 4): commands end with a carriage
// return, replies too. What tells the three apart on the line:
//   protocol 2: "Q1" reply of 45 bytes (six status digits), no "OI";
//   protocol 3: "Q1" reply of 47 bytes, "OI" answered with "#...";
//   protocol 4: "Q1" reply of 56 bytes (a second status group), "OI"
//               answered with "(...".
// Commands: Q1, I, F, OI, T, TL, T<nn>, CT, Q, S<n>[R<mmmm>], C,
// O<nn>ON, O<nn>OFF. Anything else gets no answer.
//
// The plain unit is the "Q1" UPS most shops sell: it knows only Q1, I and F
// among the commands that reply, plus the test, beeper, shutdown and cancel
// commands, which never do; no outlets, no "OI". Its "Q1" reply has 47 bytes,
// the battery per cell, and digit 43 says "on-line" (0). A host's probe takes
// it for protocol 4 (longer than 45 bytes, no "#" to "OI").
#pragma once

#include "text_framing.h"

namespace orvik::upssim {

// What the plain unit starts as: a 12 V battery floating at 2.27 V a cell,
// and a maker and model that no identification file lists.
UpsState plainQ1State();

class Q1Responder final : public TextResponder {
 public:
  // protocol 2, 3 or 4; plain: the plain unit, whatever protocol says.
  Q1Responder(int protocol, Ups& ups, bool plain = false)
      : TextResponder('\r'), protocol_(plain ? 4 : protocol), plain_(plain), ups_(ups) {}

  std::string statusReply() const;
  std::string infoReply() const;
  std::string ratingReply() const;
  std::string outletReply() const;

 protected:
  void answer(const Line& line, int64_t nowMs, Exchange* exchange) override;

 private:
  bool shutdown(const std::string& text, int64_t nowMs, Exchange* exchange);
  bool outlet(const std::string& text, Exchange* exchange);
  bool test(const std::string& text, int64_t nowMs, Exchange* exchange);

  int protocol_;
  bool plain_;
  Ups& ups_;
};

}  // namespace orvik::upssim
