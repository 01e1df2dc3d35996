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

TEST(ZipEntryRead, EntryOfSizeZeroEndsAtOnceWithItsCrcConfirmed) {
  for (const CZipImageEntry& entry : {StoredEntry("empty", {}), DeflatedEntry("empty", {})}) {
    SCOPED_TRACE(entry.method);
    CArchive archive({entry});
    ASSERT_TRUE(archive.reader.OpenEntry("empty"));
    uint8_t buffer[16];
    EXPECT_EQ(archive.reader.Read(buffer, sizeof buffer), 0);
    EXPECT_EQ(archive.reader.Read(buffer, sizeof buffer), 0);
    EXPECT_TRUE(archive.reader.CloseEntry());
  }
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

// Damaged or lying deflate data: the read that meets it fails and closes the
// entry, after no more than `most` bytes.
TEST(ZipEntryRead, FailingDeflateStreamsFailTheReadAndCloseTheEntry) {
  CZipImageEntry invalid = DeflatedEntry("d", GameLikeBytes(50000));
  invalid.data.assign(invalid.data.size(), 0xFF);  // block type 3 does not exist
  CZipImageEntry endsEarly = DeflatedEntry("d", GameLikeBytes(50000));
  endsEarly.uncompressedSize = 60000;
  CZipImageEntry cutShort = DeflatedEntry("d", RandomBytes(100000, 5));
  cutShort.data.resize(cutShort.data.size() / 2);
  cutShort.compressedSize = static_cast<uint32_t>(cutShort.data.size());
  // Zip bombs: a small recorded size over data that inflates far beyond it.
  CZipImageEntry bomb = DeflatedEntry("d", Bytes(10 << 20, 0));
  bomb.uncompressedSize = 1000;
  CZipImageEntry edgeBomb = DeflatedEntry("d", GameLikeBytes(100000));
  edgeBomb.uncompressedSize = 2 * 16384;  // output reaches it exactly as a window fills

  const struct {
    const char* what;
    const CZipImageEntry& entry;
    size_t most;  // 0: the first read of 10240 bytes fails
  } cases[] = {
      {"invalid stream", invalid, 0},
      {"stream ending before the recorded size", endsEarly, 50000},
      {"compressed data cut short", cutShort, 100000},
      {"inflating past the recorded size", bomb, 0},
      {"inflating past a recorded size at a window edge", edgeBomb, 2 * 16384},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CArchive archive({c.entry});
    ASSERT_TRUE(archive.reader.OpenEntry("d"));
    Bytes bytes;
    EXPECT_EQ(ReadToEnd(archive.reader, bytes), -1);
    EXPECT_LE(bytes.size(), c.most);
    uint8_t buffer[16];
    EXPECT_EQ(archive.reader.Read(buffer, sizeof buffer), 0);  // no entry open any more
    EXPECT_FALSE(archive.reader.CloseEntry());
  }
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
