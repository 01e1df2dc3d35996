#include "container/patch_container.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/little_endian.h"
#include "base/path_text.h"
#include "container/container_writer.h"
#include "tests/support/package_file.h"

namespace {
const std::string kDigestA = "0123456789abcdef0123456789abcdef";
const std::string kDigestB = "fedcba9876543210fedcba9876543210";

CEntryPlan ThreeChunkEntry(const std::string& name) {
  CEntryPlan entry;
  entry.name = name;
  entry.digestBefore = kDigestA;
  entry.digestAfter = kDigestB;
  entry.chunks.push_back(CChunkPlan::Payload(RandomBytes(32, 1)));
  entry.chunks.push_back(CChunkPlan::Copy(100, 4000));
  entry.chunks.push_back(CChunkPlan::Payload(RandomBytes(77, 2)));
  return entry;
}

Bytes Build(const std::vector<CEntryPlan>& entries, bool junk = true) {
  CContainerWriter writer(CWriterOptions{junk});
  for (const auto& entry : entries) writer.AddEntry(entry);
  Bytes out;
  std::string why;
  EXPECT_TRUE(writer.Build(out, &why)) << why;
  return out;
}

bool Valid(const Bytes& bytes, uint32_t codePage = kCodePageUtf8) {
  return ValidatePatchContainer(bytes.data(), static_cast<uint32_t>(bytes.size()), codePage,
                                nullptr);
}

// Offsets in a container whose first entry has three chunks.
constexpr size_t kRecord = 4;
constexpr size_t kTable = kRecord + kEntryRecordSize;
constexpr size_t kChunk0 = kTable, kChunk1 = kTable + 12, kChunk2 = kTable + 24;
constexpr size_t kArea = kTable + 36;
}  // namespace

TEST(PatchContainer, EmptyContainerIsFourBytesAndValid) {
  Bytes bytes = Build({});
  EXPECT_EQ(bytes.size(), 4u);
  EXPECT_TRUE(Valid(bytes));
}

TEST(PatchContainer, WalkWithTheSkipRuleEndsExactlyAtTheSize) {
  Bytes bytes =
      Build({ThreeChunkEntry("a.pkg"), ThreeChunkEntry("sub/b.pkg"), ThreeChunkEntry("c.txt")});
  ASSERT_TRUE(Valid(bytes));
  CByteCursor cursor(bytes.data(), static_cast<uint32_t>(bytes.size()));
  uint32_t count = cursor.ReadU32();
  ASSERT_EQ(count, 3u);
  std::vector<std::string> names;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t start = cursor.Tell();
    CEntryRecord record;
    ASSERT_TRUE(ReadEntryRecord(cursor, record));
    names.push_back(record.name);
    CChunkRecord first;
    ASSERT_TRUE(SkipEntry(cursor, record, first));
    EXPECT_EQ(cursor.Tell(),
              start + kEntryRecordSize + 12 * record.chunkCount + record.payloadSize);
  }
  EXPECT_EQ(cursor.Tell(), bytes.size());
  EXPECT_EQ(names, (std::vector<std::string>{"a.pkg", "sub/b.pkg", "c.txt"}));
}

TEST(PatchContainer, JunkAfterTheNulIsNotPartOfTheText) {
  Bytes bytes = Build({ThreeChunkEntry("map84.pkg")}, /*junk=*/true);
  EXPECT_NE(bytes[kRecord + 10], 0);  // junk right after "map84.pkg\0"
  CByteCursor cursor(bytes.data(), static_cast<uint32_t>(bytes.size()));
  cursor.ReadU32();
  CEntryRecord record;
  ASSERT_TRUE(ReadEntryRecord(cursor, record));
  EXPECT_STREQ(record.name, "map84.pkg");
  EXPECT_EQ(std::string(record.digestBefore), kDigestA);
  EXPECT_EQ(std::string(record.digestAfter), kDigestB);
  EXPECT_EQ(record.chunkCount, 3u);
  EXPECT_EQ(record.payloadSize, 32u + 77u);
}

TEST(PatchContainer, TheFlagByteAloneDecides) {
  const uint8_t payload[12] = {0x01, 0xF7, 0xE5, 0x00, 8, 0, 0, 0, 4, 0, 0, 0};
  const uint8_t copy[12] = {0x00, 0xFA, 0xE5, 0x00, 8, 0, 0, 0, 4, 0, 0, 0};
  CChunkRecord record;
  CByteCursor a(payload, 12);
  ASSERT_TRUE(ReadChunkRecord(a, record));
  EXPECT_TRUE(record.IsPayload());
  CByteCursor b(copy, 12);
  ASSERT_TRUE(ReadChunkRecord(b, record));
  EXPECT_FALSE(record.IsPayload());
  EXPECT_EQ(record.offset, 8u);
  EXPECT_EQ(record.size, 4u);
}

