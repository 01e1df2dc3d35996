// The builder's files meet the file layer's seams in process, as the
// patcher's do: a folder it may not read (root can make none), inputs that
// another program changes while they are mapped, and the folder sync after
// the release is moved over an earlier one. A refused build names the file
// and leaves the outputs as they were, not even its hidden temporary file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "builder/build_release.h"
#include "builder/release_limits.h"
#include "platform/file_faults.h"
#include "platform/interrupt_cleanup.h"
#include "tests/builder/game_support.h"
#include "tests/support/fault_hook.h"
#include "tests/support/temp_folder.h"

namespace {
using platform::Fault;
using platform::FileOp;

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

struct CGame {
  CGame() {
    const CPackageVersions package = MakePackageVersions(3, 400000);
    WriteWholeFile(root / "old/maps/b.pkg", package.old);
    WriteWholeFile(root / "new/maps/b.pkg", package.latest);
    Bytes movie = RandomBytes(300000, 4);
    WriteWholeFile(root / "old/movie.bik", movie);
    movie[1000] ^= 1;
    WriteWholeFile(root / "new/movie.bik", movie);
    WriteWholeFile(root / "work/release.qpd", TextBytes("an earlier release"));
  }

  bool Build(std::string& why) {
    CBuildOptions options;
    options.operands = {root / "old", root / "new"};
    options.releasePath = root / "work/release.qpd";
    options.force = true;
    CProgressBar silent(CProgressBar::CMode::kSilent);
    CBuiltRelease built;
    return BuildRelease(options, kReleaseSizeLimit, silent, built, &why);
  }

  void ExpectOutputsUntouched() {
    EXPECT_EQ(ReadWholeFile(root / "work/release.qpd"), TextBytes("an earlier release"));
    EXPECT_EQ(ListFiles(root / "work"), std::vector<std::string>{"release.qpd"});
  }

  CTempFolder root;
};

// Changes `path` under its live mapping, as another program would, once.
void ChangeInPlace(const std::string& path, bool shrink) {
  struct stat before;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  if (shrink) {
    ASSERT_EQ(truncate(path.c_str(), before.st_size / 2), 0);
    return;
  }
  Bytes bytes = ReadWholeFile(path);
  bytes[bytes.size() / 2] ^= 0xFF;
  WriteWholeFile(path, bytes);
  // The modification time set back, as some tools do; the change time moves.
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}
}  // namespace

TEST(BuilderFileSeams, AnUnreadableSubfolderIsNamedWithTheSystemsReason) {
  CGame game;
  CScopedFaultHook unreadable([](FileOp op, const std::string& path) {
    return op == FileOp::ListFolder && EndsWith(path, "/new/maps") ? Fault::AccessDenied
                                                                   : Fault::None;
  });
  std::string why;
  EXPECT_FALSE(game.Build(why));
  EXPECT_NE(why.find("new/maps: cannot read the folder: Permission denied"), std::string::npos)
      << why;
  game.ExpectOutputsUntouched();
}

TEST(BuilderFileSeams, AnInputEditedInPlaceWhileMappedIsNamed) {
  for (const char* file : {"new/maps/b.pkg", "new/movie.bik", "old/maps/b.pkg"}) {
    SCOPED_TRACE(file);
    CGame game;
    const std::string path = game.root / std::string(file);
    bool changed = false;
    CScopedFaultHook edit([&](FileOp op, const std::string& mapped) {
      if (op == FileOp::Map && mapped == path && !changed) {
        changed = true;
        ChangeInPlace(path, false);
      }
      return Fault::None;
    });
    std::string why;
    EXPECT_FALSE(game.Build(why));
    EXPECT_TRUE(changed);
    EXPECT_NE(why.find(path + ": the file changed while the release was being built"),
              std::string::npos)
        << why;
    game.ExpectOutputsUntouched();
  }
}

// A shrunk mapping faults when read past its new end; the builder names the
// file and ends, so this runs in a child process.
TEST(BuilderFileSeamsDeathTest, AnInputThatShrinksWhileMappedIsNamedNotABusError) {
  GTEST_FLAG_SET(death_test_style, "fast");
  for (const char* file : {"new/maps/b.pkg", "new/movie.bik", "old/movie.bik"}) {
    SCOPED_TRACE(file);
    CGame game;
    const std::string path = game.root / std::string(file);
    EXPECT_EXIT(
        {
          CScopedFaultHook shrink([&](FileOp op, const std::string& mapped) {
            if (op == FileOp::Map && mapped == path) ChangeInPlace(path, true);
            return Fault::None;
          });
          std::string why;
          game.Build(why);
          std::fprintf(stderr, "%s\n", why.c_str());
          std::exit(2);
        },
        testing::ExitedWithCode(1), path + ": the file shrank while the release was being built");
    game.ExpectOutputsUntouched();
  }
}

// A power cut after the move must not bring the earlier release back.
TEST(BuilderFileSeams, TheFolderIsSyncedAfterTheReleaseIsMovedOverTheEarlierOne) {
  CGame game;
  std::vector<platform::CFileEvent> events;
  platform::SetFileRecordHook(
      [](const platform::CFileEvent& event, void* context) {
        static_cast<std::vector<platform::CFileEvent>*>(context)->push_back(event);
      },
      &events);
  std::string why;
  const bool built = game.Build(why);
  platform::SetFileRecordHook(nullptr, nullptr);
  ASSERT_TRUE(built) << why;

  const std::string release = game.root / "work/release.qpd";
  const auto moved = std::find_if(events.begin(), events.end(), [&](const platform::CFileEvent& e) {
    return e.op == FileOp::Replace && e.to == release;
  });
  ASSERT_NE(moved, events.end());
  const bool synced = std::any_of(moved + 1, events.end(), [&](const platform::CFileEvent& e) {
    return e.op == FileOp::SyncFolder && e.path == game.root / "work";
  });
  EXPECT_TRUE(synced) << "no sync of the work folder after the move";
}

// Ctrl+C at any moment of a build, its check included: every scratch file and
// folder goes and the earlier release stays. The interrupt is raised from a
// file operation, which then waits for the end as the rest of the build
// would go on.
TEST(BuilderFileSeamsDeathTest, AnInterruptAtAnyMomentLeavesNothingBehind) {
  GTEST_FLAG_SET(death_test_style, "fast");
  const struct {
    const char* moment;
    FileOp op;
    const char* path;  // a part of the operation's path
  } moments[] = {
      {"listing the new folder", FileOp::ListFolder, "/new/maps"},
      {"reading a new file", FileOp::Map, "/new/movie.bik"},
      {"writing the container", FileOp::Write, "/.release.qpd."},
      {"checking in the scratch folder", FileOp::Create, "/.qelpatch-verify-"},
      {"before the release is moved", FileOp::Replace, "/work/release.qpd"},
  };
  for (const auto& moment : moments) {
    SCOPED_TRACE(moment.moment);
    CGame game;
    EXPECT_EXIT(
        {
          // As the builder's main does first.
          InstallInterruptCleanup();
          CScopedFaultHook interrupt([&](FileOp op, const std::string& path) {
            if (op == moment.op && path.find(moment.path) != std::string::npos) {
              kill(getpid(), SIGINT);
              for (;;) pause();
            }
            return Fault::None;
          });
          std::string why;
          game.Build(why);
          std::exit(0);
        },
        testing::KilledBySignal(SIGINT), "");
    game.ExpectOutputsUntouched();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(game.root / "work"),
                            std::filesystem::directory_iterator()),
              1);
  }
}
