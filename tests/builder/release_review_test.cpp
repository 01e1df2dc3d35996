// --show as a review of a release: per entry its status, sizes, kind, chunks,
// payload and copied bytes and digest, the totals, the code page and the
// program players download; with --json one document, read here by Python's
// json. A release is told from a program by its whole make-up, never by its
// first bytes: a release of 23,117 entries begins with "MZ".
#include <gtest/gtest.h>

#include "digest/content_digest.h"
#include "tests/builder/command_support.h"
#include "tests/builder/game_support.h"
#include "tests/builder/program_support.h"
#include "tests/support/temp_folder.h"

namespace {
// What Python reads of the document: a line of the release, one per entry,
// one of the totals.
const char kReader[] = R"(
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
print(d["form"], d["manifest"], d["code_page"], d["compressed"], d["program_bytes"] is not None)
for e in d["entries"]:
    print(e["name"], e["status"], e["kind"], e["old_bytes"], e["new_bytes"], e["digest"])
t = d["totals"]
print(t["entries"], t["new"], t["changed"],
      t["payload_bytes"] == sum(e["payload_bytes"] for e in d["entries"]))
)";

std::string ReadAsJson(const std::string& release, const std::string& work) {
  const CCommandResult show = RunBuilder({"--show", release, "--json"});
  EXPECT_EQ(show.exitCode, 0) << show.err;
  WriteWholeFile(work + "/show.json", show.out);
  const CCommandResult read = RunCommand({"python3", "-c", kReader, work + "/show.json"});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  return read.out;
}

std::string Digest(const Bytes& bytes) {
  return CContentDigest::Of(bytes.data(), bytes.size()).Hex();
}

const std::string kReglages = "r\xC3\xA9glages.ini";  // réglages.ini
}  // namespace

TEST(ReleaseReview, JsonGivesEachEntryItsStatusSizesAndDigest) {
  CTempFolder old, latest, work;
  const CPackageVersions package = MakePackageVersions(7, 60000);
  WriteWholeFile(old / "a.txt", TextOfSize(100, 1));
  WriteWholeFile(latest / "a.txt", TextOfSize(120, 2));
  WriteWholeFile(old / "maps/b.pkg", package.old);
  WriteWholeFile(latest / "maps/b.pkg", package.latest);
  WriteWholeFile(latest / "maps/c.pkg", package.old);
  WriteWholeFile(latest / kReglages, TextOfSize(30, 3));
  ASSERT_EQ(RunBuilder({old.Path(), latest.Path(), "-o", work / "r.qpd", "--name-code-page=1252"})
                .exitCode,
            0);
  const auto size = [](const std::string& path) {
    return std::to_string(ReadWholeFile(path).size());
  };
  const auto digest = [](const std::string& path) { return Digest(ReadWholeFile(path)); };
  EXPECT_EQ(ReadAsJson(work / "r.qpd", work.Path()),
            "release True 1252 True False\n"
            "a.txt changed archive, stored " +
                size(old / "a.txt") + " " + size(latest / "a.txt") + " " +
                digest(latest / "a.txt") + "\n" + "maps/b.pkg changed delta " +
                size(old / "maps/b.pkg") + " " + size(latest / "maps/b.pkg") + " " +
                digest(latest / "maps/b.pkg") + "\n" + "maps/c.pkg new whole package None " +
                size(latest / "maps/c.pkg") + " " + digest(latest / "maps/c.pkg") + "\n" +
                kReglages + " new archive, stored None " + size(latest / kReglages) + " " +
                digest(latest / kReglages) + "\n" + "4 2 2 True\n");

  // A release of an older builder, without a manifest, says no more than it holds.
  WriteWholeFile(work / "bare.qpd", ContainerOf(ReadWholeFile(work / "r.qpd")));
  const std::string bare = ReadAsJson(work / "bare.qpd", work.Path());
  EXPECT_EQ(bare.substr(0, bare.find('\n')), "release False 0 False False");
  EXPECT_NE(bare.find("a.txt None archive, stored None None None\n"), std::string::npos) << bare;
}

