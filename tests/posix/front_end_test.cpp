// The Linux patcher end to end: a real process on a real folder, answers on
// standard input, checked by its files, standard output and exit code.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "tests/support/release_runs.h"

namespace {
struct CProcessRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the patcher with the container, the setting (unset when empty) and
// the text on standard input.
CProcessRun RunPatcher(const CTempFolder& work, const Bytes& container, const std::string& setting,
                       const std::string& input) {
  WriteWholeFile(work / "release.qpd", container);
  WriteWholeFile(work / "input.txt", input);
  std::string command =
      "env -u QELPATCH_INSTALL_PATH QELPATCH_TEST_DATA='" + (work / "release.qpd") + "' ";
  if (!setting.empty()) command += "QELPATCH_INSTALL_PATH='" + setting + "' ";
  command += "'" QELPATCH_TESTABLE "' <'" + (work / "input.txt") + "' >'" + (work / "out.txt") +
             "' 2>'" + (work / "err.txt") + "'";
  int status = std::system(command.c_str());
  CProcessRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  Bytes out = ReadWholeFile(work / "out.txt");
  Bytes err = ReadWholeFile(work / "err.txt");
  run.out.assign(out.begin(), out.end());
  run.err.assign(err.begin(), err.end());
  return run;
}

class FrontEnd : public testing::Test {
 protected:
  void SetUp() override {
    pair = MakePackagePair("a.pkg", 31);
    WriteWholeFile(game / "a.pkg", pair.oldPackage.bytes);
    WriteWholeFile(game / "docs/readme.txt", TextBytes("old"));
    container = BuildContainer({DeltaEntry(pair), ArchiveEntry("docs/readme.txt", kNew, true)});
  }

  void ExpectUnchanged() {
    EXPECT_EQ(ReadWholeFile(game / "a.pkg"), pair.oldPackage.bytes);
    EXPECT_EQ(ReadWholeFile(game / "docs/readme.txt"), TextBytes("old"));
    EXPECT_TRUE(NoWorkingFilesLeft(game.Path()));
  }

  const Bytes kNew = TextBytes("new readme\n");
  CTempFolder game;
  CTempFolder work;
  CPackagePair pair;
  Bytes container;
};

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}
}  // namespace

TEST_F(FrontEnd, CompletesFromTheStoredPathAndShowsEachStatusOnce) {
  CProcessRun run = RunPatcher(work, container, game / "launcher.exe", "");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out,
            "To Compare File Start ..\n"
            "a.pkg file is compared..\n"
            " Patch is completed.\n");
  EXPECT_TRUE(EndsWith(run.err, "Patch Complete.\n")) << run.err;
  EXPECT_EQ(ReadWholeFile(game / "a.pkg"), pair.newPackage.bytes);
  EXPECT_EQ(ReadWholeFile(game / "docs/readme.txt"), kNew);
  EXPECT_TRUE(NoWorkingFilesLeft(game.Path()));
}

TEST_F(FrontEnd, DifferingPackageAnsweredNoFailsAndChangesNothing) {
  WriteWholeFile(game / "a.pkg", MakePackagePair("a.pkg", 99).oldPackage.bytes);
  Bytes installed = ReadWholeFile(game / "a.pkg");
  CProcessRun run = RunPatcher(work, container, game.Path(), "n\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find(
                "a.pkg\nThis file is different with PatchFile.\nDo you want to continue patch ?\n"),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(EndsWith(run.out, " Patch is failed.\n"));
  EXPECT_EQ(ReadWholeFile(game / "a.pkg"), installed);
  EXPECT_EQ(ReadWholeFile(game / "docs/readme.txt"), TextBytes("old"));
}

TEST_F(FrontEnd, DifferingPackageAnsweredYesPatchesTheRest) {
  WriteWholeFile(game / "a.pkg", MakePackagePair("a.pkg", 99).oldPackage.bytes);
  Bytes installed = ReadWholeFile(game / "a.pkg");
  CProcessRun run = RunPatcher(work, container, game.Path(), "YES\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(ReadWholeFile(game / "a.pkg"), installed);
  EXPECT_EQ(ReadWholeFile(game / "docs/readme.txt"), kNew);
}

TEST_F(FrontEnd, EndOfInputAtTheQuestionCountsAsNo) {
  WriteWholeFile(game / "a.pkg", TextBytes("not a package"));
  CProcessRun run = RunPatcher(work, container, game.Path(), "");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadWholeFile(game / "a.pkg"), TextBytes("not a package"));
}

TEST_F(FrontEnd, WithoutASettingTheFolderIsReadFromTheTerminal) {
  std::string folder = game.Path().substr(0, game.Path().size() - 1);
  CProcessRun run = RunPatcher(work, container, "", folder + "\n");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(run.out.rfind("Select Directory\n", 0), 0u) << run.out;
  EXPECT_EQ(ReadWholeFile(game / "a.pkg"), pair.newPackage.bytes);
}

TEST_F(FrontEnd, CancelledFolderPromptFailsWithoutTouchingAnything) {
  for (const char* input : {"", "\n"}) {
    CProcessRun run = RunPatcher(work, container, "", input);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Select Directory\n Patch is failed.\n");
    ExpectUnchanged();
  }
}

TEST_F(FrontEnd, SecondRunAfterSuccessCompletesWithoutQuestions) {
  ASSERT_EQ(RunPatcher(work, container, game.Path(), "").exitCode, 0);
  CProcessRun again = RunPatcher(work, container, game.Path(), "");
  EXPECT_EQ(again.exitCode, 0) << again.out;
  EXPECT_EQ(ReadWholeFile(game / "a.pkg"), pair.newPackage.bytes);
}

TEST_F(FrontEnd, AFailureNamesTheFileAndWhyOnStandardError) {
  WriteWholeFile(game / "a.pkg", MakePackagePair("a.pkg", 99).oldPackage.bytes);
  CProcessRun run = RunPatcher(work, container, game.Path(), "n\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(EndsWith(run.err, "a.pkg: not the version this patch expects\n")) << run.err;
}

TEST_F(FrontEnd, ADamagedReleaseSaysWhatIsDamagedOnASecondLine) {
  container.resize(container.size() - 1);
  CProcessRun run = RunPatcher(work, container, game.Path(), "");
  EXPECT_EQ(run.exitCode, 1);
  const std::string first = "The patch data is damaged; download the patch again\n";
  ASSERT_NE(run.err.find(first), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find(first), run.err.rfind(first)) << "shown twice:\n" << run.err;
  EXPECT_GT(run.err.size(), run.err.find(first) + first.size() + 1) << run.err;
  ExpectUnchanged();
}
