// The names a release can carry: what Windows can hold, in the players' code
// page, and no two names of one file.
#include "builder/release_names.h"

#include <gtest/gtest.h>

#include "container/windows_names.h"
#include "tests/builder/command_support.h"
#include "tests/builder/game_support.h"
#include "tests/support/temp_folder.h"

namespace {
// Builds a release whose new folder adds one file of this name (and the
// folder it lies in); returns the builder's run.
CCommandResult BuildWithName(const std::string& name,
                             const std::vector<std::string>& options = {}) {
  CTempFolder old, latest, work;
  WriteWholeFile(old / "readme.txt", TextOfSize(50, 1));
  WriteWholeFile(latest / "readme.txt", TextOfSize(50, 1));
  WriteWholeFile(latest / name, TextOfSize(80, 2));
  std::vector<std::string> args = {old.Path(), latest.Path(), "-o", work / "r.qpd"};
  args.insert(args.end(), options.begin(), options.end());
  return RunBuilder(args);
}
}  // namespace

TEST(ReleaseNames, NamesWindowsCannotHoldAreRefused) {
  const struct {
    const char* why;
    std::vector<const char*> names;
  } rules[] = {
      {"is a device name",
       {"CON", "prn.txt", "Aux", "nul.ini", "COM1", "com9.log", "LPT1", "lpt9.dat", "con.tar.gz",
        "data/AUX/x.txt"}},
      {"which Windows does not allow",
       {"a<b.txt", "a>b", "a\"b", "a|b", "a?b", "a*b", "a:b", "a\\b.txt"}},
      {"a control character", {"tab\there", "bell\a"}},
      {"ends in a dot", {"dot.", "folder./x.txt"}},
      {"ends in a space", {"space ", "folder /x.txt"}},
  };
  for (const auto& rule : rules)
    for (const char* name : rule.names) {
      std::string why;
      EXPECT_FALSE(CheckWindowsName(name, &why)) << name;
      EXPECT_NE(why.find(rule.why), std::string::npos) << name << ": " << why;
    }
  // The builder asks it of every part of every name.
  CCommandResult build = BuildWithName("data/AUX/x.txt");
  EXPECT_EQ(build.exitCode, 1);
  EXPECT_NE(build.err.find("x.txt: cannot be patched on Windows: \"AUX\" is a device name"),
            std::string::npos)
      << build.err;
}

TEST(ReleaseNames, OrdinaryNamesAreTaken) {
  CTempFolder old, latest, work;
  for (const std::string& name :
       {std::string("with space.txt"), std::string("dots.in.the.middle.ini"),
        std::string("CONSOLE.txt"), std::string("com10.txt"), std::string("lpt0.dat"),
        std::string("auxiliary/nul_not.txt"), std::string(".hidden"), std::string("Mixed/Case.TXT"),
        std::string("a.b.c/d e/f-g_h(1)[2]{3}!@#$%^&'+,;=~`.bin"),
        std::string(200, 'n') + "/" + std::string(200, 'm') + ".dat"}) {
    WriteWholeFile(latest / name, TextOfSize(80, 2));
  }
  CCommandResult build = RunBuilder({old.Path(), latest.Path(), "-o", work / "r.qpd"});
  EXPECT_EQ(build.exitCode, 0) << build.err;
}

TEST(ReleaseNames, NamesOfOneFileOnWindowsAreRefusedNamingBoth) {
  CTempFolder old, latest, work;
  WriteWholeFile(latest / "Data/Notes.txt", TextOfSize(10, 1));
  WriteWholeFile(latest / "data/notes.txt", TextOfSize(10, 2));
  CCommandResult build = RunBuilder({old.Path(), latest.Path(), "-o", work / "r.qpd"});
  EXPECT_EQ(build.exitCode, 1);
  EXPECT_NE(build.err.find("Data/Notes.txt and "), std::string::npos) << build.err;
  EXPECT_NE(build.err.find("data/notes.txt: the names differ only in letter case"),
            std::string::npos)
      << build.err;
  // Folders of differing case hold different files: no clash.
  CTempFolder latest2;
  WriteWholeFile(latest2 / "Data/a.txt", TextOfSize(10, 1));
  WriteWholeFile(latest2 / "data/b.txt", TextOfSize(10, 2));
  EXPECT_EQ(RunBuilder({old.Path(), latest2.Path(), "-o", work / "r.qpd"}).exitCode, 0);
  // Letter case outside ASCII clashes too, once such names may travel.
  CTempFolder latest3;
  WriteWholeFile(latest3 / "\xC3\x89t\xC3\xA9.txt", TextOfSize(10, 1));  // Été
  WriteWholeFile(latest3 / "\xC3\xA9t\xC3\xA9.txt", TextOfSize(10, 2));  // été
  CCommandResult accented =
      RunBuilder({old.Path(), latest3.Path(), "-o", work / "r3.qpd", "--name-code-page", "1252"});
  EXPECT_EQ(accented.exitCode, 1);
  EXPECT_NE(accented.err.find("differ only in letter case"), std::string::npos) << accented.err;
}

