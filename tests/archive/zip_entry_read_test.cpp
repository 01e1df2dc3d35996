// Reading entries: where an entry ends, when its CRC-32 is confirmed, and how
// damaged or lying data ends in a failure.

#include <gtest/gtest.h>

#include "archive/zip_file_reader.h"
#include "tests/archive/archive_support.h"
#include "tests/archive/zip_image_support.h"

namespace {
// One archive of the given entries in a folder of its own, opened.
class CArchive {
 public:
  explicit CArchive(const std::vector<CZipImageEntry>& entries) {
    WriteWholeFile(folder_ / "a.zip", BuildZip(entries).bytes);
    EXPECT_TRUE(reader.Open(folder_ / "a.zip"));
  }
  CZipFileReader reader;

 private:
  CTempFolder folder_;
};

// Compressible like game data, so one 16384-byte window holds a small part.
Bytes GameLikeBytes(size_t size) {
  Bytes bytes = RandomBytes(size, 3);
  for (size_t i = 0; i < size; ++i)
    if (i % 7 != 0) bytes[i] = static_cast<uint8_t>(i % 100);
  return bytes;
}
}  // namespace

TEST(ZipEntryRead, StoredEntryOfSizeZeroEndsAtOnceWithItsCrcConfirmed) {
  CArchive archive({StoredEntry("empty", {})});
  ASSERT_TRUE(archive.reader.OpenEntry("empty"));
  uint8_t buffer[16];
  EXPECT_EQ(archive.reader.Read(buffer, sizeof buffer), 0);
  EXPECT_EQ(archive.reader.Read(buffer, sizeof buffer), 0);
  EXPECT_TRUE(archive.reader.CloseEntry());
}

TEST(ZipEntryRead, DeflatedEntryOfSizeZeroEndsAtOnceWithItsCrcConfirmed) {
  CArchive archive({DeflatedEntry("empty", {})});
  ASSERT_TRUE(archive.reader.OpenEntry("empty"));
  uint8_t buffer[16];
  EXPECT_EQ(archive.reader.Read(buffer, sizeof buffer), 0);
  EXPECT_TRUE(archive.reader.CloseEntry());
}

TEST(ZipEntryRead, OddRequestSizesDeliverTheSameBytes) {
  Bytes content = GameLikeBytes(100000);
  CArchive archive({DeflatedEntry("d", content), StoredEntry("s", content)});
  for (const char* name : {"d", "s"}) {
    for (int32_t request : {1, 4093, 16384, 16385, 200000}) {
      ASSERT_TRUE(archive.reader.OpenEntry(name));
      Bytes bytes;
      EXPECT_EQ(ReadToEnd(archive.reader, bytes, request), 0);
      EXPECT_TRUE(bytes == content) << name << " " << request;
      EXPECT_TRUE(archive.reader.CloseEntry());
    }
  }
}

TEST(ZipEntryRead, AlteredStoredDataReadsToTheEndButFailsTheCrc) {
  CZipImageEntry entry = StoredEntry("s", RandomBytes(30000, 4));
  entry.data[20000] ^= 1;
  CArchive archive({entry});
  ASSERT_TRUE(archive.reader.OpenEntry("s"));
  Bytes bytes;
  EXPECT_EQ(ReadToEnd(archive.reader, bytes), 0);
  EXPECT_EQ(bytes.size(), 30000u);
  EXPECT_FALSE(archive.reader.CloseEntry());
}

TEST(ZipEntryRead, StoppingEarlyFailsTheCrc) {
  CArchive archive({DeflatedEntry("d", GameLikeBytes(50000))});
  ASSERT_TRUE(archive.reader.OpenEntry("d"));
  uint8_t buffer[100];
  EXPECT_EQ(archive.reader.Read(buffer, sizeof buffer), 100);
  EXPECT_FALSE(archive.reader.CloseEntry());
}

TEST(ZipEntryRead, InvalidDeflateStreamFailsAndClosesTheEntry) {
  CZipImageEntry entry = DeflatedEntry("d", GameLikeBytes(50000));
  entry.data.assign(entry.data.size(), 0xFF);  // block type 3 does not exist
  CArchive archive({entry});
  ASSERT_TRUE(archive.reader.OpenEntry("d"));
  uint8_t buffer[10240];
  EXPECT_EQ(archive.reader.Read(buffer, sizeof buffer), -1);
  EXPECT_EQ(archive.reader.Read(buffer, sizeof buffer), 0);  // no entry open any more
  EXPECT_FALSE(archive.reader.CloseEntry());
}

