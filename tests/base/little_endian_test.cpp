// The byte order every format here shares: the words written at a pointer or
// appended to a vector are the bytes the readers take back, the low byte
// first, also with the high bit set.
#include "base/little_endian.h"

#include <gtest/gtest.h>

TEST(LittleEndian, WordsGoOutLowByteFirstAndComeBackTheSame) {
  const std::vector<uint8_t> expected = {0x34, 0x12, 0xF4, 0xF3, 0xF2, 0xF1, 0xFE, 0xFF};
  std::vector<uint8_t> appended;
  AppendU16(appended, 0x1234);
  AppendU32(appended, 0xF1F2F3F4u);
  AppendU16(appended, 0xFFFE);
  EXPECT_EQ(appended, expected);

  std::vector<uint8_t> put(expected.size(), 0);
  PutU16(&put[0], 0x1234);
  PutU32(&put[2], 0xF1F2F3F4u);
  PutU16(&put[6], 0xFFFE);
  EXPECT_EQ(put, expected);

  EXPECT_EQ(GetU16(&expected[0]), 0x1234);
  EXPECT_EQ(GetU32(&expected[2]), 0xF1F2F3F4u);
  EXPECT_EQ(GetU16(&expected[6]), 0xFFFE);
}
