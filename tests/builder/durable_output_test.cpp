// A release that replaces an earlier one lasts: qelpatch-build renames its
// temporary file over the target and then syncs the folder, as the patcher
// does, so a power cut cannot bring the earlier release back. A preloaded
// library records the real renames and folder syncs of the real builder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "tests/builder/command_support.h"
#include "tests/builder/game_support.h"
#include "tests/support/temp_folder.h"

namespace {
std::vector<std::string> Lines(const std::string& path) {
  const Bytes bytes = PathExists(path) ? ReadWholeFile(path) : Bytes{};
  std::istringstream text(std::string(bytes.begin(), bytes.end()));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}
}  // namespace

TEST(DurableOutput, TheFolderIsSyncedAfterTheReleaseIsRenamedOverTheEarlierOne) {
  CTempFolder old, latest, work, log;
  CPackageVersions package = MakePackageVersions(5, 50000);
  WriteWholeFile(old / "maps/b.pkg", package.old);
  WriteWholeFile(latest / "maps/b.pkg", package.latest);
  WriteWholeFile(work / "release.qpd", TextBytes("an earlier release"));

  const CCommandResult build = RunCommand(
      {QELPATCH_BUILD_TOOL, old.Path(), latest.Path(), "-o", work / "release.qpd", "-f"}, "",
      {std::string("LD_PRELOAD=") + QELPATCH_FOLDER_SYNC_PRELOAD,
       "QELPATCH_TEST_SYNC_LOG=" + log / "syncs"});
  ASSERT_EQ(build.exitCode, 0) << build.err;

  const std::vector<std::string> lines = Lines(log / "syncs");
  const std::string renamed = " " + work / "release.qpd";
  const auto rename = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.rfind("rename ", 0) == 0 && line.size() > renamed.size() &&
           line.compare(line.size() - renamed.size(), renamed.size(), renamed) == 0;
  });
  ASSERT_NE(rename, lines.end()) << testing::PrintToString(lines);
  const std::string folder = std::filesystem::canonical(work.Path()).string();
  const bool syncedAfter =
      std::find(rename + 1, lines.end(), "sync folder " + folder) != lines.end();
  EXPECT_TRUE(syncedAfter) << "no sync of " << folder << " after the rename in "
                           << testing::PrintToString(lines);
}
