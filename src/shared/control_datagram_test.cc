#include "shared/control_datagram.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvik {
namespace {

std::vector<uint8_t> header(uint32_t command, uint32_t argument, uint32_t length) {
  std::vector<uint8_t> bytes;
  for (uint32_t word : {command, argument, length}) {
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes.push_back(static_cast<uint8_t>(word >> shift));
  }
  return bytes;
}

TEST(ControlDatagram, EncodesThreeBigEndianWordsThenTheText) {
  const std::vector<uint8_t> bytes = encodeControlDatagram(66145, 0x00010003, "ab");
  const std::vector<uint8_t> expected = {0x00, 0x01, 0x02, 0x61, 0x00, 0x01, 0x00,
                                         0x03, 0x00, 0x00, 0x00, 0x02, 'a',  'b'};
  EXPECT_EQ(bytes, expected);

  const std::vector<uint8_t> negative = encodeControlDatagram(387, -2, nullptr);
  EXPECT_EQ(negative, header(387, 0xFFFFFFFE, 0));
}

TEST(ControlDatagram, MissingOrEmptyTextGivesTwelveBytesWithLengthZero) {
  EXPECT_EQ(encodeControlDatagram(4096, 0, nullptr), header(4096, 0, 0));
  EXPECT_EQ(encodeControlDatagram(4096, 0, ""), header(4096, 0, 0));
}

TEST(ControlDatagram, TextLongerThan1024BytesIsCutAndTheLengthSays1024) {
  const std::string text(1500, 'x');
  const std::vector<uint8_t> bytes = encodeControlDatagram(35104, 1, text.c_str());
  ASSERT_EQ(bytes.size(), 12u + 1024u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 12), header(35104, 1, 1024));

  ControlDatagram decoded;
  ASSERT_EQ(decodeControlDatagram(bytes.data(), bytes.size(), &decoded), 0);
  EXPECT_EQ(decoded.text, std::string(1024, 'x'));
}

TEST(ControlDatagram, EveryTruncatedPrefixIsDroppedOrDecodedWithinWhatArrived) {
  const std::vector<uint8_t> full = encodeControlDatagram(0x01020304, -5, "hello");
  for (std::size_t size = 0; size <= full.size(); ++size) {
    SCOPED_TRACE(size);
    ControlDatagram decoded;
    decoded.command = 7;
    const int result = decodeControlDatagram(full.data(), size, &decoded);
    if (size < 12) {
      EXPECT_EQ(result, -1);
      EXPECT_EQ(decoded.command, 7u);  // untouched
      continue;
    }
    ASSERT_EQ(result, 0);
    EXPECT_EQ(decoded.command, 0x01020304u);
    EXPECT_EQ(decoded.argument, -5);
    EXPECT_EQ(decoded.length, 5u);
    EXPECT_TRUE(decoded.hasText);
    EXPECT_EQ(decoded.text, std::string("hello").substr(0, size - 12));
  }
}

TEST(ControlDatagram, LengthOutsideOneTo1024PassesNoText) {
  struct Case {
    uint32_t length;
    bool hasText;
  };
  const Case cases[] = {{0, false},    {1, true},           {1024, true},       {1025, false},
                        {2000, false}, {0x80000000, false}, {0xFFFFFFFF, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    std::vector<uint8_t> bytes = header(4096, 0, c.length);
    bytes.insert(bytes.end(), 1488, 'T');  // a full 1500-byte datagram
    ControlDatagram decoded;
    decoded.text = "stale";
    ASSERT_EQ(decodeControlDatagram(bytes.data(), bytes.size(), &decoded), 0);
    EXPECT_EQ(decoded.length, c.length);
    EXPECT_EQ(decoded.hasText, c.hasText);
    EXPECT_EQ(decoded.text, c.hasText ? std::string(c.length, 'T') : std::string());
  }
}

TEST(ControlDatagram, TextWithInnerZeroBytesKeepsItsAnnouncedLength) {
  std::vector<uint8_t> bytes = header(4096, 0, 3);
  bytes.insert(bytes.end(), {'a', 0, 'b', 'c'});
  ControlDatagram decoded;
  ASSERT_EQ(decodeControlDatagram(bytes.data(), bytes.size(), &decoded), 0);
  EXPECT_EQ(decoded.text, std::string("a\0b", 3));
}

}  // namespace
}  // namespace orvik
