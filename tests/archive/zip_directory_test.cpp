// Opening archives laid out byte by byte: how the directory is walked, how
// names are kept, and which damage keeps an archive closed.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "archive/zip_file_reader.h"
#include "tests/archive/archive_support.h"
#include "tests/archive/zip_image_support.h"

using namespace zipfield;

namespace {
bool Opens(const Bytes& bytes) {
  CTempFolder folder;
  WriteWholeFile(folder / "a.zip", bytes);
  CZipFileReader reader;
  return reader.Open(folder / "a.zip");
}

Bytes ReadEntry(const std::string& path, const std::string& name) {
  CZipFileReader reader;
  Bytes bytes;
  if (!reader.Open(path) || !reader.OpenEntry(name)) return bytes;
  EXPECT_EQ(ReadToEnd(reader, bytes), 0);
  EXPECT_TRUE(reader.CloseEntry());
  return bytes;
}

CZipImage TwoEntries() {
  return BuildZip({StoredEntry("first.txt", TextBytes("first")),
                   DeflatedEntry("second.bin", RandomBytes(3000, 1))});
}
}  // namespace

TEST(ZipDirectory, ExtraFieldAndCommentAreWalkedPastToTheNextRecord) {
  CZipImageEntry first = StoredEntry("first.txt", TextBytes("first"));
  first.extra = TextBytes(
      "XY\x04\x00"
      "abcd");
  first.comment = TextBytes("a comment of some length");
  CZipImage image = BuildZip({first, DeflatedEntry("second.bin", RandomBytes(3000, 1))});
  CTempFolder folder;
  WriteWholeFile(folder / "a.zip", image.bytes);

  CZipFileReader reader;
  ASSERT_TRUE(reader.Open(folder / "a.zip"));
  ASSERT_EQ(reader.Entries().size(), 2u);
  EXPECT_EQ(reader.Entries()[0]->extraField, "XY\x04");  // ends at its first zero byte
  EXPECT_EQ(reader.Entries()[0]->comment, "a comment of some length");
  EXPECT_EQ(reader.Entries()[1]->name, "second.bin");
  EXPECT_TRUE(ReadEntry(folder / "a.zip", "first.txt") == TextBytes("first"));
  EXPECT_TRUE(ReadEntry(folder / "a.zip", "second.bin") == RandomBytes(3000, 1));
}

TEST(ZipDirectory, LaterDuplicateNameWinsAndBothLocalHeadersAreChecked) {
  CZipImage image = BuildZip(
      {StoredEntry("same.txt", TextBytes("older")), StoredEntry("same.txt", TextBytes("newer"))});
  CTempFolder folder;
  WriteWholeFile(folder / "a.zip", image.bytes);
  CZipFileReader reader;
  ASSERT_TRUE(reader.Open(folder / "a.zip"));
  EXPECT_EQ(reader.Entries().size(), 2u);
  EXPECT_TRUE(ReadEntry(folder / "a.zip", "same.txt") == TextBytes("newer"));

  image.bytes[image.local[0] + kLocalName] ^= 1;  // the hidden record's local name
  EXPECT_FALSE(Opens(image.bytes));
}

TEST(ZipDirectory, NameIsCutAt1024BytesAndTheNextRecordStillReads) {
  std::string longName(1500, 'n');
  longName[1023] = 'x';
  CZipImage image = BuildZip(
      {StoredEntry(longName, TextBytes("long")), StoredEntry("after.txt", TextBytes("after"))});
  CTempFolder folder;
  WriteWholeFile(folder / "a.zip", image.bytes);

  CZipFileReader reader;
  ASSERT_TRUE(reader.Open(folder / "a.zip"));
  EXPECT_EQ(reader.Entries()[0]->name, longName.substr(0, 1024));
  EXPECT_FALSE(reader.OpenEntry(longName));
  EXPECT_TRUE(ReadEntry(folder / "a.zip", longName.substr(0, 1024)) == TextBytes("long"));
  EXPECT_TRUE(ReadEntry(folder / "a.zip", "after.txt") == TextBytes("after"));

  // Bytes past the first 1024 are not compared with the directory's name.
  image.bytes[image.local[0] + kLocalName + 1200] ^= 1;
  EXPECT_TRUE(Opens(image.bytes));
}

TEST(ZipDirectory, NameEndsAtAZeroByte) {
  CTempFolder folder;
  WriteWholeFile(folder / "a.zip",
                 BuildZip({StoredEntry(std::string("abc\0def", 7), TextBytes("z"))}).bytes);
  CZipFileReader reader;
  ASSERT_TRUE(reader.Open(folder / "a.zip"));
  EXPECT_EQ(reader.Entries()[0]->name, "abc");
  EXPECT_TRUE(ReadEntry(folder / "a.zip", "abc") == TextBytes("z"));
}

TEST(ZipDirectory, DirectoryOfSizeZeroOpensWithNoEntries) {
  CZipImage image = BuildZip({});
  EXPECT_EQ(image.bytes.size(), 22u);
  EXPECT_TRUE(Opens(image.bytes));
}

