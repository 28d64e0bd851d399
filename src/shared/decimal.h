// Decimal conversion of a number at the start of a text, as every setting,
// reply field and file of both programs reads numbers: leading white space,
// an optional sign, then digits up to the first other character. A text
// without leading digits gives 0; malformed input is never reported.
#pragma once

#include <string_view>

namespace orvik {

// Same result as (int)strtol(text, nullptr, 10) for every value that fits an
// int. Values beyond the int range saturate at INT_MIN / INT_MAX instead of
// being undefined, so a corrupted file cannot turn a huge count into a small
// or negative one. White space is the C locale's (space, \t, \n, \v, \f, \r).
// Pure function; safe from any thread.
int parseDecimal(std::string_view text);

}  // namespace orvik
