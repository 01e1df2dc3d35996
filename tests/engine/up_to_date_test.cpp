// A file already in its new state is left alone, for every kind of entry, so
// a second run on a finished game completes without a question; an installed
// file of another version is never taken for the new one.
#include <gtest/gtest.h>

#include <set>

#include "engine/local_file_reader.h"
#include "tests/support/fault_hook.h"
#include "tests/support/release_runs.h"
#include "tests/support/zip_maker.h"

namespace {
// Counts the operations of a run that change something on the disk.
struct CChanges {
  std::multiset<platform::FileOp> ops;
  platform::Fault operator()(platform::FileOp op, const std::string&) {
    if (op == platform::FileOp::Create || op == platform::FileOp::Write ||
        op == platform::FileOp::Replace || op == platform::FileOp::Delete ||
        op == platform::FileOp::CreateFolder)
      ops.insert(op);
    return platform::Fault::None;
  }
};

// Old movie, new movie with ten bytes inserted at the middle, and the entry
// that stores the new one with the rest copied from the installed file.
struct CMovie {
  Bytes before = RandomBytes(1 << 20, 31);
  Bytes inserted = RandomBytes(10, 32);
  Bytes after;
  CEntryPlan entry;
  CMovie() {
    const uint32_t cut = 500000;
    after.assign(before.begin(), before.begin() + cut);
    after.insert(after.end(), inserted.begin(), inserted.end());
    after.insert(after.end(), before.begin() + cut, before.end());
    entry =
        StoredWithCopiesEntry("movie.bik", after,
                              {CChunkPlan::Copy(0, cut), CChunkPlan::Payload(inserted),
                               CChunkPlan::Copy(cut, static_cast<uint32_t>(before.size()) - cut)});
  }
};

class UpToDate : public testing::Test {
 protected:
  void SetUp() override { ResetTestHost(); }

  CRunOutcome RunCountingChanges(const Bytes& container, CChanges& changes) {
    CScopedFaultHook hook(std::ref(changes));
    return RunWorker(container, folder.Path());
  }

  CTempFolder folder;
};
}  // namespace

TEST_F(UpToDate, SecondRunOnAFinishedGameChangesNothingForAnyEntryKind) {
  CPackagePair delta = MakePackagePair("data/a.pkg", 33);
  Bytes whole = MakePackage(RandomBytes(5000, 34), {TextBytes("w")}).bytes;
  const Bytes deflated = TextBytes(std::string(3000, 'd') + "deflated settings\n");
  const Bytes stored = RandomBytes(2000, 35);
  CMovie movie;
  WriteWholeFile(folder / "data/a.pkg", delta.oldPackage.bytes);
  WriteWholeFile(folder / "movie.bik", movie.before);
  Bytes container =
      BuildContainer({DeltaEntry(delta), WholeEntry("whole.pkg", whole),
                      ArchiveEntry("conf/setup.ini", deflated, true),
                      ArchiveEntry("new/folder/readme.txt", stored, false), movie.entry});
  ASSERT_EQ(RunWorker(container, folder.Path()).results, std::vector<uintptr_t>{1});
  ASSERT_EQ(ReadWholeFile(folder / "movie.bik"), movie.after);

  CChanges changes;
  CRunOutcome again = RunCountingChanges(container, changes);
  EXPECT_EQ(again.results, std::vector<uintptr_t>{1});
  EXPECT_TRUE(again.questions.empty());
  EXPECT_TRUE(changes.ops.empty()) << changes.ops.size() << " changing operations";
  EXPECT_EQ(ReadWholeFile(folder / "movie.bik"), movie.after);
  EXPECT_EQ(ReadWholeFile(folder / "whole.pkg"), whole);
  EXPECT_EQ(ReadWholeFile(folder / "conf/setup.ini"), deflated);
  EXPECT_EQ(ReadWholeFile(folder / "new/folder/readme.txt"), stored);
  EXPECT_EQ(ReadWholeFile(folder / "data/a.pkg"), delta.newPackage.bytes);
}

TEST_F(UpToDate, AStoredFileWithCopiesInstalledBeforeAnInterruptionIsKept) {
  CMovie movie;
  CPackagePair later = MakePackagePair("z.pkg", 36);
  // The run before got as far as the movie, then stopped.
  WriteWholeFile(folder / "movie.bik", movie.after);
  WriteWholeFile(folder / "z.pkg", later.oldPackage.bytes);
  CRunOutcome run = RunWorker(BuildContainer({movie.entry, DeltaEntry(later)}), folder.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{1}) << run.status;
  EXPECT_EQ(ReadWholeFile(folder / "movie.bik"), movie.after);
  EXPECT_EQ(ReadWholeFile(folder / "z.pkg"), later.newPackage.bytes);
}

