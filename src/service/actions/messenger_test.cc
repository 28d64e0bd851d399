#include "service/actions/messenger.h"

#include <gtest/gtest.h>

#include "platform/fake_platform.h"

namespace orvik {
namespace {

class MessengerNoticesTest : public ::testing::Test {
 protected:
  FakeSystemInfo system_;
  FakeMessenger messenger_;
  PlatformMessengerNotices notices_{messenger_, system_};
};

TEST_F(MessengerNoticesTest, BlockCarriesSenderRecipientAsGivenAndMessage) {
  system_.hostNameValue = "upsbox";
  messenger_.reachable = {"Office-PC"};
  EXPECT_EQ(notices_.sendMessengerNotice("*", "Power failure"), 1);
  EXPECT_EQ(notices_.sendMessengerNotice("Office-PC", nullptr), 1);
  EXPECT_EQ(notices_.sendMessengerNotice("elsewhere", "x"), 0) << "the backend's answer";
  EXPECT_EQ(notices_.sendMessengerNotice(nullptr, "x"), 0);
  const auto sent = messenger_.notices();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].target, "*");
  EXPECT_EQ(sent[0].block, std::string("UPS@upsbox\0*\0Power failure\0", 27));
  EXPECT_EQ(sent[1].block, std::string("UPS@upsbox\0Office-PC\0\0", 22));
}

TEST_F(MessengerNoticesTest, LongMessageIsCutToTheBlockSizeALongRecipientIsNotSent) {
  const std::string sender = "UPS@" + std::string(60, 'h');
  system_.hostNameValue = std::string(60, 'h');
  const std::string target(100, 't');
  messenger_.reachable = {target};
  ASSERT_EQ(notices_.sendMessengerNotice(target.c_str(), std::string(500, 'm').c_str()), 1);
  const std::string block = messenger_.notices().at(0).block;
  ASSERT_EQ(block.size(), kMessengerBlockSize);
  const std::size_t room = kMessengerBlockSize - sender.size() - target.size() - 3;
  EXPECT_EQ(block, sender + '\0' + target + '\0' + std::string(room, 'm') + '\0');

  // Exactly full with an empty text still goes; one byte more does not.
  const std::string fits(kMessengerBlockSize - sender.size() - 3, 'f');
  messenger_.reachable = {fits, fits + "f"};
  EXPECT_EQ(notices_.sendMessengerNotice(fits.c_str(), "gone"), 1);
  EXPECT_EQ(messenger_.notices().at(1).block, sender + '\0' + fits + '\0' + '\0');
  EXPECT_EQ(notices_.sendMessengerNotice((fits + "f").c_str(), ""), 0);
  EXPECT_EQ(messenger_.notices().size(), 2u);
}

}  // namespace
}  // namespace orvik
