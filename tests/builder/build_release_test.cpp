// BuildRelease in process, where the size limit can be a test's own: a
// release that is not carried compressed is the one --uncompressed writes,
// however the compressed attempt ended.
#include "builder/build_release.h"

#include <gtest/gtest.h>

#include "builder/release_limits.h"
#include "tests/builder/game_support.h"
#include "tests/support/temp_folder.h"

namespace {
// A package delta, archives stored with copies, deflated and whole, a new
// file: every kind of entry the fallback writes again.
struct CGamePair {
  CGamePair() {
    const CPackageVersions package = MakePackageVersions(3);
    WriteWholeFile(root / "old/data/map.pkg", package.old);
    WriteWholeFile(root / "new/data/map.pkg", package.latest);
    Bytes binary = RandomBytes(300000, 4);
    WriteWholeFile(root / "old/bin/game.dll", binary);
    binary[150000] ^= 0x5A;
    WriteWholeFile(root / "new/bin/game.dll", binary);
    Bytes text = TextOfSize(400000, 5);
    WriteWholeFile(root / "old/text/quests.lua", text);
    text[200000] ^= 0x20;
    WriteWholeFile(root / "new/text/quests.lua", text);
    // Its copies beat storing it, and lose to deflating it.
    const Bytes story = TextOfSize(150000, 6);
    Bytes edited(story.begin(), story.begin() + 60000);
    const Bytes added = TextOfSize(90000, 7);
    edited.insert(edited.end(), added.begin(), added.end());
    WriteWholeFile(root / "old/text/story.txt", story);
    WriteWholeFile(root / "new/text/story.txt", edited);
    WriteWholeFile(root / "new/text/new.txt", TextOfSize(90000, 8));
    WriteWholeFile(root / "new/config.ini", TextOfSize(2000, 9));
  }

  CBuildOptions Options(const std::string& release, bool compress) const {
    CBuildOptions options;
    options.operands = {root / "old", root / "new"};
    options.releasePath = root / release;
    options.compress = compress;
    return options;
  }

  CTempFolder root;
};

bool Build(const CBuildOptions& options, uint64_t sizeLimit, CBuiltRelease& built,
           std::string& why) {
  CProgressBar silent(CProgressBar::CMode::kSilent);
  return BuildRelease(options, sizeLimit, silent, built, &why);
}

TEST(BuildRelease, NotCarriedCompressedIsTheUncompressedRelease) {
  CGamePair game;
  CBuiltRelease built;
  std::string why;
  ASSERT_TRUE(Build(game.Options("uncompressed.qpd", false), kReleaseSizeLimit, built, why)) << why;
  const Bytes uncompressed = ReadWholeFile(game.root / "uncompressed.qpd");
  const CReleaseCounts counts = built.steps[0].counts;
  ASSERT_TRUE(Build(game.Options("compressed.qpd", true), kReleaseSizeLimit, built, why)) << why;
  ASSERT_TRUE(built.steps[0].compressed);
  const uint64_t stored = built.steps[0].containerSize;
  ASSERT_LT(uncompressed.size(), stored);

  const struct {
    const char* name;
    uint64_t sizeLimit;
  } cases[] = {
      // The stored container is written whole, and only its archives are
      // deflated again.
      {"unpacked, the container would not fit the limit", stored},
      // Nothing of the stored container is kept: every entry is planned again.
      {"stored, the container passes the limit", uncompressed.size()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string release = "limit-" + std::to_string(c.sizeLimit) + ".qpd";
    ASSERT_TRUE(Build(game.Options(release, true), c.sizeLimit, built, why)) << why;
    EXPECT_FALSE(built.steps[0].compressed);
    EXPECT_EQ(ReadWholeFile(game.root / release), uncompressed);
    // The counts are of the release written: story.txt copies only when stored.
    EXPECT_EQ(built.steps[0].counts.rebuilt, counts.rebuilt);
    EXPECT_EQ(built.steps[0].counts.whole, counts.whole);
  }
}

TEST(BuildRelease, DeflatedOverTheLimitIsRefusedWithItsSize) {
  CGamePair game;
  CBuiltRelease built;
  std::string why;
  ASSERT_TRUE(Build(game.Options("uncompressed.qpd", false), kReleaseSizeLimit, built, why)) << why;
  const uint64_t container = ContainerOf(ReadWholeFile(game.root / "uncompressed.qpd")).size();
  ASSERT_FALSE(Build(game.Options("over.qpd", true), container - 1, built, why));
  EXPECT_NE(why.find("the release would be "), std::string::npos) << why;
  EXPECT_NE(why.find(" bytes that the 32-bit QelPatch.exe can load"), std::string::npos) << why;
  EXPECT_FALSE(PathExists(game.root / "over.qpd"));
}

// The stored plan is of the file as it was; deflated again, the file as it
// is now must be the same one.
TEST(DeflateStoredArchive, AFileChangedSincePlanningIsRefusedNamingIt) {
  CTempFolder folder;
  const std::string path = folder / "quests.lua";
  WriteWholeFile(path, TextOfSize(100000, 10));
  CMappedFile planned;
  std::string why;
  ASSERT_TRUE(planned.Open(path, &why)) << why;
  CEntryPlan stored;
  ASSERT_TRUE(PlanArchiveEntry({"quests.lua", nullptr, &planned, false}, false, {}, stored, &why))
      << why;
  WriteWholeFile(path + ".new", TextOfSize(100000, 11));
  CMappedFile changed;
  ASSERT_TRUE(changed.Open(path + ".new", &why)) << why;
  CEntryPlan entry;
  EXPECT_FALSE(DeflateStoredArchive(stored, changed, entry, &why));
  EXPECT_EQ(why, ChangedWhileRead(path + ".new"));
}
}  // namespace
