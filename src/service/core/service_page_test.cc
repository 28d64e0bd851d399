// The page queue as the service wires it: a power failure's page reaches
// the modem on the port pageport names, never the UPS port.
#include <gtest/gtest.h>

#include "service/core/service.h"
#include "service/core/service_test_support.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

TEST(ServicePage, PowerFailurePagesThroughTheModemPortOnly) {
  freeCatalogue();
  ScratchFolder folder;
  FakePlatform fake;
  fake.system.programPathValue = folder.file("upskeeper");
  writeMessageFiles(folder, "<1><Power failure><On battery><>\n");
  FakeSerialDevice& ups = fake.serial.device("COM1");
  FakeSerialDevice& modem = fake.serial.device("COM3");
  Service service{fake.platform()};
  ASSERT_EQ(service.serviceStart(fake.system.programPathValue), 1);
  StatusRecord& record = service.record();
  EventAction& power = *eventActionForEvent(record, 1);
  for (int32_t EventAction::*enable : {&EventAction::bnmEnable, &EventAction::mailEnable,
                                       &EventAction::executeEnable, &EventAction::shutEnable}) {
    storeField(power.*enable, 0);
  }
  storeField(power.pageEnable, 1);
  storeField(power.pageDelay, 0);
  setText(power.pageUsers, "atdt1");
  setText(power.pageMessage, "7");
  storeField(record.pageport, 2);
  const size_t upsBytes = ups.written().size();

  setFlagBit(record.alarmFlags, 1, true);
  runStepOnce(service.tasks()[kMonitorTask]);
  runStepOnce(service.tasks()[kPageWorker]);
  EXPECT_EQ(modem.writtenText(), "ATZ\rATDT17\r+++\rATH0\r");
  EXPECT_EQ(modem.openPorts(), 0);
  EXPECT_EQ(ups.written().size(), upsBytes);

  service.serviceStop();
  freeCatalogue();
}

}  // namespace
}  // namespace orvik