// Each case changes one thing of a good two-entry archive.
TEST(ZipDirectory, EachDamageKeepsTheArchiveClosed) {
  struct Case {
    const char* what;
    std::function<void(CZipImage&)> damage;
  };
  const std::vector<Case> cases = {
      {"shorter than an end record", [](CZipImage& z) { z.bytes.assign(21, 0); }},
      {"an archive comment",
       [](CZipImage& z) {
         PutU16(&z.bytes[z.end + kEndCommentLength], 2);
         z.bytes.push_back('h');
         z.bytes.push_back('i');
       }},
      {"a trailing byte after the end record", [](CZipImage& z) { z.bytes.push_back(0); }},
      {"end record signature", [](CZipImage& z) { z.bytes[z.end] = 'Q'; }},
      {"a second disk", [](CZipImage& z) { PutU16(&z.bytes[z.end + kEndDisk], 1); }},
      {"directory on another disk",
       [](CZipImage& z) { PutU16(&z.bytes[z.end + kEndDirectoryDisk], 1); }},
      {"directory size reaching before the file",
       [](CZipImage& z) { PutU32(&z.bytes[z.end + kEndDirectorySize], 0x10000); }},
      {"directory size off by some bytes",
       [](CZipImage& z) {
         PutU32(&z.bytes[z.end + kEndDirectorySize],
                GetU32(&z.bytes[z.end + kEndDirectorySize]) - 60);
       }},
      {"ZIP64 directory offset",
       [](CZipImage& z) { PutU32(&z.bytes[z.end + kEndDirectoryOffset], 0xFFFFFFFF); }},
      {"directory header signature", [](CZipImage& z) { z.bytes[z.directory[1] + 2] = 9; }},
      {"name running past the directory",
       [](CZipImage& z) { PutU16(&z.bytes[z.directory[1] + kDirNameLength], 500); }},
      {"ZIP64 compressed size",
       [](CZipImage& z) { PutU32(&z.bytes[z.directory[0] + kDirCompressedSize], 0xFFFFFFFF); }},
      {"ZIP64 uncompressed size",
       [](CZipImage& z) { PutU32(&z.bytes[z.directory[0] + kDirUncompressedSize], 0xFFFFFFFF); }},
      {"ZIP64 local header offset",
       [](CZipImage& z) { PutU32(&z.bytes[z.directory[1] + kDirLocalOffset], 0xFFFFFFFF); }},
      {"size above 2 GiB",
       [](CZipImage& z) { PutU32(&z.bytes[z.directory[1] + kDirUncompressedSize], 0x80000000); }},
      {"data running past the end of the file",
       [](CZipImage& z) { PutU32(&z.bytes[z.directory[1] + kDirCompressedSize], 0x100000); }},
      {"local header past the end of the file",
       [](CZipImage& z) { PutU32(&z.bytes[z.directory[1] + kDirLocalOffset], 0x100000); }},
      {"local header before the start of the file",
       [](CZipImage& z) {
         PutU32(&z.bytes[z.end + kEndDirectoryOffset],
                GetU32(&z.bytes[z.end + kEndDirectoryOffset]) + 100);
       }},
      {"local header signature", [](CZipImage& z) { z.bytes[z.local[1] + 3] = 9; }},
      {"local name differing by one byte",
       [](CZipImage& z) { z.bytes[z.local[1] + kLocalName + 3] ^= 0x20; }},
      {"local name of another length",
       [](CZipImage& z) { PutU16(&z.bytes[z.local[0] + kLocalNameLength], 8); }},
  };
  ASSERT_TRUE(Opens(TwoEntries().bytes));
  for (const Case& c : cases) {
    CZipImage image = TwoEntries();
    c.damage(image);
    EXPECT_FALSE(Opens(image.bytes)) << c.what;
  }
}

TEST(ZipDirectory, FailedOpenLeavesTheEarlierArchiveClosed) {
  CTempFolder folder;
  WriteWholeFile(folder / "good.zip", TwoEntries().bytes);
  WriteWholeFile(folder / "bad.zip", TextBytes("not an archive at all, just text"));
  CZipFileReader reader;
  ASSERT_TRUE(reader.Open(folder / "good.zip"));
  ASSERT_TRUE(reader.OpenEntry("first.txt"));
  EXPECT_FALSE(reader.Open(folder / "bad.zip"));
  EXPECT_TRUE(reader.Entries().empty());
  EXPECT_FALSE(reader.OpenEntry("first.txt"));
  EXPECT_FALSE(reader.Open(folder / "missing.zip"));
}

TEST(ZipDirectory, ArchiveOf2GiBIsRefused) {
  // A sparse file: a good archive moved to the end of 2 GiB of nothing.
  CTempFolder folder;
  Bytes archive = TwoEntries().bytes;
  std::string path = folder / "huge.zip";
  { std::ofstream out(path, std::ios::binary); }
  std::filesystem::resize_file(path, (uint64_t{1} << 31) - archive.size());
  {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(archive.data()), archive.size());
  }
  ASSERT_EQ(std::filesystem::file_size(path), uint64_t{1} << 31);
  CZipFileReader reader;
  EXPECT_FALSE(reader.Open(path));
}