TEST(ReleaseNames, NamesThatAreNotAsciiNeedThePlayersCodePage) {
  const std::string reglages = "r\xC3\xA9glages.ini";  // réglages.ini
  CCommandResult plain = BuildWithName(reglages);
  EXPECT_EQ(plain.exitCode, 1);
  EXPECT_NE(plain.err.find("--name-code-page"), std::string::npos) << plain.err;

  CTempFolder old, latest, work;
  WriteWholeFile(latest / reglages, TextOfSize(80, 2));
  ASSERT_EQ(RunBuilder({old.Path(), latest.Path(), "-o", work / "r.qpd", "--name-code-page", "1252",
                        "--uncompressed"})
                .exitCode,
            0);
  // The release names the file in code page 1252 (é is E9), its archive too.
  const Bytes release = ReadWholeFile(work / "r.qpd");
  const std::string text(release.begin(), release.end());
  EXPECT_EQ(text.substr(4, 13), std::string("r\xE9glages.ini") + '\0');
  EXPECT_EQ(text.find(reglages), std::string::npos);
  CCommandResult show = RunBuilder({"--show", work / "r.qpd", "--name-code-page", "1252"});
  EXPECT_NE(show.out.find(" " + reglages + "\n"), std::string::npos) << show.out;
}

TEST(ReleaseNames, DoubleByteCodePagesTakeWhatTheyHoldAndNoTrailingBackslash) {
  const std::string game = "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0/a.txt";  // ゲーム/a.txt
  EXPECT_EQ(BuildWithName(game, {"--name-code-page", "932"}).exitCode, 0);
  // ソ is 83 5C in code page 932, 表 is 95 5C.
  for (const char* name : {"\xE3\x82\xBD.txt", "\xE8\xA1\xA8/x.txt"}) {
    CCommandResult build = BuildWithName(name, {"--name-code-page", "932"});
    EXPECT_EQ(build.exitCode, 1) << name;
    EXPECT_NE(build.err.find("ends in the byte of '\\'"), std::string::npos) << build.err;
  }
  CCommandResult accent = BuildWithName("r\xC3\xA9glages.ini", {"--name-code-page", "932"});
  EXPECT_EQ(accent.exitCode, 1);
  EXPECT_NE(accent.err.find("code page 932 cannot hold the name"), std::string::npos) << accent.err;
  EXPECT_EQ(BuildWithName("a.txt", {"--name-code-page", "437"}).exitCode, 2);
}

// The names come sorted, and are checked in their order: the first that
// breaks a rule, alone or with one before it, is the one refused, but a name
// that does not read back only once no two names clash.
TEST(ReleaseNames, TheFirstNameThatBreaksARuleIsRefused) {
  const std::string overline =
      "a\xE2\x80\xBE"
      "1.txt";  // a‾1.txt, read back as a~1.txt in 932
  const struct {
    std::vector<std::string> names;
    std::string refusal;  // empty: none
  } cases[] = {
      {{"A.txt", "a.txt", "b<.txt"}, "g/A.txt and g/a.txt: the names differ only in letter case"},
      {{"Data.txt", "b<.txt", "data.txt"}, "g/b<.txt: cannot be patched on Windows"},
      {{"X.txt", overline, "x.txt"}, "g/X.txt and g/x.txt: the names differ only in letter case"},
      {{"X.txt", overline}, "g/" + overline + ": cannot be patched on Windows: "},
      {{"a~1.txt", overline}, "g/a~1.txt and g/" + overline + ": code page 932 writes both names"},
      {{"a.txt", "b.txt"}, ""},
  };
  for (const auto& c : cases) {
    CTempFolder work;
    CRecordSpool names;
    std::string why;
    ASSERT_TRUE(names.Open(work / "r.qpd", &why)) << why;
    for (const std::string& name : c.names) ASSERT_TRUE(names.Add(name));
    ASSERT_TRUE(names.EndWriting(&why)) << why;
    why.clear();
    EXPECT_EQ(CheckReleaseNames("g", names, CNameEncoder(932), &why), c.refusal.empty())
        << c.names[0];
    EXPECT_EQ(why.compare(0, c.refusal.size(), c.refusal), 0) << c.refusal << " / " << why;
  }
}
