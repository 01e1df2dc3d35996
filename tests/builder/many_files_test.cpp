// A game of 200,000 files, most of them small and 70,000 of them changed:
// more files than the system lets one process map at once (65,530), which is
// what a builder that keeps its inputs mapped runs into.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/builder/command_support.h"
#include "tests/builder/game_support.h"
#include "tests/support/temp_folder.h"

namespace {
constexpr int kFolders = 400;
constexpr int kFilesPerFolder = 500;
constexpr int kChangedEvery = 3;  // about 70,000 changed files

void Write(const std::string& path, const char* data, size_t size) {
  std::ofstream(path, std::ios::binary).write(data, static_cast<std::streamsize>(size));
}
}  // namespace

TEST(ManyFiles, TwoHundredThousandFilesBuildIntoOneRelease) {
  CTempFolder old, latest, work;
  const Bytes noise = RandomBytes(4096, 5);
  int changed = 0;
  for (int f = 0; f < kFolders; ++f) {
    const std::string folder = "data" + std::to_string(f) + "/";
    WriteWholeFile(old / (folder + "0.txt"), Bytes{});
    WriteWholeFile(latest / (folder + "0.txt"), Bytes{});
    for (int i = 1; i < kFilesPerFolder; ++i) {
      const std::string name = folder + std::to_string(i) + ".txt";
      const size_t size = 64 + (f * 7 + i * 13) % 2000;
      const char* bytes = reinterpret_cast<const char*>(noise.data()) + (i % 1024);
      Write(old / name, bytes, size);
      if (i % kChangedEvery == 0) {
        ++changed;
        Write(latest / name, bytes + 1, size);
      } else {
        Write(latest / name, bytes, size);
      }
    }
  }
  // A few large files among them.
  CPackageVersions package = MakePackageVersions(8, 8 << 20);
  WriteWholeFile(old / "big/world.pkg", package.old);
  WriteWholeFile(latest / "big/world.pkg", package.latest);
  ASSERT_GT(changed, 65530);

  CCommandResult build = RunBuilder({old.Path(), latest.Path(), "-o", work / "r.qpd"});
  ASSERT_EQ(build.exitCode, 0) << build.err;
  EXPECT_NE(build.out.find("1 file rebuilt from the installed version, " + std::to_string(changed) +
                           " sent whole"),
            std::string::npos)
      << build.out;
  CCommandResult show = RunBuilder({"--show", work / "r.qpd"});
  EXPECT_EQ(show.exitCode, 0) << show.err;
  EXPECT_NE(show.out.find(std::to_string(changed + 1) + " entries"), std::string::npos);
}