// Files of the new size that are not the new version are rebuilt (or, when
// the rebuild needs the old version, refused), never left as they are.
TEST_F(UpToDate, AnotherVersionOfTheSameSizeIsNotTakenForTheNewOne) {
  CMovie movie;
  Bytes otherMovie = movie.after;
  otherMovie[100] ^= 1;  // a byte that the patch data copies, not carries
  Bytes whole = RandomBytes(4000, 37);
  Bytes otherWhole = whole;
  otherWhole[3999] ^= 1;
  const Bytes deflated = RandomBytes(3000, 38);
  Bytes otherDeflated = deflated;
  otherDeflated[0] ^= 1;
  WriteWholeFile(folder / "movie.bik", otherMovie);
  WriteWholeFile(folder / "whole.pkg", otherWhole);
  WriteWholeFile(folder / "setup.ini", otherDeflated);
  CRunOutcome run = RunWorker(BuildContainer({movie.entry, WholeEntry("whole.pkg", whole),
                                              ArchiveEntry("setup.ini", deflated, true)}),
                              folder.Path());
  // The movie is rebuilt from the wrong bytes, and its CRC-32 refuses it.
  EXPECT_EQ(run.results, std::vector<uintptr_t>{0});
  EXPECT_EQ(run.status, "movie.bik: not the version this patch expects");
  EXPECT_EQ(ReadWholeFile(folder / "movie.bik"), otherMovie);
  // Nothing is installed while one file cannot be made.
  EXPECT_EQ(ReadWholeFile(folder / "whole.pkg"), otherWhole);
  EXPECT_EQ(ReadWholeFile(folder / "setup.ini"), otherDeflated);
}

TEST_F(UpToDate, EntriesNamedXAndXZipAreBothPatched) {
  const Bytes x = TextBytes("the file X, new"), xzip = RandomBytes(3000, 39);
  WriteWholeFile(folder / "X", TextBytes("the file X, old"));
  WriteWholeFile(folder / "X.zip", RandomBytes(2000, 40));
  Bytes container =
      BuildContainer({ArchiveEntry("X", x, true), ArchiveEntry("X.zip", xzip, false)});
  for (int run = 1; run <= 2; ++run) {
    CRunOutcome outcome = RunWorker(container, folder.Path());
    EXPECT_EQ(outcome.results, std::vector<uintptr_t>{1})
        << "run " << run << ": " << outcome.status;
    EXPECT_EQ(ReadWholeFile(folder / "X"), x);
    EXPECT_EQ(ReadWholeFile(folder / "X.zip"), xzip);
    EXPECT_TRUE(NoWorkingFilesLeft(folder.Path()));
  }
}

TEST_F(UpToDate, AHeldLeftoverWorkingFileDoesNotCostTheVerifiedFile) {
  const Bytes content = RandomBytes(5000, 41);
  WriteWholeFile(folder / "setup.ini", TextBytes("old"));
  Bytes container = BuildContainer({ArchiveEntry("setup.ini", content, true)});
  // An earlier run's working archive, which a scanner holds for the whole run.
  const std::string held = folder / ".temp_setup.ini";
  WriteWholeFile(held, TextBytes("left over"));
  CRunOutcome run;
  {
    CScopedFaultHook hook([&](platform::FileOp op, const std::string& path) {
      return op == platform::FileOp::Delete && path == held ? platform::Fault::InUse
                                                            : platform::Fault::None;
    });
    run = RunWorker(container, folder.Path());
  }
  EXPECT_EQ(run.results, std::vector<uintptr_t>{1});
  EXPECT_EQ(ReadWholeFile(folder / "setup.ini"), content);
  EXPECT_TRUE(PathExists(held));

  // The next run finds the file new and removes what was left.
  CRunOutcome again = RunWorker(container, folder.Path());
  EXPECT_EQ(again.results, std::vector<uintptr_t>{1});
  EXPECT_TRUE(NoWorkingFilesLeft(folder.Path()));
}

// The installed bytes a release reads at the comparison and in the run are
// read whole, or a block at a time from a file too large to hold, not once
// per copy: under Wine each read of a file is a call to its server, and
// recompiled code makes copies by the hundred thousand.
TEST_F(UpToDate, ManySmallCopiesCostFewReadsOfTheInstalledFile) {
  const struct {
    uint32_t size;  // of the installed file, whose first MiB the copies read
    uint32_t reads;
  } cases[] = {
      // Held whole: read once to tell whether it is new already, once for its
      // copies at the comparison, and once in the run.
      {1 << 20, 3},
      // Too large to hold: 65 reads to tell whether it is new, then 16 of the
      // reader's blocks at the comparison and again in the run.
      {CLocalFileReader::kWholeSize + (1 << 20), 100},
  };
  for (const auto& c : cases) {
    Bytes before = RandomBytes(1 << 20, 37);
    Bytes after = before;
    std::vector<CChunkPlan> pieces;
    for (uint32_t at = 0; at < before.size(); at += 512) {
      after[at + 511] ^= 1;
      pieces.push_back(CChunkPlan::Copy(at, 511));
      pieces.push_back(CChunkPlan::Payload(Bytes{after[at + 511]}));
    }
    before.resize(c.size);
    WriteWholeFile(folder / "movie.bik", before);
    const Bytes release =
        BuildRelease({StoredWithCopiesEntry("movie.bik", after, pieces)}, {{&before, after}});
    uint32_t reads = 0;
    CScopedFaultHook hook([&](platform::FileOp op, const std::string& path) {
      if (op == platform::FileOp::Read && path == folder / "movie.bik") ++reads;
      return platform::Fault::None;
    });
    const CRunOutcome run = RunWorker(release, folder.Path());
    EXPECT_EQ(run.results, std::vector<uintptr_t>{1}) << run.status;
    EXPECT_EQ(ReadWholeFile(folder / "movie.bik"), after);
    // 2,048 copies.
    EXPECT_LE(reads, c.reads) << c.size;
  }
}
