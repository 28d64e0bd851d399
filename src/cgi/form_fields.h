// Small helpers the pages with forms share: numbers posted into record
// fields, option lists and the notices under a form.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "cgi/page_writer.h"
#include "shared/decimal.h"
#include "shared/record_access.h"
#include "shared/status_record.h"

namespace orvik {

// A posted number by decimal conversion, saturated to the field's range, so
// that 70000 in a 16-bit delay is its largest value rather than 4464.
template <class T>
T decimalFor(const std::string& text) {
  const int64_t v = parseDecimal(text);
  return static_cast<T>(
      std::clamp<int64_t>(v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

template <class T>
void storeDecimal(T& field, const std::string& text) {
  storeField(field, decimalFor<T>(text));
}

// A notice in the error style below a form: "&nbsp;TEXT&nbsp;".
inline void writeCounterNotice(PageWriter& out, const char* text) {
  out.print("\n<font class=\"counter\" color=>&nbsp;%s&nbsp;</font>", text);
}

// The value of outletCount a page may walk: 0 to 8 whatever the record holds.
inline int outletsShown(const StatusRecord& record) {
  return std::clamp<int>(loadField(record.outletCount), 0, kOutletCount);
}

}  // namespace orvik
