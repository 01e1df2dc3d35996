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
  std::string command = "env -u QELPATCH_INSTALL_PATH ";
  if (!setting.empty()) command += "QELPATCH_INSTALL_PATH='" + setting + "' ";
  command += "'" QELPATCH_PATCHER "' --release '" + (work / "release.qpd") + "' <'" +
             (work / "input.txt") + "' >'" + (work / "out.txt") + "' 2>'" + (work / "err.txt") +
             "'";
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

// Only y or yes, in any letter case, goes on past a differing file, kept as it
// is; anything else, the end of input too, fails the run and changes nothing.
TEST_F(FrontEnd, TheAnswerToADifferingFileDecidesTheRun) {
  const Bytes other = MakePackagePair("a.pkg", 99).oldPackage.bytes;
  const struct {
    const char* input;
    bool goOn;
    Bytes installed;
  } cases[] = {{"y\n", true, other},   {"yes\n", true, other},
               {"YES\n", true, other}, {"n\n", false, other},
               {"\n", false, other},   {"", false, TextBytes("not a package")}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    WriteWholeFile(game / "a.pkg", c.installed);
    WriteWholeFile(game / "docs/readme.txt", TextBytes("old"));
    CProcessRun run = RunPatcher(work, container, game.Path(), c.input);
    EXPECT_EQ(run.exitCode, c.goOn ? 0 : 1);
    EXPECT_NE(run.out.find("a.pkg\nThis file is different with PatchFile.\nDo you want to "
                           "continue patch ?\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(EndsWith(run.out, " Patch is failed.\n"), !c.goOn) << run.out;
    // The status line names what stayed as it was.
    if (c.goOn) {
      EXPECT_TRUE(EndsWith(run.err, "Patch Complete. Left as it was: a.pkg\n")) << run.err;
    }
    EXPECT_EQ(ReadWholeFile(game / "a.pkg"), c.installed);
    EXPECT_EQ(ReadWholeFile(game / "docs/readme.txt"), c.goOn ? kNew : TextBytes("old"));
  }
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

// Players double-click twice: while the first patcher waits for its answer,
// a second one on the same folder ends at once and touches nothing; the
// first then completes, and neither leaves a file behind.
TEST_F(FrontEnd, ASecondPatcherOnTheSameFolderEndsWhileTheFirstRuns) {
  const Bytes other = MakePackagePair("a.pkg", 99).oldPackage.bytes;
  WriteWholeFile(game / "a.pkg", other);
  WriteWholeFile(work / "release.qpd", container);
  const std::string patcher = "QELPATCH_INSTALL_PATH='" + game.Path() +
                              "' '" QELPATCH_PATCHER "' --release '" + (work / "release.qpd") + "'";
  const std::string script = "cd '" + work.Path() + "'\nmkfifo answer\n(" + patcher +
                             " <answer >out1 2>err1; echo $? >rc1) &\n"
                             "exec 3>answer\n"
                             "for i in $(seq 100); do grep -q 'continue patch' out1 && break; "
                             "sleep 0.1; done\n" +
                             patcher +
                             " </dev/null >out2 2>err2; echo $? >rc2\n"
                             "echo y >&3\nexec 3>&-\nwait\n";
  WriteWholeFile(work / "two.sh", script);
  ASSERT_EQ(std::system(("bash '" + (work / "two.sh") + "'").c_str()), 0);
  auto text = [&](const char* name) {
    Bytes bytes = ReadWholeFile(work / name);
    return std::string(bytes.begin(), bytes.end());
  };
  EXPECT_EQ(text("rc2"), "1\n");
  EXPECT_TRUE(EndsWith(text("err2"), "Another patch is running in this game folder\n"))
      << text("err2");
  EXPECT_EQ(text("rc1"), "0\n") << text("out1") << text("err1");
  EXPECT_EQ(ReadWholeFile(game / "a.pkg"), other);  // kept, as answered
  EXPECT_EQ(ReadWholeFile(game / "docs/readme.txt"), kNew);
  EXPECT_EQ(ListFiles(game.Path()), (std::vector<std::string>{"a.pkg", "docs/readme.txt"}));
}
