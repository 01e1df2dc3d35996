// A container read back from its file one entry at a time: each entry comes
// alone, as a valid container of its own whose bytes make what the entry made
// in the whole; a file cut short anywhere is refused, naming it.
#include "container/container_file_reader.h"

#include <gtest/gtest.h>

#include "base/little_endian.h"
#include "base/path_text.h"
#include "container/container_writer.h"
#include "tests/support/package_file.h"
#include "tests/support/temp_folder.h"

namespace {
CEntryPlan Entry(const std::string& name, uint32_t seed) {
  CEntryPlan entry;
  entry.name = name;
  entry.chunks.push_back(CChunkPlan::Payload(RandomBytes(32, seed)));
  entry.chunks.push_back(CChunkPlan::Copy(100, 4000));
  entry.chunks.push_back(CChunkPlan::Payload(RandomBytes(5000 + seed, seed + 1)));
  return entry;
}

// What an entry of a validated container makes: its chunks' bytes, a copy
// chunk as its offset and size.
Bytes Made(const CPatchContainer& container, const CContainerEntry& entry) {
  Bytes made;
  CChunkWalk walk(container, entry);
  CChunkRecord chunk;
  while (walk.Next(chunk)) {
    if (chunk.IsPayload()) {
      made.insert(made.end(), walk.PayloadOf(chunk), walk.PayloadOf(chunk) + chunk.size);
    } else {
      AppendU32(made, chunk.offset);
      AppendU32(made, chunk.size);
    }
  }
  return made;
}
}  // namespace

TEST(ContainerFileReader, EntriesComeAloneAsTheyWereAndACutFileIsRefused) {
  CContainerWriter writer(CWriterOptions{true});
  for (uint32_t i = 0; i < 3; ++i) writer.AddEntry(Entry("data/" + std::to_string(i) + ".pkg", i));
  Bytes bytes;
  std::string why;
  ASSERT_TRUE(writer.Build(bytes, &why)) << why;
  CPatchContainer whole;
  ASSERT_TRUE(ValidatePatchContainer(bytes.data(), static_cast<uint32_t>(bytes.size()),
                                     kCodePageUtf8, &why, &whole))
      << why;
  CTempFolder folder;
  WriteWholeFile(folder / "c.bin", bytes);
  CContainerFileReader reader;
  ASSERT_TRUE(reader.Open(folder / "c.bin", kCodePageUtf8, &why)) << why;
  for (const CContainerEntry& entry : whole.entries) {
    CPatchContainer alone;
    ASSERT_TRUE(reader.Next(alone, &why)) << why;
    ASSERT_EQ(alone.entries.size(), 1u);
    EXPECT_STREQ(alone.entries[0].name, entry.name);
    EXPECT_EQ(Made(alone, alone.entries[0]), Made(whole, entry));
  }
  EXPECT_EQ(reader.Left(), 0u);

  for (size_t cut : {size_t{2}, size_t{600}, size_t{1110}, bytes.size() - 1}) {
    WriteWholeFile(folder / "cut.bin", Bytes(bytes.begin(), bytes.begin() + cut));
    CContainerFileReader cutReader;
    bool read = cutReader.Open(folder / "cut.bin", kCodePageUtf8, &why);
    CPatchContainer alone;
    while (read && cutReader.Left() != 0) read = cutReader.Next(alone, &why);
    EXPECT_FALSE(read) << cut;
    EXPECT_NE(why.find("cut.bin"), std::string::npos) << cut << ": " << why;
  }
}
