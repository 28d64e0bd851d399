// The "Q1" text family (protocols 2, 3 and 4): commands end with a carriage
// return, replies too. What tells the three apart on the line:
//   protocol 2: "Q1" reply of 45 bytes (six status digits), no "OI";
//   protocol 3: "Q1" reply of 47 bytes, "OI" answered with "#...";
//   protocol 4: "Q1" reply of 56 bytes (a second status group), "OI"
//               answered with "(...".
// Commands: Q1, I, F, OI, T, TL, T<nn>, CT, Q, S<n>[R<mmmm>], C,
// O<nn>ON, O<nn>OFF. Anything else gets no answer.
#pragma once

#include "text_framing.h"

namespace orvik::upssim {

class Q1Responder final : public TextResponder {
 public:
  Q1Responder(int protocol, Ups& ups) : TextResponder('\r'), protocol_(protocol), ups_(ups) {}

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
  Ups& ups_;
};

}  // namespace orvik::upssim
