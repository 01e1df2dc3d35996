// --verify applies a release to the old game folder with the patcher's own
// engine, in a scratch folder beside it that is removed after, and compares
// every file with the new folder: exit 0 when the release turns the one into
// the other, 1 naming the first file that differs. The old folder never
// changes. The build makes the same check of what it wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/builder/command_support.h"
#include "tests/builder/game_support.h"
#include "tests/builder/program_support.h"
#include "tests/support/temp_folder.h"

namespace {
struct CVerifyScene {
  CVerifyScene() {
    MakeSampleGame(root / "sample");
    const CCommandResult build = RunBuilder({Old(), New(), "-o", root / "r.qpd", "--no-verify"});
    EXPECT_EQ(build.exitCode, 0) << build.err;
  }
  std::string Old() const { return root / "sample/old"; }
  std::string New() const { return root / "sample/new"; }
  CTempFolder root;
};

void FlipByte(const std::string& path, size_t at) {
  Bytes bytes = ReadWholeFile(path);
  bytes.at(at) ^= 1;
  WriteWholeFile(path, bytes);
}
}  // namespace

TEST(Verify, EachFaultIsNamed) {
  struct Case {
    const char* what;
    void (*spoil)(const CVerifyScene&);
    const char* message;  // empty: the release turns OLD into NEW
  } cases[] = {
      {"the release as built", [](const CVerifyScene&) {}, ""},
      {"a damaged release", [](const CVerifyScene& s) { FlipByte(s.root / "r.qpd", 300000); },
       "r.qpd: the patcher would refuse this release: the digest of the container's payload"},
      {"another old package",
       [](const CVerifyScene& s) { FlipByte(s.Old() + "/data/sound.pkg", 5000); },
       "the patcher does not apply the release to "},
      {"a file of the new folder the release does not make",
       [](const CVerifyScene& s) { FlipByte(s.New() + "/readme.txt", 7); },
       "new/readme.txt: the release makes other bytes than this file (they first differ at "
       "byte 7)"},
      {"a file of the new folder the release leaves as it was",
       [](const CVerifyScene& s) { FlipByte(s.New() + "/config/game.ini", 0); },
       "new/config/game.ini: the release leaves "},
      {"a file the new folder gained",
       [](const CVerifyScene& s) { WriteWholeFile(s.New() + "/extra.txt", "x"); },
       "new/extra.txt: not in "},
  };
  for (const Case& c : cases) {
    CVerifyScene scene;
    c.spoil(scene);
    const auto before = FolderContents(scene.Old());
    const CCommandResult run =
        RunBuilder({"--verify", scene.Old(), scene.New(), scene.root / "r.qpd"});
    if (*c.message == '\0') {
      EXPECT_EQ(run.exitCode, 0) << c.what << ": " << run.err;
      EXPECT_EQ(run.out,
                scene.root / "r.qpd: turns " + scene.Old() + " into " + scene.New() + "\n");
    } else {
      EXPECT_EQ(run.exitCode, 1) << c.what;
      EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
    }
    EXPECT_EQ(FolderContents(scene.Old()), before) << c.what;
    EXPECT_EQ(ListFiles(scene.root.Path()).size(), ListFiles(scene.root / "sample").size() + 1)
        << c.what << ": a scratch file was left";
  }
}

// --show takes it too.
TEST(Verify, TakesASignedProgram) {
  CVerifyScene scene;
  WriteTestStub(scene.root / "stub.exe");
  ASSERT_EQ(RunBuilder({"--stamp", scene.root / "r.qpd", "--exe", scene.root / "r.exe", "--stub",
                        scene.root / "stub.exe"})
                .exitCode,
            0);
  CTempFolder keys;
  ASSERT_TRUE(SignProgram(scene.root / "r.exe", scene.root / "signed.exe", keys.Path()));
  const CCommandResult run =
      RunBuilder({"--verify", scene.Old(), scene.New(), scene.root / "signed.exe"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const CCommandResult show = RunBuilder({"--show", scene.root / "signed.exe"});
  EXPECT_EQ(show.out.find(scene.root / "signed.exe: QelPatch.exe carrying a release of 4 entries"),
            0u)
      << show.out << show.err;
}

// The build checks what it wrote before it replaces anything, and leaves
// nothing else beside its outputs.
TEST(Verify, TheBuildChecksWhatItWrote) {
  CVerifyScene scene;
  WriteTestStub(scene.root / "stub.exe");
  CTempFolder out;
  const CCommandResult build = RunBuilder({scene.Old(), scene.New(), "-o", out / "r.qpd", "--exe",
                                           out / "r.exe", "--stub", scene.root / "stub.exe"});
  ASSERT_EQ(build.exitCode, 0) << build.err;
  // Hidden entries too: no scratch folder, no temporary file.
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(out.Path()))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"r.exe", "r.qpd"}));
  EXPECT_EQ(ReadWholeFile(out / "r.qpd"), ReadWholeFile(scene.root / "r.qpd"));
}