TEST(ReleaseReview, TheTableTellsStatusSizesAndWhatPlayersDownload) {
  CTempFolder old, latest, work;
  WriteWholeFile(old / "a.txt", TextOfSize(100, 1));
  WriteWholeFile(latest / "a.txt", TextOfSize(120, 2));
  WriteWholeFile(latest / "b.txt", TextOfSize(50, 3));
  WriteTestStub(work / "stub.exe");
  ASSERT_EQ(RunBuilder({old.Path(), latest.Path(), "-o", work / "r.qpd", "--exe", work / "r.exe",
                        "--stub", work / "stub.exe"})
                .exitCode,
            0);
  const std::string programSize = std::to_string(ReadWholeFile(work / "r.exe").size());
  const CCommandResult release =
      RunBuilder({"--show", work / "r.qpd", "--stub", work / "stub.exe"});
  ASSERT_EQ(release.exitCode, 0) << release.err;
  EXPECT_NE(release.out.find("players download QelPatch.exe of " + programSize + " bytes\n"),
            std::string::npos)
      << release.out;
  EXPECT_NE(release.out.find("\ncontainer: compressed streams, unpacks to "), std::string::npos)
      << release.out;
  EXPECT_NE(release.out.find("\nchanged  archive, stored"), std::string::npos) << release.out;
  const std::string changed = "old " + std::to_string(ReadWholeFile(old / "a.txt").size()) +
                              "  new " + std::to_string(ReadWholeFile(latest / "a.txt").size()) +
                              "  digest ";
  EXPECT_NE(release.out.find(changed), std::string::npos) << release.out;
  EXPECT_NE(release.out.find("\nnew      archive, stored"), std::string::npos) << release.out;
  const std::string fresh =
      "old (none)  new " + std::to_string(ReadWholeFile(latest / "b.txt").size()) + "  digest ";
  EXPECT_NE(release.out.find(fresh), std::string::npos) << release.out;
  EXPECT_NE(release.out.find("\ntotal    1 new, 1 changed"), std::string::npos) << release.out;
  // No index digests for what is not a package.
  EXPECT_EQ(release.out.find("before "), std::string::npos) << release.out;

  const CCommandResult program = RunBuilder({"--show", work / "r.exe"});
  EXPECT_EQ(program.out.substr(0, program.out.find('\n')),
            work / "r.exe" + ": QelPatch.exe carrying a release of 2 entries, " +
                std::to_string(ReadWholeFile(work / "r.qpd").size()) +
                " bytes; the patcher accepts it");
  EXPECT_NE(program.out.find("players download QelPatch.exe of " + programSize + " bytes\n"),
            std::string::npos);
}

// 23,117 is 0x5A4D: the entry count is written as "MZ".
TEST(ReleaseReview, AReleaseBeginningWithMzIsARelease) {
  CTempFolder old, latest, work;
  for (int i = 0; i < 23117; ++i)
    WriteWholeFile(latest / ("f" + std::to_string(i / 1000) + "/" + std::to_string(i)), "x");
  ASSERT_EQ(
      RunBuilder({old.Path(), latest.Path(), "-o", work / "r.qpd", "--no-verify", "--uncompressed"})
          .exitCode,
      0);
  const Bytes release = ReadWholeFile(work / "r.qpd");
  ASSERT_EQ(std::string(release.begin(), release.begin() + 2), "MZ");

  const CCommandResult show = RunBuilder({"--show", work / "r.qpd"});
  EXPECT_EQ(show.exitCode, 0) << show.err;
  EXPECT_EQ(show.out.find(work / "r.qpd: a release of 23117 entries"), 0u)
      << show.out.substr(0, 200);
  WriteTestStub(work / "stub.exe");
  const CCommandResult stamp =
      RunBuilder({"--stamp", work / "r.qpd", "--exe", work / "r.exe", "--stub", work / "stub.exe"});
  EXPECT_EQ(stamp.exitCode, 0) << stamp.err;
  const CCommandResult program = RunBuilder({"--show", work / "r.exe"});
  EXPECT_EQ(program.out.find(work / "r.exe: QelPatch.exe carrying a release of 23117 entries"), 0u)
      << program.err;
  // The program itself is no release to stamp.
  const CCommandResult again = RunBuilder(
      {"--stamp", work / "r.exe", "--exe", work / "again.exe", "--stub", work / "stub.exe"});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.err.find("r.exe: a program, not a release"), std::string::npos) << again.err;
  EXPECT_FALSE(PathExists(work / "again.exe"));
}
