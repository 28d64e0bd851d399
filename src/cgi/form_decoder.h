// The form decoder of the management pages: a query string or a posted body
// ("a=1&b=x+y%21") into name/value pairs in input order.
//
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvik {

struct FormPair {
  std::string name;
  std::string value;
  // A decoded NUL cut the value short: what was posted is not what value
  // holds, which a page storing secrets must refuse.
  bool valueCut = false;
};

using PairList = std::vector<FormPair>;

// Every "+" becomes a blank before any percent decoding, so "%2B" still
// yields a literal "+". Pieces are split at "&" (empty pieces give no pair)
// and at their first "=" (none: the value is empty). "%XY" becomes the byte
// 16 * d(X) + d(Y) without checking that X and Y are hex digits; a "%"
// closer than two characters to the end of a name or value stays as it is.
// A decoded NUL ends its name or value, as it would a C string.
PairList decodeForm(std::string_view text);

// The value of the first or last pair named name; null when there is none.
const std::string* firstValue(const PairList& pairs, std::string_view name);
const std::string* lastValue(const PairList& pairs, std::string_view name);

}  // namespace orvik