// Each rule broken one at a time on an otherwise valid container, refused
// with that rule's own reason.
TEST(PatchContainerValidation, RefusesEachBrokenRule) {
  const Bytes good = Build({ThreeChunkEntry("a.pkg"), ThreeChunkEntry("b.pkg")});
  ASSERT_TRUE(Valid(good));
  const size_t secondRecord = kArea + 32 + 77;
  auto name = [](Bytes& b, size_t at, const std::string& text) {
    std::copy(text.c_str(), text.c_str() + text.size() + 1, b.begin() + at);
  };

  struct Breach {
    const char* rule;
    std::function<void(Bytes&)> apply;
    const char* why;
  };
  const Breach breaches[] = {
      {"entry count one too many", [](Bytes& b) { PutU32(&b[0], 3); },
       "entry 2: entry record runs past the end"},
      {"entry count one too few", [](Bytes& b) { PutU32(&b[0], 1); },
       "bytes left after the last entry"},
      {"huge entry count", [](Bytes& b) { PutU32(&b[0], 0xFFFFFFFF); },
       "entry 2: entry record runs past the end"},
      {"name without NUL", [](Bytes& b) { std::fill(b.begin() + 4, b.begin() + 4 + 1024, 'x'); },
       "entry 0: name has no NUL"},
      {"digestBefore without NUL",
       [](Bytes& b) { std::fill(b.begin() + 4 + 1024, b.begin() + 4 + 1057, 'a'); },
       "entry 0: a.pkg: digestBefore has no NUL"},
      {"digestAfter without NUL",
       [](Bytes& b) { std::fill(b.begin() + 4 + 1057, b.begin() + 4 + 1090, 'a'); },
       "entry 0: a.pkg: digestAfter has no NUL"},
      {"unsafe name", [&](Bytes& b) { name(b, kRecord, "..\\evil.pkg"); },
       "entry 0: unsafe entry name \"..\\evil.pkg\""},
      {"a name Windows cannot hold", [&](Bytes& b) { name(b, kRecord, "sub\\aux.pkg"); },
       "entry 0: entry name \"sub\\aux.pkg\" cannot be a file on Windows: \"aux.pkg\" is a "
       "device name on Windows, not a file"},
      {"chunk count zero", [](Bytes& b) { PutU32(&b[kRecord + 1096], 0); },
       "entry 0: a.pkg: no chunk records"},
      {"chunk count past the end", [](Bytes& b) { PutU32(&b[kRecord + 1096], 0x20000000); },
       "entry 0: a.pkg: chunk table runs past the end"},
      {"payload size past the end", [](Bytes& b) { PutU32(&b[kRecord + 1092], 0xFFFFFFF0); },
       "entry 0: a.pkg: payload area runs past the end"},
      {"payload size one more", [](Bytes& b) { PutU32(&b[kRecord + 1092], 32 + 77 + 1); },
       "entry 0: a.pkg: payload chunks fall short of payloadSize"},
      {"payload size one less", [](Bytes& b) { PutU32(&b[kRecord + 1092], 32 + 77 - 1); },
       "entry 0: a.pkg: payload chunks exceed payloadSize"},
      {"first chunk is a copy chunk", [](Bytes& b) { b[kChunk0] = 0; },
       "entry 0: a.pkg: first chunk is a copy chunk"},
      {"first chunk not at the area start", [](Bytes& b) { PutU32(&b[kChunk0 + 4], kArea + 1); },
       "entry 0: a.pkg: payload chunk 0 is out of place"},
      {"payload chunks with a gap", [](Bytes& b) { PutU32(&b[kChunk2 + 4], kArea + 33); },
       "entry 0: a.pkg: payload chunk 2 is out of place"},
      {"payload chunks overlapping", [](Bytes& b) { PutU32(&b[kChunk2 + 4], kArea + 31); },
       "entry 0: a.pkg: payload chunk 2 is out of place"},
      {"payload chunk larger than the area", [](Bytes& b) { PutU32(&b[kChunk2 + 8], 0xFFFFFF00); },
       "entry 0: a.pkg: payload chunks exceed payloadSize"},
      {"second entry truncated", [&](Bytes& b) { b.resize(secondRecord + 500); },
       "entry 1: entry record runs past the end"},
      {"a file named twice", [&](Bytes& b) { name(b, secondRecord, "A.PKG"); },
       "entry 1: \"A.PKG\" names a file twice"},
      {"byte left after the last entry", [](Bytes& b) { b.push_back(0); },
       "bytes left after the last entry"},
      {"container shorter than its count", [](Bytes& b) { b.resize(3); },
       "container shorter than its entry count"},
  };
  for (const Breach& breach : breaches) {
    SCOPED_TRACE(breach.rule);
    Bytes bytes = good;
    breach.apply(bytes);
    std::string why;
    EXPECT_FALSE(ValidatePatchContainer(bytes.data(), static_cast<uint32_t>(bytes.size()),
                                        kCodePageUtf8, &why));
    EXPECT_EQ(why, breach.why);
  }
  // A copy chunk may point anywhere in the installed file.
  Bytes farCopy = good;
  PutU32(&farCopy[kChunk1 + 4], 0xFFFFFFF0);
  PutU32(&farCopy[kChunk1 + 8], 0xFFFFFFFF);
  EXPECT_TRUE(Valid(farCopy));
}

