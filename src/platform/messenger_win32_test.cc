// Messenger notices into a mailslot of this test's own under the Messenger
// service's name, on this computer ("." names it in a mailslot path).
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/win32_backends.h"

namespace orvik {
namespace {

TEST(Win32Messenger, WritesTheWholeBlockIntoTheTargetsMailslotOnce) {
  HANDLE slot = CreateMailslotA("\\\\.\\mailslot\\messngr", 0, 0, nullptr);
  if (slot == INVALID_HANDLE_VALUE) GTEST_SKIP() << "the Messenger's mailslot is taken";
  const std::string block("UPS@host\0*\0Power failure\0", 25);
  EXPECT_EQ(win32Messenger().writeNotice(".", block.data(), block.size()), 1);
  // Not three NUL-terminated texts: nothing is written.
  EXPECT_EQ(win32Messenger().writeNotice(".", block.data(), block.size() - 1), 0);
  EXPECT_EQ(win32Messenger().writeNotice(".", "a\0b\0", 4), 0);
  // A target that would lead elsewhere than a computer's mailslot.
  EXPECT_EQ(win32Messenger().writeNotice("..\\pipe", block.data(), block.size()), 0);

  char buffer[512];
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(slot, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(std::string(buffer, got), block);
  DWORD next = 0;
  DWORD waiting = 0;
  ASSERT_TRUE(GetMailslotInfo(slot, nullptr, &next, &waiting, nullptr));
  EXPECT_EQ(waiting, 0u);
  CloseHandle(slot);
}

}  // namespace
}  // namespace orvik
