#include "shared/control_datagram.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvik {
namespace {

std::vector<uint8_t> header(uint32_t command, uint32_t argument, uint32_t length) {
  std::vector<uint8_t> bytes;
  for (uint32_t word : {command, argument, length}) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(word >> shift));
  }
  return bytes;
}

TEST(ControlDatagram, EncodesBigEndianWordsAndTextCutTo1024Bytes) {
  EXPECT_EQ(encodeControlDatagram(66145, 0x00010003, "ab"),
            (std::vector<uint8_t>{0, 1, 2, 0x61, 0, 1, 0, 3, 0, 0, 0, 2, 'a', 'b'}));
  EXPECT_EQ(encodeControlDatagram(387, -2, nullptr), header(387, 0xFFFFFFFE, 0));
  EXPECT_EQ(encodeControlDatagram(4096, 0, ""), header(4096, 0, 0));

  const std::string longText(1500, 'x');
  const std::vector<uint8_t> cut = encodeControlDatagram(35104, 1, longText.c_str());
  ASSERT_EQ(cut.size(), 12u + 1024u);
  EXPECT_EQ(std::vector<uint8_t>(cut.begin(), cut.begin() + 12), header(35104, 1, 1024));
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
      EXPECT_EQ(decoded.command, 7u);
      continue;
    }
    ASSERT_EQ(result, 0);
    EXPECT_EQ(decoded.command, 0x01020304u);
    EXPECT_EQ(decoded.argument, -5);
    EXPECT_TRUE(decoded.hasText);
    EXPECT_EQ(decoded.text, std::string("hello").substr(0, size - 12));
  }
}

TEST(ControlDatagram, LengthOutsideOneTo1024PassesNoText) {
  const std::pair<uint32_t, bool> cases[] = {{0, false},         {1, true},     {1024, true},
                                             {1025, false},      {2000, false}, {0x80000000, false},
                                             {0xFFFFFFFF, false}};
  for (const auto& [length, hasText] : cases) {
    SCOPED_TRACE(length);
    std::vector<uint8_t> bytes = header(4096, 0, length);
    bytes.insert(bytes.end(), 1488, 'T');  // a full 1500-byte datagram
    ControlDatagram decoded;
    decoded.text = "stale";
    ASSERT_EQ(decodeControlDatagram(bytes.data(), bytes.size(), &decoded), 0);
    EXPECT_EQ(decoded.length, length);
    EXPECT_EQ(decoded.hasText, hasText);
    EXPECT_EQ(decoded.text, hasText ? std::string(length, 'T') : std::string());
  }
}

}  // namespace
}  // namespace orvik