TEST(ZipEntryRead, StreamEndingBeforeTheRecordedSizeFails) {
  CZipImageEntry entry = DeflatedEntry("d", GameLikeBytes(50000));
  entry.uncompressedSize = 60000;
  CArchive archive({entry});
  ASSERT_TRUE(archive.reader.OpenEntry("d"));
  Bytes bytes;
  EXPECT_EQ(ReadToEnd(archive.reader, bytes), -1);
  EXPECT_LE(bytes.size(), 50000u);
  EXPECT_FALSE(archive.reader.CloseEntry());
}

TEST(ZipEntryRead, CompressedDataCutShortFails) {
  CZipImageEntry entry = DeflatedEntry("d", RandomBytes(100000, 5));
  entry.data.resize(entry.data.size() / 2);
  entry.compressedSize = static_cast<uint32_t>(entry.data.size());
  CArchive archive({entry});
  ASSERT_TRUE(archive.reader.OpenEntry("d"));
  Bytes bytes;
  EXPECT_EQ(ReadToEnd(archive.reader, bytes), -1);
  EXPECT_FALSE(archive.reader.CloseEntry());
}

// A zip bomb: a small declared size over data that inflates far beyond it.
TEST(ZipEntryRead, InflatingPastTheRecordedSizeFailsWithinOneWindow) {
  CZipImageEntry entry = DeflatedEntry("bomb", Bytes(10 << 20, 0));
  entry.uncompressedSize = 1000;
  CArchive archive({entry});
  ASSERT_TRUE(archive.reader.OpenEntry("bomb"));
  uint8_t buffer[10240];
  EXPECT_EQ(archive.reader.Read(buffer, sizeof buffer), -1);
  EXPECT_FALSE(archive.reader.CloseEntry());
}

TEST(ZipEntryRead, InflatingPastARecordedSizeAtAWindowEdgeFails) {
  CZipImageEntry entry = DeflatedEntry("bomb", GameLikeBytes(100000));
  entry.uncompressedSize = 2 * 16384;  // output reaches it exactly as a window fills
  CArchive archive({entry});
  ASSERT_TRUE(archive.reader.OpenEntry("bomb"));
  Bytes bytes;
  EXPECT_EQ(ReadToEnd(archive.reader, bytes), -1);
  EXPECT_LE(bytes.size(), 2u * 16384);
  EXPECT_FALSE(archive.reader.CloseEntry());
}

TEST(ZipEntryRead, NonPositiveRequestFailsAndClosesTheEntry) {
  CArchive archive({DeflatedEntry("d", GameLikeBytes(1000)), StoredEntry("s", TextBytes("s"))});
  uint8_t buffer[8];
  for (const char* name : {"d", "s"}) {
    for (int32_t size : {0, -5}) {
      ASSERT_TRUE(archive.reader.OpenEntry(name));
      EXPECT_EQ(archive.reader.Read(buffer, size), -1) << name << size;
      EXPECT_FALSE(archive.reader.CloseEntry());
    }
  }
}

TEST(ZipEntryRead, OpeningAnotherEntryEndsTheFirstWithoutACrcCheck) {
  Bytes one = GameLikeBytes(40000), two = RandomBytes(20000, 6);
  CArchive archive({DeflatedEntry("one", one), DeflatedEntry("two", two)});
  ASSERT_TRUE(archive.reader.OpenEntry("one"));
  uint8_t buffer[5000];
  ASSERT_EQ(archive.reader.Read(buffer, sizeof buffer), 5000);
  ASSERT_TRUE(archive.reader.OpenEntry("two"));  // reuses the buffers of "one"
  Bytes bytes;
  EXPECT_EQ(ReadToEnd(archive.reader, bytes), 0);
  EXPECT_TRUE(bytes == two);
  EXPECT_TRUE(archive.reader.CloseEntry());
  EXPECT_FALSE(archive.reader.CloseEntry());

  ASSERT_TRUE(archive.reader.OpenEntry("one"));
  EXPECT_FALSE(archive.reader.OpenEntry("three"));  // a failed open also ends "one"
  EXPECT_EQ(archive.reader.Read(buffer, sizeof buffer), 0);
}

TEST(ZipEntryRead, WithoutAnOpenEntryReadGivesZeroAndCloseEntryFalse) {
  CZipFileReader closed;
  uint8_t buffer[8];
  EXPECT_EQ(closed.Read(buffer, sizeof buffer), 0);
  EXPECT_FALSE(closed.CloseEntry());
  EXPECT_FALSE(closed.OpenEntry("a"));
  closed.Close();
  closed.Close();
}

TEST(ZipEntryRead, OtherMethodsCannotBeOpened) {
  CZipImageEntry entry = StoredEntry("m", TextBytes("data"));
  for (uint16_t method : {1, 9, 12, 14, 99}) {
    entry.method = method;
    CArchive archive({entry});
    EXPECT_FALSE(archive.reader.OpenEntry("m")) << method;
  }
}
