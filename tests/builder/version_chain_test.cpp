// One release for three versions of a game, built by qelpatch-build from
// the three folders and applied by the Linux patcher from each of them.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/builder/command_support.h"
#include "tests/builder/game_support.h"
#include "tests/support/temp_folder.h"

namespace {
const char* const kVersions[] = {"1.0", "1.1", "1.2"};

// Packages, a large file, settings, files and folders added and dropped:
// 1.0 -> 1.1 -> 1.2, a package the same in 1.1 and 1.2 and another the same
// in 1.0 and 1.1.
struct CThreeVersions {
  CTempFolder root;
  std::string Folder(int v) const { return root / kVersions[v]; }
  std::string Release() const { return root / "release.qpd"; }

  CThreeVersions() {
    const CPackageVersions map = MakePackageVersions(31);
    const CPackageVersions sound = MakePackageVersions(32);
    Bytes movie = RandomBytes(300000, 33);
    for (int v = 0; v < 3; ++v) {
      const std::string at = Folder(v) + "/";
      WriteWholeFile(at + "data/map.pkg", v == 0 ? map.old : map.latest);
      WriteWholeFile(at + "data/sound.pkg", v < 2 ? sound.old : sound.latest);
      if (v == 1) movie[1000] ^= 0x55;
      if (v == 2) movie.insert(movie.begin() + 200000, 64, 'x');
      WriteWholeFile(at + "movie.bik", movie);
      WriteWholeFile(at + "config/game.ini", TextOfSize(300 + 10 * v, 34 + v));
    }
    WriteWholeFile(Folder(0) + "/bin/dropped.dll", RandomBytes(90000, 40));
    WriteWholeFile(Folder(0) + "/old/sub/x.dat", RandomBytes(100, 41));
    WriteWholeFile(Folder(1) + "/later-dropped.bin", RandomBytes(80000, 42));
    WriteWholeFile(Folder(2) + "/new/in-1.2.txt", TextOfSize(50, 43));
  }

  // A copy of version `v` with a file of the player's own, as players have.
  std::string Game(int v, const std::string& name) const {
    const std::string game = root / name;
    std::filesystem::copy(Folder(v), game, std::filesystem::copy_options::recursive);
    WriteWholeFile(game + "/screenshots/mine.png", RandomBytes(5000, 44));
    return game;
  }
};
}  // namespace

TEST(VersionChain, EveryServedVersionBecomesTheNewOneAndAnotherIsToldAndLeftAlone) {
  CThreeVersions game;
  CCommandResult build =
      RunBuilder({game.Folder(0), game.Folder(1), game.Folder(2), "-o", game.Release(), "-q"});
  ASSERT_EQ(build.exitCode, 0) << build.err;
  CCommandResult show = RunBuilder({"--show", game.Release()});
  for (const char* line : {"a release of 2 steps to version 1.2", "serves 1.0: 2 steps",
                           "serves 1.1: 1 step", "versions: 1.0 to 1.1", "versions: 1.1 to 1.2"})
    EXPECT_NE(show.out.find(line), std::string::npos) << line << "\n" << show.out;
  std::vector<std::pair<std::string, Bytes>> wanted = FolderContents(game.Folder(2));
  wanted.push_back({"screenshots/mine.png", RandomBytes(5000, 44)});
  std::sort(wanted.begin(), wanted.end());
  for (int v = 0; v < 3; ++v) {
    const std::string folder = game.Game(v, std::string("from-") + kVersions[v]);
    for (int run = 0; run < 2; ++run) {
      CCommandResult patch = RunPatcher(game.Release(), folder + "/");
      EXPECT_EQ(patch.exitCode, 0) << kVersions[v] << ": " << patch.out;
      EXPECT_TRUE(FolderContents(folder) == wanted) << kVersions[v] << " run " << run;
    }
  }
  // 1.0 with a large file of another size is no version the release serves.
  const std::string other = game.Game(0, "other");
  WriteWholeFile(other + "/movie.bik", RandomBytes(299999, 45));
  const auto before = FolderContents(other);
  CCommandResult patch = RunPatcher(game.Release(), other + "/");
  EXPECT_EQ(patch.exitCode, 1);
  EXPECT_NE(patch.err.find("This patch updates version 1.0 or 1.1 to 1.2; the game folder holds "
                           "another version"),
            std::string::npos)
      << patch.err;
  EXPECT_TRUE(FolderContents(other) == before);
  CCommandResult verify =
      RunBuilder({"--verify", game.Folder(0), game.Folder(1), game.Folder(2), game.Release()});
  EXPECT_EQ(verify.exitCode, 0) << verify.err;
}

#ifdef QELPATCH_KILLABLE
// Each step is installed whole before the next begins: a kill between them
// leaves the game at 1.1 exactly, and any kill is made good by a second run.
TEST(VersionChain, AKillBetweenTheStepsLeavesTheMiddleVersionAndTheRerunCompletes) {
  CThreeVersions game;
  ASSERT_EQ(RunBuilder({game.Folder(0), game.Folder(1), game.Folder(2), "-o", game.Release(), "-q",
                        "--no-verify"})
                .exitCode,
            0);
  const auto middle = FolderContents(game.Folder(1));
  const auto latest = FolderContents(game.Folder(2));
  int atMiddle = 0;
  for (int k = 1;; ++k) {
    const std::string folder = game.root / ("kill-" + std::to_string(k));
    std::filesystem::copy(game.Folder(0), folder, std::filesystem::copy_options::recursive);
    CCommandResult killed = RunCommand({QELPATCH_KILLABLE, "--release", game.Release()}, "",
                                       {"QELPATCH_INSTALL_PATH=" + folder + "/",
                                        "QELPATCH_KILL_AT_OPERATION=" + std::to_string(k)});
    atMiddle += FolderContents(folder) == middle;
    CCommandResult again = RunPatcher(game.Release(), folder + "/");
    EXPECT_EQ(again.exitCode, 0) << "killed at " << k << ": " << again.out;
    EXPECT_TRUE(FolderContents(folder) == latest) << "killed at " << k;
    std::filesystem::remove_all(folder);
    if (killed.exitCode == 0) break;  // the run had fewer than k operations
  }
  EXPECT_GT(atMiddle, 0);
}
#endif
