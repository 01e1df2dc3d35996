// A failed run says on the status line which file could not be patched and
// why, in words the player can act on; files in use are waited for.
#include "engine/failure_reason.h"

#include <gtest/gtest.h>

#include <chrono>

#include "engine/in_use_wait.h"
#include "tests/support/fault_hook.h"
#include "tests/support/release_runs.h"

namespace {
const Bytes kNew = TextBytes("new settings");

class FailureReason : public testing::Test {
 protected:
  void SetUp() override {
    ResetTestHost();
    WriteWholeFile(folder / "setup.ini", TextBytes("old settings"));
    container = BuildContainer({ArchiveEntry("setup.ini", kNew, true)});
  }

  // One run with `fault` at every operation `op`.
  CRunOutcome RunWith(platform::FileOp op, platform::Fault fault) {
    CScopedFaultHook hook([&](platform::FileOp o, const std::string&) {
      return o == op ? fault : platform::Fault::None;
    });
    return RunWorker(container, folder.Path());
  }

  CTempFolder folder;
  Bytes container;
};
}  // namespace

TEST_F(FailureReason, TheStatusLineNamesTheFileAndTheCause) {
  struct CCase {
    platform::FileOp op;
    platform::Fault fault;
    const char* status;
  };
  const CCase cases[] = {
      {platform::FileOp::Create, platform::Fault::AccessDenied,
       "setup.ini: no write permission in the game folder"},
      {platform::FileOp::Write, platform::Fault::ShortWrite, "setup.ini: not enough disk space"},
      {platform::FileOp::Flush, platform::Fault::Error, "setup.ini: the disk reported an error"},
      {platform::FileOp::Replace, platform::Fault::Error, "setup.ini: the disk reported an error"},
  };
  for (const CCase& c : cases) {
    SCOPED_TRACE(platform::FileOpName(c.op));
    CRunOutcome run = RunWith(c.op, c.fault);
    EXPECT_EQ(run.results, std::vector<uintptr_t>{0});
    EXPECT_EQ(run.status, c.status);
  }
}

// Out of memory anywhere on the worker's thread (here while a working file is
// made) ends the run with its reason, the installed file as it was.
TEST_F(FailureReason, RunningOutOfMemoryEndsTheRunWithAReason) {
  CScopedFaultHook hook([](platform::FileOp op, const std::string&) -> platform::Fault {
    if (op == platform::FileOp::Write) throw std::bad_alloc();
    return platform::Fault::None;
  });
  CRunOutcome run = RunWorker(container, folder.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{0});
  EXPECT_EQ(run.status,
            "Not enough memory to patch the game; close other programs and run the patch again");
  EXPECT_EQ(ReadWholeFile(folder / "setup.ini"), TextBytes("old settings"));
  EXPECT_TRUE(NoWorkingFilesLeft(folder.Path()));
}

TEST_F(FailureReason, AMissingOrOtherPackageDeclinedIsNamed) {
  CPackagePair a = MakePackagePair("a.pkg", 50);
  CPackagePair b = MakePackagePair("b.pkg", 51);
  WriteWholeFile(folder / "b.pkg", MakePackagePair("b.pkg", 52).oldPackage.bytes);
  Bytes packages = BuildContainer({DeltaEntry(a), DeltaEntry(b)});
  CRunOutcome missing = RunWorker(packages, folder.Path());
  EXPECT_EQ(missing.results, std::vector<uintptr_t>{0});
  EXPECT_EQ(missing.status, "a.pkg: the installed file is missing");

  WriteWholeFile(folder / "a.pkg", a.oldPackage.bytes);
  CRunOutcome other = RunWorker(packages, folder.Path());
  EXPECT_EQ(other.status, "b.pkg: not the version this patch expects");
}

TEST_F(FailureReason, DamagedPatchDataSaysSo) {
  container.pop_back();
  CRunOutcome run = RunWorker(container, folder.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{0});
  EXPECT_EQ(run.status, "The patch data is damaged; download the patch again");
  EXPECT_NE(run.detail, "");  // and what is damaged
}

TEST_F(FailureReason, AFileInUseForAMomentIsWaitedFor) {
  // Another program holds the installed file for the first three attempts.
  int refusals = 0;
  CScopedFaultHook hook([&](platform::FileOp op, const std::string&) {
    if (op != platform::FileOp::Replace || refusals == 3) return platform::Fault::None;
    ++refusals;
    return platform::Fault::InUse;
  });
  auto started = std::chrono::steady_clock::now();
  CRunOutcome run = RunWorker(container, folder.Path());
  auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(run.results, std::vector<uintptr_t>{1});
  EXPECT_EQ(ReadWholeFile(folder / "setup.ini"), kNew);
  EXPECT_EQ(refusals, 3);
  EXPECT_GE(waited, std::chrono::milliseconds(3 * kInUseRetryMs));
}

TEST(InUseWait, SaysWhatItWaitsForThenGivesUpAfterTheWholeWait) {
  CPatchProgress progress;
  progress.SetStatusText("Patch setup.ini ");
  std::vector<std::string> seen;
  auto started = std::chrono::steady_clock::now();
  platform::FileError error = RetryWhileInUse(progress, "setup.ini", CInUseErrors::kSharing, [&] {
    seen.push_back(progress.GetStatusText());
    return platform::FileError::kInUse;
  });
  auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(error, platform::FileError::kInUse);
  EXPECT_GE(waited, std::chrono::milliseconds(kInUseWaitMs));
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[1], "Waiting for setup.ini: in use by another program");
  EXPECT_EQ(progress.GetStatusText(), "Patch setup.ini ");
}

TEST(InUseWait, OtherFailuresAreNotRetried) {
  CPatchProgress progress;
  int attempts = 0;
  for (CInUseErrors kind : {CInUseErrors::kSharing, CInUseErrors::kSharingOrDenied}) {
    attempts = 0;
    EXPECT_EQ(RetryWhileInUse(progress, "x", kind,
                              [&] {
                                ++attempts;
                                return platform::FileError::kDiskFull;
                              }),
              platform::FileError::kDiskFull);
    EXPECT_EQ(attempts, 1);
  }
  attempts = 0;
  RetryWhileInUse(progress, "x", CInUseErrors::kSharing, [&] {
    ++attempts;
    return platform::FileError::kAccessDenied;
  });
  EXPECT_EQ(attempts, 1);  // a refused permission is no reason to wait
}
