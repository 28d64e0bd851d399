#include "service/link/poll_cursor.h"

namespace orvik {

void PollCursor::enableGroup(int group) {
  if (group >= 1 && group <= 3) enabled_[group - 1] = true;
}

const CommandRecord* PollCursor::nextTableCommand(const ProtocolTables& tables) {
  auto usable = [&](int group) { return enabled_[group - 1] && tables.group(group).count != -1; };
  // Leaving four groups in a row without a polled command means a whole lap
  // found none: group 1 of every table set has polled commands, so only a
  // broken set gets here, and it must not hang the poll task.
  int groupChanges = 0;
  for (;;) {
    ++index_;
    if (index_ > tables.group(group_).count) {
      index_ = 1;
      int tries = 0;
      do {
        group_ = group_ % 3 + 1;
      } while (!usable(group_) && ++tries < 3);
      if (!usable(group_) || ++groupChanges > 4) return nullptr;
      if (group_ != 1) enabled_[group_ - 1] = false;
    }
    const CommandRecord* record = tables.group(group_).command(index_);
    if (record != nullptr && record->pollEnabled != 0) return record;
  }
}

}  // namespace orvik
