// The POSIX file layer on real files: a replaced file keeps the installed
// file's mode, a new one gets the usual mode under the umask, each folder is
// synced once a commit, and a folder that cannot be synced fails what
// depends on it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <utility>

#include "tests/support/fault_hook.h"
#include "tests/support/release_runs.h"

namespace {
mode_t ModeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class FilePosix : public testing::Test {
 protected:
  void SetUp() override { ResetTestHost(); }
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

TEST_F(FilePosix, TheCommitSyncsEachFolderOnceAfterItsLastFile) {
  std::vector<std::pair<platform::FileOp, std::string>> ops;
  CScopedFaultHook hook([&](platform::FileOp op, const std::string& path) {
    if (op == platform::FileOp::Replace || op == platform::FileOp::SyncFolder)
      ops.emplace_back(op, path);
    return platform::Fault::None;
  });
  Bytes container = BuildContainer({WholeEntry("a.pkg", RandomBytes(50, 5)),
                                    WholeEntry("b.pkg", RandomBytes(50, 6)),
                                    WholeEntry("new/deep/c.pkg", RandomBytes(50, 7)),
                                    WholeEntry("new/deep/d.pkg", RandomBytes(50, 8))});
  ASSERT_EQ(RunWorker(container, folder.Path()).results, std::vector<uintptr_t>{1});

  const std::string root = folder.Path().substr(0, folder.Path().size() - 1);
  std::map<std::string, int> syncs;
  size_t lastReplace = 0;
  for (size_t i = 0; i < ops.size(); ++i) {
    if (ops[i].first == platform::FileOp::SyncFolder)
      ++syncs[ops[i].second];
    else
      lastReplace = i;
  }
  // The folders of the files, and those that hold the new folders.
  const std::map<std::string, int> once = {{root, 1}, {root + "/new", 1}, {root + "/new/deep", 1}};
  EXPECT_EQ(syncs, once);
  EXPECT_EQ(lastReplace, 3u) << "every file is moved in before any folder is synced";
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
