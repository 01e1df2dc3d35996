// The committed sample release is what the builder makes of the sample game,
// and applying it turns the old sample game into the new one.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/builder/command_support.h"
#include "tests/builder/game_support.h"
#include "tests/support/temp_folder.h"

TEST(SampleRelease, CommittedReleaseEqualsAFreshBuild) {
  CTempFolder work;
  CCommandResult make =
      RunCommand({"python3", QELPATCH_SOURCE_DIR "/scripts/make-sample-game", work / "game"});
  ASSERT_EQ(make.exitCode, 0) << make.err;
  CCommandResult build =
      RunBuilder({work / "game/old", work / "game/new", "-o", work / "fresh.qpd"});
  ASSERT_EQ(build.exitCode, 0) << build.err;
  // Nothing to warn about; standard error, not a terminal, has a line per
  // stage, each ending with the time it began.
  std::vector<std::string> stages;
  std::istringstream lines(build.err);
  for (std::string line; std::getline(lines, line);)
    stages.push_back(line.substr(0, line.rfind(" (at ")));
  EXPECT_EQ(stages,
            (std::vector<std::string>{
                "qelpatch-build: listing", "qelpatch-build: matching 6 files, 3,787,687 bytes",
                "qelpatch-build: splitting 4 files", "qelpatch-build: compressing 443,388 bytes",
                "qelpatch-build: checking 4 files"}))
      << build.err;
  EXPECT_EQ(ReadWholeFile(work / "fresh.qpd"),
            ReadWholeFile(QELPATCH_SOURCE_DIR "/resources/sample-release.qpd"))
      << "rebuild it: scripts/make-sample-game /tmp/sample && qelpatch-build /tmp/sample/old "
         "/tmp/sample/new -o resources/sample-release.qpd";

  CCommandResult apply =
      RunPatcher(QELPATCH_SOURCE_DIR "/resources/sample-release.qpd", work / "game/old/");
  EXPECT_EQ(apply.exitCode, 0) << apply.out << apply.err;
  EXPECT_EQ(FolderContents(work / "game/old"), FolderContents(work / "game/new"));
}
