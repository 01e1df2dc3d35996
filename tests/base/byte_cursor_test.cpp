// The one bounds-checked cursor that every parser reads through: numbers
// little-endian, a read past the end delivers what is left and latches the
// failure, positions never leave the range.
#include "base/byte_cursor.h"

#include <gtest/gtest.h>

TEST(ByteCursor, ReadsLittleEndianNumbersInOrder) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
  CByteCursor cursor(bytes, sizeof bytes);
  EXPECT_EQ(cursor.ReadU8(), 0x01);
  EXPECT_EQ(cursor.ReadU16(), 0x0302);
  EXPECT_EQ(cursor.ReadU32(), 0x07060504u);
  EXPECT_EQ(cursor.Tell(), 7u);
  EXPECT_EQ(cursor.Remaining(), 0u);
  EXPECT_FALSE(cursor.Failed());
}

TEST(ByteCursor, ReadPastTheEndDeliversTheRestAndLatches) {
  const uint8_t bytes[6] = {1, 2, 3, 4, 5, 6};
  CByteCursor cursor(bytes, 6);
  EXPECT_EQ(cursor.ReadU32(), 0x04030201u);
  uint8_t out[4] = {};
  EXPECT_EQ(cursor.Read(out, 4), 2u);
  EXPECT_EQ(out[0], 5);
  EXPECT_EQ(out[1], 6);
  EXPECT_TRUE(cursor.Failed());
  EXPECT_EQ(cursor.Tell(), 6u);
  EXPECT_EQ(cursor.Read(out, 1), 0u);
  EXPECT_FALSE(cursor.Seek(0));  // failed stays failed
}

TEST(ByteCursor, ANumberCutShortReadsAsZeroAndFails) {
  const uint8_t bytes[3] = {0xFF, 0xFF, 0xFF};
  CByteCursor cursor(bytes, 3);
  EXPECT_EQ(cursor.ReadU32(), 0u);
  EXPECT_TRUE(cursor.Failed());
  // Take does not move when it fails: the position is where the number began.
  EXPECT_EQ(cursor.Tell(), 0u);
  EXPECT_EQ(cursor.ReadU8(), 0u);
}

TEST(ByteCursor, TakePointsIntoTheRangeOrFailsWithoutMoving) {
  const uint8_t bytes[8] = {};
  CByteCursor cursor(bytes, 8);
  EXPECT_EQ(cursor.Take(5), bytes);
  EXPECT_EQ(cursor.Take(3), bytes + 5);
  EXPECT_EQ(cursor.Take(0), bytes + 8);
  EXPECT_EQ(cursor.Take(1), nullptr);
  EXPECT_EQ(cursor.Tell(), 8u);
  EXPECT_TRUE(cursor.Failed());
}

TEST(ByteCursor, SeekStaysInsideTheRange) {
  const uint8_t bytes[4] = {9, 8, 7, 6};
  CByteCursor cursor(bytes, 4);
  EXPECT_TRUE(cursor.Seek(4));  // the end itself is a position
  EXPECT_EQ(cursor.Remaining(), 0u);
  EXPECT_TRUE(cursor.Seek(2));
  EXPECT_EQ(cursor.ReadU8(), 7);
  EXPECT_FALSE(cursor.Seek(5));
  EXPECT_TRUE(cursor.Failed());
  EXPECT_EQ(cursor.Tell(), 3u);
}

TEST(ByteCursor, AnEmptyRangeFailsAtTheFirstRead) {
  CByteCursor cursor(nullptr, 0);
  EXPECT_FALSE(cursor.Skip(1));
  EXPECT_TRUE(cursor.Failed());
  CByteCursor none(nullptr, 0);
  EXPECT_TRUE(none.Skip(0));
  EXPECT_FALSE(none.Failed());
}
