#include "service/actions/event_notice.h"

#include <cstdio>
#include <string>

namespace orvik {

Text occurValue(const LocalTime& local) {
  char value[64];
  std::snprintf(value, sizeof value, "%02d%02d%02d%02d%02d%04d%01d", local.second, local.minute,
                local.hour, local.day, local.month - 1, local.year - 1900, local.isDst > 0 ? 1 : 0);
  return Text(value);
}

Text eventNotice(const NoticeFields& fields) {
  Text notice("HOST:");
  notice.append(fields.hostName);
  notice.append(";UNAME:");
  notice.append(fields.computerName);
  notice.append(";OCCUR:");
  notice.append(occurValue(fields.occurred));
  notice.append(";DOWN:");
  notice.append(std::to_string(fields.down).c_str());
  notice.append(";LANG:");
  notice.append(fields.languageCode);
  notice.append(";DESC:");
  notice.append(fields.description);
  return notice;
}

}  // namespace orvik
