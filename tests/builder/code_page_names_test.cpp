// Names in a code page, checked after encoding: a '\' byte anywhere it would
// split the name, a name that does not read back as itself, two names of the
// same bytes (both named), a tone mark of code page 1258 as a character of its
// own. 932 has nine pairs of characters its bytes cannot tell apart, 1258
// three; each is refused, and what the code page does hold travels.
#include <gtest/gtest.h>

#include "tests/builder/command_support.h"
#include "tests/builder/game_support.h"
#include "tests/support/temp_folder.h"

namespace {
struct CNamesCase {
  const char* codePage;
  std::vector<std::string> names;  // the new files
  std::string message;             // empty: the release is built
};

const std::string kBothNamed = ": code page 932 writes both names as the same bytes";
const std::string kToneMark = "code page 1258 writes a tone mark of the name as a character";

CCommandResult BuildNames(const CNamesCase& c, CTempFolder& work) {
  CTempFolder old, latest;
  for (const std::string& name : c.names) WriteWholeFile(latest / name, TextOfSize(40, 1));
  return RunBuilder(
      {old.Path(), latest.Path(), "-o", work / "r.qpd", "--name-code-page", c.codePage});
}
}  // namespace

TEST(CodePageNames, LookAlikesAreRefusedAndWhatThePageHoldsTravels) {
  const std::vector<CNamesCase> cases = {
      // 932: the pairs its bytes do not tell apart, both named.
      {"932",
       {"a~1.txt",
        "a\xE2\x80\xBE"
        "1.txt"},
       "a~1.txt and "},                                               // ‾
      {"932", {"\xC2\xA2.txt", "\xEF\xBF\xA0.txt"}, kBothNamed},      // ¢ ￠
      {"932", {"\xC2\xA3.txt", "\xEF\xBF\xA1.txt"}, kBothNamed},      // £ ￡
      {"932", {"\xC2\xAC.txt", "\xEF\xBF\xA2.txt"}, kBothNamed},      // ¬ ￢
      {"932", {"\xE2\x80\x96.txt", "\xE2\x88\xA5.txt"}, kBothNamed},  // ‖ ∥
      {"932", {"\xE2\x88\x92.txt", "\xEF\xBC\x8D.txt"}, kBothNamed},  // − －
      {"932", {"\xE3\x80\x9C.txt", "\xEF\xBD\x9E.txt"}, kBothNamed},  // 〜 ～
      // One of them alone: it reads back as the other.
      {"932",
       {"a\xE2\x80\xBE"
        "1.txt"},
       "that read back as \"a~1.txt\""},
      {"932", {"\xC2\xA2.txt"}, "that read back as \"\xEF\xBF\xA0.txt\""},
      {"932", {"\xE2\x80\x96.txt"}, "that read back as \"\xE2\x88\xA5.txt\""},
      // ¥ is the byte of '\' itself; — and ― are the same two bytes ending in it.
      {"932",
       {"a\xC2\xA5"
        "b.txt"},
       "is written as the byte of '\\', which splits the name"},
      {"932", {"\xE2\x80\x94.txt"}, "ends in the byte of '\\'"},
      {"932", {"\xE2\x80\x95.txt"}, "ends in the byte of '\\'"},
      // 1258: the pairs meet in a tone mark of their own.
      {"1258", {"x\xCC\x80.txt", "x\xCD\x80.txt"}, kToneMark},    // U+0300 U+0340
      {"1258", {"x\xCC\x81.txt", "x\xCD\x81.txt"}, kToneMark},    // U+0301 U+0341
      {"1258", {"\xCE\x85.txt", "\xE1\xBF\xAE.txt"}, kToneMark},  // ΅ U+1FEE
      {"1258", {"Vi\xE1\xBB\x87t.txt"}, kToneMark},  // Việt: ệ is ê and a dot below
      // What the code pages hold.
      {"932",
       {"\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0/\xE8\xA8\xAD\xE5\xAE\x9A.ini",  // ゲーム/設定.ini
        "\xEF\xBD\x9E.txt", "\xE2\x88\xA5.txt", "a~1.txt"},
       ""},
      {"1258", {"\xC3\xAA.txt", "\xC3\xA0.txt", "\xC4\x91\xC6\xA1n.txt"}, ""},  // ê à đơn
  };
  for (const CNamesCase& c : cases) {
    CTempFolder work;
    const CCommandResult build = BuildNames(c, work);
    const std::string what = c.codePage + std::string(" ") + c.names[0];
    if (c.message.empty()) {
      EXPECT_EQ(build.exitCode, 0) << what << ": " << build.err;
      continue;
    }
    EXPECT_EQ(build.exitCode, 1) << what;
    EXPECT_NE(build.err.find(c.message), std::string::npos) << what << ": " << build.err;
    if (c.names.size() == 2 && c.message == kBothNamed) {
      EXPECT_NE(build.err.find(c.names[0] + " and "), std::string::npos) << build.err;
    }
    EXPECT_EQ(ListFiles(work.Path()), std::vector<std::string>{}) << what;
  }
}

// Code page 1258 holds back a letter that a tone mark may follow: its last
// letter was lost, so "ê.txt" read back as ".txt" and the Linux patcher
// named the file "ê.tx".
TEST(CodePageNames, TheLinuxPatcherNamesA1258FileWhole) {
  CTempFolder old, latest, work;
  WriteWholeFile(latest / "\xC3\xAA.txt", TextOfSize(40, 1));
  ASSERT_EQ(RunBuilder({old.Path(), latest.Path(), "-o", work / "r.qpd", "--name-code-page", "1258",
                        "--no-verify"})
                .exitCode,
            0);
  ASSERT_EQ(RunPatcher(work / "r.qpd", old.Path()).exitCode, 0);
  EXPECT_EQ(ListFiles(old.Path()), std::vector<std::string>{"\xC3\xAA.txt"});
}