TEST(PatchContainerValidation, RefusesNamesThatLeaveTheInstallationFolder) {
  for (const char* name : {"", "C:\\x.pkg", "c:x.pkg", "a:b", "\\x.pkg", "/x.pkg", "..\\x.pkg",
                           "../x.pkg", "a/../../x.pkg", "a//b.pkg", "a\\\\b.pkg", "a/", "a\\..",
                           "..", ".", "./x.pkg", ".temp_x.pkg", "sub/.temp_x.pkg"}) {
    EXPECT_FALSE(IsSafeRelativeName(name, kCodePageUtf8)) << name;
  }
  for (const char* name : {"map84.pkg", "sub/x.pkg", "sub\\x.pkg", "..x.pkg", "a/.b/c.txt"}) {
    EXPECT_TRUE(IsSafeRelativeName(name, kCodePageUtf8)) << name;
  }
  CEntryPlan entry = ThreeChunkEntry("ok.pkg");
  Bytes bytes = Build({entry});
  const char evil[] = "..\\evil.pkg";
  std::copy(evil, evil + sizeof evil, bytes.begin() + kRecord);
  EXPECT_FALSE(Valid(bytes));
}

TEST(PatchContainerValidation, NamesInADoubleByteCodePageAreSplitByCharacters) {
  // Shift JIS: ソ is 83 5C, ア is 83 41 and ャ 83 63: second bytes that are a
  // '\' and letters.
  const std::string so = "\x83\x5C";
  EXPECT_TRUE(IsSafeRelativeName(so, 932));
  EXPECT_TRUE(IsSafeRelativeName("sub/" + so + "/x.txt", 932));
  EXPECT_FALSE(IsSafeRelativeName(so, 1252));  // a name ending in a separator
  EXPECT_EQ(NameExtension(so + ".pkg", 932), ".pkg");
  EXPECT_TRUE(
      Valid(Build({ThreeChunkEntry("\x83\x41.pkg"), ThreeChunkEntry("\x83\x63.pkg")}), 932));
  EXPECT_FALSE(Valid(Build({ThreeChunkEntry("a/b.pkg"), ThreeChunkEntry("A\\B.pkg")}), 932));
  // ポ is 83 7C: a '|' as a second byte is part of a character Windows holds.
  EXPECT_TRUE(Valid(Build({ThreeChunkEntry("\x83\x7C.pkg")}), 932));
  EXPECT_FALSE(Valid(Build({ThreeChunkEntry("\x83\x7C.pkg")}), 1252));
}

TEST(PatchContainerValidation, RefusesAFileNamedTwice) {
  for (const char* second : {"a.pkg", "A.PKG", "sub/b.pkg"}) {
    Bytes bytes =
        Build({ThreeChunkEntry("a.pkg"), ThreeChunkEntry("sub\\B.pkg"), ThreeChunkEntry(second)});
    EXPECT_FALSE(Valid(bytes)) << second;
  }
  EXPECT_TRUE(Valid(Build({ThreeChunkEntry("a.pkg"), ThreeChunkEntry("a.pkg.bak")})));
}

TEST(PatchContainer, ExtensionAsThePathSplitterGivesIt) {
  EXPECT_EQ(NameExtension("map84.pkg", kCodePageUtf8), ".pkg");
  EXPECT_EQ(NameExtension("MAP84.PKG", kCodePageUtf8), ".PKG");
  EXPECT_EQ(NameExtension("sub.dir/readme", kCodePageUtf8), "");
  EXPECT_EQ(NameExtension("a.tar.gz", kCodePageUtf8), ".gz");
  EXPECT_EQ(NameExtension("x.123456", kCodePageUtf8), ".123456");
  EXPECT_EQ(NameExtension("x.1234567", kCodePageUtf8), "");  // more than 7 characters with its dot
  EXPECT_EQ(NameExtension("sub\\x.pkg", kCodePageUtf8), ".pkg");
}

TEST(ContainerWriter, RefusesWhatCannotBeLaidOut) {
  auto refuses = [](CEntryPlan entry) {
    CContainerWriter writer;
    writer.AddEntry(std::move(entry));
    Bytes out;
    std::string why;
    return !writer.Build(out, &why) && !why.empty();
  };
  CEntryPlan longName = ThreeChunkEntry(std::string(1024, 'n'));
  EXPECT_TRUE(refuses(longName));
  CEntryPlan badDigest = ThreeChunkEntry("a.pkg");
  badDigest.digestAfter = "ABC";
  EXPECT_TRUE(refuses(badDigest));
  CEntryPlan noChunks = ThreeChunkEntry("a.pkg");
  noChunks.chunks.clear();
  EXPECT_TRUE(refuses(noChunks));
  CEntryPlan copyFirst = ThreeChunkEntry("a.pkg");
  std::swap(copyFirst.chunks[0], copyFirst.chunks[1]);
  EXPECT_TRUE(refuses(copyFirst));
}
