// The Linux patcher as the release engineer's tool: qelpatch --release FILE
// --game DIR applies a release file or a QelPatch.exe (signed or not) to a
// folder, as players' QelPatch.exe will; --help and --version print and exit.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/version.h"
#include "tests/builder/command_support.h"
#include "tests/builder/game_support.h"
#include "tests/builder/program_support.h"
#include "tests/support/temp_folder.h"

namespace {
CCommandResult RunLinuxPatcher(const std::vector<std::string>& args) {
  std::vector<std::string> command{QELPATCH_PATCHER};
  command.insert(command.end(), args.begin(), args.end());
  return RunCommand(command);
}

class LinuxPatcher : public testing::Test {
 protected:
  void SetUp() override {
    MakeSampleGame(root / "sample");
    WriteTestStub(root / "stub.exe");
    ASSERT_EQ(RunBuilder({root / "sample/old", root / "sample/new", "-o", root / "r.qpd", "--exe",
                          root / "r.exe", "--stub", root / "stub.exe"})
                  .exitCode,
              0);
  }
  // A copy of the old game, as a player has it.
  std::string CopyOfOldGame(const std::string& name) {
    std::filesystem::copy(root / "sample/old", root / name,
                          std::filesystem::copy_options::recursive);
    return root / name;
  }
  CTempFolder root;
};
}  // namespace

TEST_F(LinuxPatcher, AppliesAReleaseFileAndAProgramSignedOrNot) {
  CTempFolder keys;
  ASSERT_TRUE(SignProgram(root / "r.exe", root / "signed.exe", keys.Path()));
  for (const std::string& release : {root / "r.qpd", root / "r.exe", root / "signed.exe"}) {
    const std::string game =
        CopyOfOldGame("game-" + std::filesystem::path(release).filename().string());
    const CCommandResult run = RunLinuxPatcher({"--release", release, "--game=" + game});
    EXPECT_EQ(run.exitCode, 0) << release << ": " << run.err;
    EXPECT_NE(run.out.find(" Patch is completed.\n"), std::string::npos) << run.out;
    EXPECT_EQ(FolderContents(game), FolderContents(root / "sample/new")) << release;
  }
}

// Exit 1 ends with " Patch is failed.": a file that was read but holds no
// release; 3: one that cannot be read; 2: a refused command line.
TEST_F(LinuxPatcher, RefusesWhatIsNoReleaseNamingIt) {
  const std::string game = CopyOfOldGame("game");
  const auto before = FolderContents(game);
  WriteWholeFile(root / "empty.qpd", Bytes());
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string message;
  } cases[] = {
      {{"--release", root / "stub.exe", "--game", game},
       1,
       root / "stub.exe: the stub of QelPatch " QELPATCH_VERSION ": it carries no release"},
      {{"--release", root / "empty.qpd", "--game", game}, 1, "The patch data is damaged"},
      {{"--release", root / "none.qpd", "--game", game}, 3, "cannot open " + root / "none.qpd"},
      {{"--release", root / "sample", "--game", game}, 3, "cannot read " + root / "sample"},
      {{"--release", root / "r.qpd", "--game", root / "none"}, 1, root / "none: no such folder"},
      {{"--release", root / "r.qpd", "--release", root / "r.qpd"}, 2, "--release given twice"},
      {{"--game"}, 2, "--game needs a folder"},
      {{"--bogus"}, 2, "unknown option --bogus"},
      {{game}, 2, "unexpected argument " + game},
  };
  for (const auto& c : cases) {
    const CCommandResult run = RunLinuxPatcher(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, c.exitCode == 1 ? " Patch is failed.\n" : "") << c.message;
    EXPECT_EQ(FolderContents(game), before) << c.message;
  }
}

TEST(LinuxPatcherOptions, HelpAndVersionPrintAndExit) {
  const CCommandResult help = RunLinuxPatcher({"--release", "x", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.find("usage: qelpatch [--release FILE] [--game DIR]\n"), 0u) << help.out;
  const CCommandResult version = RunLinuxPatcher({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "qelpatch " QELPATCH_VERSION "\n");
}

// A damaged download of the program: single bits flipped in the section that
// carries the release are refused before a file changes, as QelPatch.exe
// refuses them (it reads the same bytes from its resource).
TEST_F(LinuxPatcher, FlippedBitsOfTheProgramsReleaseAreRefused) {
  const Bytes exe = ReadWholeFile(root / "r.exe");
  const Bytes release = ReadWholeFile(root / "r.qpd");
  const auto at = std::search(exe.begin(), exe.end(), release.begin(), release.end());
  ASSERT_NE(at, exe.end());
  const size_t start = static_cast<size_t>(at - exe.begin());
  const auto old = FolderContents(root / "sample/old");
  uint32_t state = 777;
  for (int flip = 0; flip < 40; ++flip) {
    state = state * 1664525u + 1013904223u;
    Bytes damaged = exe;
    const size_t where = start + state % release.size();
    damaged[where] ^= static_cast<uint8_t>(1u << (state >> 29));
    WriteWholeFile(root / "damaged.exe", damaged);
    const std::string game = root / "game";
    std::filesystem::remove_all(game);
    CopyOfOldGame("game");
    const CCommandResult run = RunLinuxPatcher({"--release", root / "damaged.exe", "--game", game});
    EXPECT_EQ(run.exitCode, 1) << "byte " << where;
    EXPECT_NE(run.err.find("The patch data is damaged; download the patch again"),
              std::string::npos)
        << "byte " << where << ": " << run.err;
    EXPECT_EQ(FolderContents(game), old) << "byte " << where;
    if (HasFailure()) break;
  }
}
