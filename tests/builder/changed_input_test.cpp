// Inputs that another program changes while qelpatch-build reads them: the
// builder stops with a message naming the file and leaves nothing behind, not
// even its hidden temporary output, and an earlier release stays as it was.
// The change is made by a preloaded library right after the builder maps the
// file, so the test has no race.
#include <gtest/gtest.h>

#include "tests/builder/command_support.h"
#include "tests/builder/game_support.h"
#include "tests/support/temp_folder.h"

namespace {
CCommandResult BuildChanging(const CTempFolder& old, const CTempFolder& latest,
                             const CTempFolder& work, const std::string& file,
                             const std::string& how) {
  return RunCommand(
      {QELPATCH_BUILD_TOOL, old.Path(), latest.Path(), "-o", work / "release.qpd", "--force"}, "",
      {std::string("LD_PRELOAD=") + QELPATCH_CHANGE_INPUT_PRELOAD,
       "QELPATCH_TEST_CHANGE_FILE=" + file, "QELPATCH_TEST_CHANGE_HOW=" + how});
}

class ChangedInput : public testing::Test {
 protected:
  void SetUp() override { MakeGame(); }

  void MakeGame() {
    CPackageVersions package = MakePackageVersions(3, 400000);
    WriteWholeFile(old / "maps/b.pkg", package.old);
    WriteWholeFile(latest / "maps/b.pkg", package.latest);
    WriteWholeFile(old / "movie.bik", RandomBytes(300000, 4));
    Bytes movie = ReadWholeFile(old / "movie.bik");
    movie[1000] ^= 1;
    WriteWholeFile(latest / "movie.bik", movie);
    WriteWholeFile(work / "release.qpd", TextBytes("an earlier release"));
  }

  void ExpectRefusedNaming(const CCommandResult& build, const std::string& file) {
    EXPECT_EQ(build.exitCode, 1) << build.err;
    EXPECT_NE(build.err.find(file + ": the file "), std::string::npos) << build.err;
    EXPECT_NE(build.err.find("while the release was being built"), std::string::npos) << build.err;
    EXPECT_EQ(ReadWholeFile(work / "release.qpd"), TextBytes("an earlier release"));
    EXPECT_EQ(ListFiles(work.Path()), std::vector<std::string>{"release.qpd"});
  }

  CTempFolder old, latest, work;
};
}  // namespace

TEST_F(ChangedInput, AFileThatShrinksWhileMappedIsNamedNotABusError) {
  for (const std::string& file :
       std::vector<std::string>{"/new/maps/b.pkg", "/new/movie.bik", "/old/movie.bik"}) {
    MakeGame();
    const std::string path = (file.rfind("/new/", 0) == 0 ? latest : old) / file.substr(5);
    ExpectRefusedNaming(BuildChanging(old, latest, work, path, "shrink"), path);
  }
}

TEST_F(ChangedInput, AFileEditedInPlaceWhileReadIsNamed) {
  for (const std::string& path :
       std::vector<std::string>{latest / "maps/b.pkg", latest / "movie.bik", old / "maps/b.pkg"}) {
    MakeGame();
    ExpectRefusedNaming(BuildChanging(old, latest, work, path, "edit"), path);
  }
}
