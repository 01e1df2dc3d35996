#include "archive/zip_writer.h"

#include <gtest/gtest.h>

#include "archive/zip_file_reader.h"
#include "tests/builder/command_support.h"
#include "tests/support/package_file.h"
#include "tests/support/temp_folder.h"

namespace {
Bytes Archive(const std::string& name, const Bytes& content, bool deflate) {
  Bytes data = content;
  uint16_t method = kZipMethodStored;
  if (deflate) {
    EXPECT_TRUE(DeflateRaw(content.data(), content.size(), content.size(), data));
    method = kZipMethodDeflated;
  }
  CZipFraming framing =
      MakeZipFraming(name, method, Crc32(content.data(), content.size()),
                     static_cast<uint32_t>(data.size()), static_cast<uint32_t>(content.size()));
  Bytes archive = framing.localHeader;
  archive.insert(archive.end(), data.begin(), data.end());
  archive.insert(archive.end(), framing.trailer.begin(), framing.trailer.end());
  EXPECT_EQ(archive.size(), ZipArchiveSize(name, data.size()));
  return archive;
}

// The entry as the patcher's own zip reader delivers it; false when it
// refuses the archive or the CRC-32 differs.
bool ReadWithPatcherReader(const std::string& path, const std::string& name, Bytes& content) {
  CZipFileReader reader;
  if (!reader.Open(path) || !reader.OpenEntry(name)) return false;
  content.clear();
  uint8_t buffer[10240];
  int32_t got;
  while ((got = reader.Read(buffer, sizeof buffer)) > 0)
    content.insert(content.end(), buffer, buffer + got);
  return got == 0 && reader.CloseEntry();
}

Bytes Text(size_t size) {
  std::string text;
  while (text.size() < size)
    text += "line " + std::to_string(text.size() % 97) + " of the readme\n";
  text.resize(size);
  return TextBytes(text);
}
}  // namespace

TEST(ZipWriter, ArchivesOpenInThePatcherReaderAndInInfoZip) {
  CTempFolder folder;
  struct Case {
    const char* what;
    std::string name;
    Bytes content;
    bool deflate;
  } cases[] = {
      {"stored", "config/game.ini", RandomBytes(70000, 1), false},
      {"deflated", "docs/readme.txt", Text(100000), true},
      {"empty", "empty.dat", {}, false},
  };
  for (const Case& c : cases) {
    const std::string path = folder / (std::string(c.what) + ".zip");
    WriteWholeFile(path, Archive(c.name, c.content, c.deflate));
    Bytes read;
    EXPECT_TRUE(ReadWithPatcherReader(path, c.name, read)) << c.what;
    EXPECT_EQ(read, c.content) << c.what;
    CCommandResult test = RunCommand({"unzip", "-tq", path});
    EXPECT_EQ(test.exitCode, 0) << c.what << test.out << test.err;
    CCommandResult listing = RunCommand({"unzip", "-Z1", path});
    EXPECT_EQ(listing.out, c.name + "\n") << c.what;
  }
}

TEST(ZipWriter, DeflateGivesUpWhenItWouldNotBeSmaller) {
  Bytes random = RandomBytes(50000, 2);
  Bytes out;
  EXPECT_FALSE(DeflateRaw(random.data(), random.size(), random.size(), out));
  Bytes text = Text(50000);
  EXPECT_TRUE(DeflateRaw(text.data(), text.size(), text.size(), out));
  EXPECT_LT(out.size(), text.size() / 5);
}

TEST(ZipWriter, CrcIsTheZipOne) {
  const Bytes check = TextBytes("123456789");
  EXPECT_EQ(Crc32(check.data(), check.size()), 0xCBF43926u);
  EXPECT_EQ(Crc32(nullptr, 0), 0u);
}
