// Archives written by Python's zipfile, Info-ZIP zip, 7-Zip and bsdtar.

#include <gtest/gtest.h>

#include "archive/zip_file_reader.h"
#include "base/little_endian.h"
#include "tests/archive/archive_support.h"

namespace {
// Stored and deflated entries, with and without extra fields, with and
// without data descriptors.
const std::vector<std::string> kReadableArchives = {
    "python_stored.zip", "python_deflated.zip", "infozip_stored.zip", "infozip_deflated.zip",
    "7zz_deflated.zip",  "bsdtar_stored.zip",   "bsdtar_deflated.zip"};
}  // namespace

TEST(ZipToolArchives, EveryEntryReadsBackExactlyWithItsCrcConfirmed) {
  for (const std::string& archive : kReadableArchives) {
    SCOPED_TRACE(archive);
    CZipFileReader reader;
    ASSERT_TRUE(reader.Open(ToolArchive(archive)));
    EXPECT_EQ(reader.Entries().size(), kToolEntryNames.size());
    for (const std::string& name : kToolEntryNames) {
      SCOPED_TRACE(name);
      ASSERT_TRUE(reader.OpenEntry(name));
      Bytes bytes;
      EXPECT_EQ(ReadToEnd(reader, bytes), 0);
      EXPECT_TRUE(bytes == ToolContent(name));
      EXPECT_TRUE(reader.CloseEntry());
    }
  }
}

TEST(ZipToolArchives, BZip2AndLzmaEntriesAreListedButCannotBeOpened) {
  const std::pair<const char*, int32_t> archives[] = {{"7zz_bzip2.zip", 12}, {"7zz_lzma.zip", 14}};
  for (const auto& [archive, method] : archives) {
    SCOPED_TRACE(archive);
    CZipFileReader reader;
    ASSERT_TRUE(reader.Open(ToolArchive(archive)));
    EXPECT_EQ(reader.Entries()[1]->compressionMethod, method);
    EXPECT_FALSE(reader.OpenEntry("data.bin"));
    EXPECT_FALSE(reader.CloseEntry());
    // 7-Zip stores the empty file, and a stored entry opens.
    EXPECT_TRUE(reader.OpenEntry("empty.txt"));
    EXPECT_TRUE(reader.CloseEntry());
  }
}

TEST(ZipToolArchives, AnArchiveCommentKeepsTheArchiveClosed) {
  CZipFileReader reader;
  EXPECT_FALSE(reader.Open(ToolArchive("infozip_comment.zip")));
  EXPECT_TRUE(reader.Entries().empty());
  EXPECT_FALSE(reader.OpenEntry("readme.txt"));
}

TEST(ZipToolArchives, AnArchiveWithoutEntriesOpensAndFindsNothing) {
  CZipFileReader reader;
  ASSERT_TRUE(reader.Open(ToolArchive("python_empty.zip")));
  EXPECT_TRUE(reader.Entries().empty());
  EXPECT_FALSE(reader.OpenEntry(""));
  EXPECT_FALSE(reader.OpenEntry("readme.txt"));
}

TEST(ZipToolArchives, DataStartsAfterTheLocalExtraField) {
  CZipFileReader reader;
  ASSERT_TRUE(reader.Open(ToolArchive("infozip_deflated.zip")));
  const CZipFileEntry& entry = *reader.Entries()[0];
  EXPECT_EQ(entry.name, "readme.txt");
  EXPECT_EQ(entry.extraField.substr(0, 2), "UT");  // up to its first zero byte
  Bytes file = ReadWholeFile(ToolArchive("infozip_deflated.zip"));
  size_t local = static_cast<size_t>(entry.localHeaderOffset);
  uint32_t localExtraLength = GetU16(&file[local + 28]);
  EXPECT_GT(localExtraLength, 0u);
  EXPECT_EQ(static_cast<size_t>(entry.dataOffset), local + 30 + 10 + localExtraLength);
}

TEST(ZipToolArchives, LookupIsExactInLetterCaseAndSeparator) {
  CZipFileReader reader;
  ASSERT_TRUE(reader.Open(ToolArchive("python_deflated.zip")));
  EXPECT_FALSE(reader.OpenEntry("README.TXT"));
  EXPECT_FALSE(reader.OpenEntry("sub/folder/model.dat"));
  EXPECT_FALSE(reader.OpenEntry("Sub\\Folder\\Model.dat"));
  EXPECT_FALSE(reader.OpenEntry("/Sub/Folder/Model.dat"));
  EXPECT_TRUE(reader.OpenEntry("Sub/Folder/Model.dat"));
}

TEST(ZipToolArchives, BytesInFrontOfTheArchiveShiftEveryOffset) {
  CTempFolder folder;
  Bytes original = ReadWholeFile(ToolArchive("infozip_deflated.zip"));
  Bytes prefixed = RandomBytes(5000, 7);  // like an archive appended to a program
  prefixed.insert(prefixed.end(), original.begin(), original.end());
  WriteWholeFile(folder / "prefixed.zip", prefixed);

  CZipFileReader plain, shifted;
  ASSERT_TRUE(plain.Open(ToolArchive("infozip_deflated.zip")));
  ASSERT_TRUE(shifted.Open(folder / "prefixed.zip"));
  for (size_t i = 0; i < plain.Entries().size(); ++i)
    EXPECT_EQ(shifted.Entries()[i]->localHeaderOffset,
              plain.Entries()[i]->localHeaderOffset + 5000);
  for (const std::string& name : kToolEntryNames) {
    ASSERT_TRUE(shifted.OpenEntry(name));
    Bytes bytes;
    EXPECT_EQ(ReadToEnd(shifted, bytes), 0);
    EXPECT_TRUE(bytes == ToolContent(name)) << name;
    EXPECT_TRUE(shifted.CloseEntry());
  }
}

TEST(ZipToolArchives, DeflatedEntryReadInRequestsOf10240GivesFullThenShortThenZero) {
  CZipFileReader reader;
  ASSERT_TRUE(reader.Open(ToolArchive("7zz_deflated.zip")));
  ASSERT_TRUE(reader.OpenEntry("data.bin"));  // 250000 bytes: 24 full requests and 4240
  std::vector<uint8_t> buffer(10240);
  for (int i = 0; i < 24; ++i) ASSERT_EQ(reader.Read(buffer.data(), 10240), 10240) << i;
  EXPECT_EQ(reader.Read(buffer.data(), 10240), 4240);
  EXPECT_EQ(reader.Read(buffer.data(), 10240), 0);
  EXPECT_EQ(reader.Read(buffer.data(), 10240), 0);
  EXPECT_TRUE(reader.CloseEntry());
}
