// The two-letter text family (protocols 5 to 9). Commands end with "\r\n"
// (a line feed completes them; a command sent without one is completed by
// silence), replies end with "\r\n". Queries answer a value; settings and
// actions answer with the command echoed, or nothing when the value is not
// allowed. Anything else gets no answer, so a probe of another family ("Q1",
// "OI") finds nobody.
//
// The five protocol numbers differ only in the firmware version "IS"
// reports, which is what tells them apart: 5 "T2.10", 6 "B2.05",
// 7 "C1.02", 8 "B1.07", 9 "B3.01".
#pragma once

#include "text_framing.h"

namespace orvik::upssim {

class TwoLetterResponder final : public TextResponder {
 public:
  TwoLetterResponder(int protocol, Ups& ups)
      : TextResponder('\n'), protocol_(protocol), ups_(ups) {}

 protected:
  void answer(const Line& line, int64_t nowMs, Exchange* exchange) override;

 private:
  bool query(const std::string& text, Exchange* exchange) const;
  bool outletQuery(const std::string& text, Exchange* exchange) const;
  bool setting(const std::string& text, int64_t nowMs, Exchange* exchange);

  int protocol_;
  Ups& ups_;
};

}  // namespace orvik::upssim
