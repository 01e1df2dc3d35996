// Rebuilding from very many small chunks: the output is gathered in a buffer
// and copies that lie close together are read in one piece. The result must
// be byte for byte the new package whatever the order, size and place of the
// copies (one reaching the old package's last byte, one larger than the read
// window), and an installed file cut short inside a read-ahead span is still
// "not the version this patch expects".
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/support/release_runs.h"

namespace {
struct CManyChunks {
  CPackageImage oldPackage;
  Bytes newBytes;
  CEntryPlan entry;
};

// A new package whose data is `count` copies of 1 to 700 bytes of the old
// one (in the old order or shuffled) with a few fresh bytes after each, then
// a copy of the old file's last 3 MiB, which ends at its last byte; its
// header and index travel as payload.
CManyChunks MakeManyChunks(uint32_t count, bool shuffled) {
  CManyChunks made;
  made.oldPackage = MakePackage(RandomBytes(8 << 20, 5), {RandomBytes(40, 6), RandomBytes(50, 7)});
  const Bytes& old = made.oldPackage.bytes;
  std::mt19937 random(count);
  std::vector<uint32_t> starts;
  for (uint32_t at = 32; starts.size() < count; at = 32 + (at + 733) % (6 << 20))
    starts.push_back(at);
  if (shuffled) std::shuffle(starts.begin(), starts.end(), random);
  std::vector<CChunkPlan> data;
  Bytes newData;
  for (uint32_t start : starts) {
    const uint32_t size = 1 + random() % 700;
    data.push_back(CChunkPlan::Copy(start, size));
    newData.insert(newData.end(), old.begin() + start, old.begin() + start + size);
    Bytes fresh = RandomBytes(random() % 5, random());
    newData.insert(newData.end(), fresh.begin(), fresh.end());
    if (!fresh.empty()) data.push_back(CChunkPlan::Payload(fresh));
  }
  const uint32_t tail = 3 << 20;
  data.push_back(CChunkPlan::Copy(static_cast<uint32_t>(old.size() - tail), tail));
  newData.insert(newData.end(), old.end() - tail, old.end());

  const CPackageImage newPackage = MakePackage(newData, {RandomBytes(60, 8)});
  made.newBytes = newPackage.bytes;
  made.entry.name = "many.pkg";
  made.entry.digestBefore = IndexDigest(made.oldPackage);
  made.entry.digestAfter = IndexDigest(newPackage);
  made.entry.chunks.push_back(
      CChunkPlan::Payload(Bytes(made.newBytes.begin(), made.newBytes.begin() + 32)));
  made.entry.chunks.insert(made.entry.chunks.end(), data.begin(), data.end());
  made.entry.chunks.push_back(CChunkPlan::Payload(
      Bytes(made.newBytes.begin() + 32 + static_cast<std::ptrdiff_t>(newData.size()),
            made.newBytes.end())));
  return made;
}

void Install(const CManyChunks& made, const CTempFolder& folder, size_t keep) {
  WriteWholeFile(folder / made.entry.name,
                 Bytes(made.oldPackage.bytes.begin(),
                       made.oldPackage.bytes.begin() + static_cast<std::ptrdiff_t>(keep)));
}
}  // namespace

TEST(ManyChunks, AHundredThousandChunksInOrderOrShuffledRebuildTheNewBytes) {
  for (bool shuffled : {false, true}) {
    ResetTestHost();
    const CManyChunks made = MakeManyChunks(100000, shuffled);
    CTempFolder folder;
    Install(made, folder, made.oldPackage.bytes.size());
    const Bytes container = BuildContainer({made.entry});
    CRunOutcome run = RunWorker(container, folder.Path());
    EXPECT_EQ(run.results, std::vector<uintptr_t>{1}) << run.status;
    EXPECT_TRUE(ReadWholeFile(folder / made.entry.name) == made.newBytes) << shuffled;
  }
}

TEST(ManyChunks, AnInstalledFileCutShortInsideAReadAheadIsAnotherVersion) {
  ResetTestHost();
  CManyChunks made = MakeManyChunks(2000, false);
  made.entry.digestBefore.clear();  // not checked first: the copies meet the cut
  CTempFolder folder;
  // The copies reach 32 + 2000 * 733 bytes; cut in the middle of them.
  Install(made, folder, 700000);
  const Bytes container = BuildContainer({made.entry});
  CRunOutcome run = RunWorker(container, folder.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{0});
  EXPECT_NE(run.status.find("many.pkg: not the version this patch expects"), std::string::npos)
      << run.status;
  EXPECT_EQ(ReadWholeFile(folder / made.entry.name).size(), 700000u) << "the file is kept";
  EXPECT_TRUE(NoWorkingFilesLeft(folder.Path()));
}
