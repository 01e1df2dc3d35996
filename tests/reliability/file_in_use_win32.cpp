// Windows only: an installed package held open by another handle that shares
// reading but neither writing nor deleting, as a virus scanner or the game's
// launcher holds it, while the worker commits. The replace waits at least ten
// seconds for it, saying so on the status line.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/in_use_wait.h"
#include "platform/win32/windows_api.h"
#include "tests/reliability/reliability_support.h"
#include "tests/support/fault_hook.h"

namespace {
HANDLE Hold(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

class FileInUse : public testing::Test {
 protected:
  void SetUp() override {
    ResetTestHost();
    release_ = MakeRepresentativeRelease(20000, 55);
    InstallOldVersion(release_, folder_.Path());
  }

  CRelease release_;
  CTempFolder folder_;
};
}  // namespace

TEST_F(FileInUse, HeldPackageStaysIntactItsTemporaryGoesAndTheRunFails) {
  HANDLE held = Hold(folder_ / "a.pkg");
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DWORD started = GetTickCount();
  CRunOutcome run = RunWorker(release_.container, folder_.Path());
  DWORD waited = GetTickCount() - started;
  CloseHandle(held);

  EXPECT_EQ(run.results, std::vector<uintptr_t>{0});
  EXPECT_GE(waited, kInUseWaitMs);
  // Windows reports the held target as a sharing violation or as access
  // denied, Wine as the latter.
  EXPECT_TRUE(run.status == "a.pkg: in use by another program" ||
              run.status == "a.pkg: in use by another program or write-protected")
      << run.status;
  EXPECT_EQ(ReadWholeFile(folder_ / "a.pkg"), release_.files[0].oldBytes);
  CFolderState state = JudgeFolder(release_, folder_.Path());
  EXPECT_TRUE(state.problems.empty()) << state.problems.front();
  EXPECT_TRUE(state.workingFiles.empty()) << state.workingFiles.front();
  EXPECT_EQ(state.newCount, release_.files.size() - 1);  // every other file installed
}

TEST_F(FileInUse, PackageLetGoWithinAMomentIsReplacedAfterAll) {
  const std::string path = folder_ / "a.pkg";
  HANDLE held = Hold(path);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread letGo;
  CRunOutcome run;
  {
    // The holder lets go three seconds after the replace of the package begins.
    CScopedFaultHook hook([&](platform::FileOp op, const std::string& opPath) {
      if (op == platform::FileOp::Replace && opPath == path && !letGo.joinable())
        letGo = std::thread([held] {
          std::this_thread::sleep_for(std::chrono::milliseconds(3000));
          CloseHandle(held);
        });
      return platform::Fault::None;
    });
    run = RunWorker(release_.container, folder_.Path());
  }
  ASSERT_TRUE(letGo.joinable());
  letGo.join();

  EXPECT_EQ(run.results, std::vector<uintptr_t>{1});
  CFolderState state = JudgeFolder(release_, folder_.Path());
  EXPECT_TRUE(state.AllNew(release_));
  EXPECT_TRUE(state.workingFiles.empty());
}

// A read-only installed file: Windows refuses to replace it, so the attribute
// is cleared for the replace, and the new file is read-only again.
TEST_F(FileInUse, ReadOnlyInstalledFilesArePatchedAndStayReadOnly) {
  for (const CReleaseFile& file : release_.files) {
    if (!file.installed) continue;
    std::string path = folder_ / file.name;
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY)) << file.name;
  }
  CRunOutcome run = RunWorker(release_.container, folder_.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{1}) << run.status;
  CFolderState state = JudgeFolder(release_, folder_.Path());
  EXPECT_TRUE(state.AllNew(release_));
  for (const CReleaseFile& file : release_.files) {
    std::string path = folder_ / file.name;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (file.installed) {
      EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY) << file.name;
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}
