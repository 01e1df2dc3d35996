// The POSIX file layer on real files: a replaced file keeps the installed
// file's mode, a new one gets the usual mode under the umask, and a folder
// that cannot be synced fails what depends on it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/fault_hook.h"
#include "tests/support/release_runs.h"

namespace {
mode_t ModeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class FilePosix : public testing::Test {
 protected:
  void SetUp() override { ResetTestUser(); }
  CTempFolder folder;
};
}  // namespace

TEST_F(FilePosix, PatchedFilesKeepTheirModeAndNewFilesGetTheUsualOne) {
  WriteWholeFile(folder / "start.sh", TextBytes("#!/bin/sh\necho old\n"));
  WriteWholeFile(folder / "private.ini", TextBytes("secret=1\n"));
  ::chmod((folder / "start.sh").c_str(), 0755);
  ::chmod((folder / "private.ini").c_str(), 0640);
  Bytes container = BuildContainer({ArchiveEntry("new.txt", TextBytes("n"), false),
                                    ArchiveEntry("private.ini", TextBytes("secret=2\n"), false),
                                    ArchiveEntry("start.sh", TextBytes("echo new\n"), true)});
  const mode_t mask = ::umask(027);
  CRunOutcome run = RunWorker(container, folder.Path());
  ::umask(mask);
  ASSERT_EQ(run.results, std::vector<uintptr_t>{1}) << run.status;
  EXPECT_EQ(ModeOf(folder / "start.sh"), 0755u);
  EXPECT_EQ(ModeOf(folder / "private.ini"), 0640u);
  EXPECT_EQ(ModeOf(folder / "new.txt"), 0640u);  // 0666 under the umask 027
}

TEST_F(FilePosix, AFolderThatCannotBeSyncedFailsTheInstall) {
  for (const char* name : {"new/folder/x.pkg", "top.pkg"}) {
    CTempFolder game;
    CScopedFaultHook hook([](platform::FileOp op, const std::string&) {
      return op == platform::FileOp::SyncFolder ? platform::Fault::Error : platform::Fault::None;
    });
    CRunOutcome run =
        RunWorker(BuildContainer({WholeEntry(name, RandomBytes(60, 3))}), game.Path());
    EXPECT_EQ(run.results, std::vector<uintptr_t>{0}) << name;
    EXPECT_EQ(run.status, std::string(name) + ": the disk reported an error");
  }
}
