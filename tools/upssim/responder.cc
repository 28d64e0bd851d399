#include "responder.h"

#include "binary_responder.h"
#include "q1_responder.h"
#include "two_letter_responder.h"

namespace orvik::upssim {

std::unique_ptr<Responder> makeResponder(int protocol, Ups& ups, bool plainQ1) {
  if (plainQ1) return std::make_unique<Q1Responder>(4, ups, true);
  if (protocol == 1) return std::make_unique<BinaryResponder>(ups);
  if (protocol >= 2 && protocol <= 4) return std::make_unique<Q1Responder>(protocol, ups);
  if (protocol >= 5 && protocol <= 9) return std::make_unique<TwoLetterResponder>(protocol, ups);
  return nullptr;
}

std::string defaultVersion(int protocol) {
  // Protocols 5 to 9 are told apart by letters in the version: 5 by a "T",
  // 6 by "B2", 7 by a "C", 8 by "B1", 9 by another "B".
  switch (protocol) {
    case 5:
      return "T2.10";
    case 6:
      return "B2.05";
    case 7:
      return "C1.02";
    case 8:
      return "B1.07";
    case 9:
      return "B3.01";
    default:
      return "1.00";
  }
}

}  // namespace orvik::upssim
