// What a change of the UPS port does to the shared status record: everything
// the old link told us goes back to its start-up value, so nothing stale
// from the previous UPS is shown or saved.
#pragma once

#include "shared/status_record.h"

namespace orvik {

// Resets the identity strings the UPS reports (manufacturer, model, software
// versions, serial number), the measured values, the test summary, the value
// of every control and configuration parameter (their capabilities stay,
// they belong to the protocol tables in use) and sets alarmFlags to 0.
// Settings, among them the user's idName and attDevice, event actions, the
// schedule and the service facts are kept.
// Runs on the control listener's thread, field by field without a lock.
void resetCommunicationState(StatusRecord& record);

}  // namespace orvik
