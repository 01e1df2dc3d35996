// Releases built by qelpatch-build and applied by the Linux patcher: the old
// game folder must become the new one byte for byte, and a game that is not
// the old version must lose nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/byte_cursor.h"
#include "container/patch_container.h"
#include "tests/builder/command_support.h"
#include "tests/builder/game_support.h"
#include "tests/support/temp_folder.h"

namespace {
struct CGame {
  CTempFolder old;
  CTempFolder latest;
  CTempFolder work;
  std::string Release() const { return work / "release.qpd"; }

  void Both(const std::string& name, const Bytes& bytes) {
    WriteWholeFile(old / name, bytes);
    WriteWholeFile(latest / name, bytes);
  }
  void Change(const std::string& name, const Bytes& before, const Bytes& after) {
    WriteWholeFile(old / name, before);
    WriteWholeFile(latest / name, after);
  }
  CCommandResult Build(std::vector<std::string> options = {}) {
    options.insert(options.begin(), {old.Path(), latest.Path(), "-o", Release()});
    return RunBuilder(options);
  }
};

// Every kind of entry, in sub-folders, in new folders and at the top.
void MakeGames(CGame& game, uint32_t seed) {
  for (uint32_t i = 0; i < 3; ++i) {
    CPackageVersions package = MakePackageVersions(seed * 10 + i);
    game.Change(i == 0 ? "map0.pkg" : "data/map" + std::to_string(i) + ".pkg", package.old,
                package.latest);
  }
  game.Both("data/ui.pkg", MakePackageVersions(seed * 10 + 5, 20000).old);
  WriteWholeFile(game.latest / "data/event.pkg", MakePackageVersions(seed * 10 + 6, 30000).latest);
  game.Change("readme.txt", TextOfSize(5000, seed), TextOfSize(5200, seed + 1));
  Bytes binary = RandomBytes(150000, seed + 2);
  Bytes patched = binary;
  for (size_t at = 1000; at < patched.size(); at += 40000) patched[at] ^= 0x55;
  game.Change("bin/game.dll", binary, patched);
  game.Change("config/becomes-empty.ini", TextOfSize(300, seed + 3), {});
  WriteWholeFile(game.latest / "config/new-empty.ini", Bytes{});
  WriteWholeFile(game.latest / "config/new.ini", TextOfSize(700, seed + 4));
  game.Both("config/same.ini", TextOfSize(400, seed + 5));
  // New folders, two levels deep, come with their files.
  WriteWholeFile(game.latest / "music/zone/theme.ogg", RandomBytes(9000, seed + 6));
  WriteWholeFile(game.latest / "maps/zone/field.pkg",
                 MakePackageVersions(seed * 10 + 7, 9000).latest);
}

// The release's entries: name and the old offsets of its copy chunks.
std::vector<std::pair<std::string, std::vector<uint32_t>>> CopyOffsets(const Bytes& release) {
  std::vector<std::pair<std::string, std::vector<uint32_t>>> entries;
  CByteCursor cursor(release.data(), static_cast<uint32_t>(release.size()));
  const uint32_t count = cursor.ReadU32();
  for (uint32_t i = 0; i < count; ++i) {
    CEntryRecord record;
    ReadEntryRecord(cursor, record);
    std::vector<uint32_t> copies;
    CChunkRecord chunk;
    for (uint32_t c = 0; c < record.chunkCount; ++c) {
      ReadChunkRecord(cursor, chunk);
      if (!chunk.IsPayload()) copies.push_back(chunk.offset);
    }
    cursor.Skip(record.payloadSize);
    entries.push_back({record.name, copies});
  }
  return entries;
}
}  // namespace

TEST(ReleaseRoundTrip, RandomGamesBecomeTheNewVersionByteForByte) {
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    CGame game;
    MakeGames(game, seed);
    CCommandResult build = game.Build();
    ASSERT_EQ(build.exitCode, 0) << build.err;

    bool descending = false;
    for (const auto& [name, copies] : CopyOffsets(ContainerOf(ReadWholeFile(game.Release()))))
      for (size_t c = 1; c < copies.size(); ++c) descending |= copies[c] < copies[c - 1];
    EXPECT_TRUE(descending) << "the shuffled packages copy backwards somewhere";

    CCommandResult apply = RunPatcher(game.Release(), game.old.Path());
    EXPECT_EQ(apply.exitCode, 0) << apply.out << apply.err;
    EXPECT_EQ(FolderContents(game.old.Path()), FolderContents(game.latest.Path()))
        << "seed " << seed;
  }
}

// Players run a patch twice: every kind of entry must be known as done.
TEST(ReleaseRoundTrip, ASecondRunOnThePatchedGameCompletesAndChangesNothing) {
  CGame game;
  MakeGames(game, 7);
  // A film with ten bytes inserted travels stored, copied around the insert.
  Bytes movie = RandomBytes(1 << 20, 70);
  Bytes longer = movie;
  const Bytes inserted = RandomBytes(10, 71);
  longer.insert(longer.begin() + 500000, inserted.begin(), inserted.end());
  game.Change("movie.bik", movie, longer);
  ASSERT_EQ(game.Build().exitCode, 0);
  ASSERT_NE(RunBuilder({"--show", game.Release()}).out.find("stored+copies"), std::string::npos);

  for (int run = 1; run <= 2; ++run) {
    CCommandResult apply = RunPatcher(game.Release(), game.old.Path());
    EXPECT_EQ(apply.exitCode, 0) << "run " << run << "\n" << apply.out << apply.err;
    EXPECT_EQ(apply.out.find("This file is different"), std::string::npos) << apply.out;
    EXPECT_EQ(FolderContents(game.old.Path()), FolderContents(game.latest.Path())) << run;
  }
}

// A release compressed as a whole stores its archives; one carried as it is
// deflates them.
TEST(ReleaseRoundTrip, EveryKindOfEntryIsUsed) {
  const struct {
    std::vector<std::string> options;
    std::vector<const char*> kinds;
    const char* absent;
  } cases[] = {
      {{}, {"delta", "whole package", "archive, stored ", "archive, stored+copies"}, "deflated"},
      {{"--uncompressed"},
       {"delta", "whole package", "archive, deflated", "archive, stored+copies"},
       "compressed streams"},
  };
  for (const auto& c : cases) {
    CGame game;
    MakeGames(game, 9);
    ASSERT_EQ(game.Build(c.options).exitCode, 0);
    CCommandResult show = RunBuilder({"--show", game.Release()});
    ASSERT_EQ(show.exitCode, 0) << show.err;
    for (const char* kind : c.kinds)
      EXPECT_NE(show.out.find(kind), std::string::npos) << kind << "\n" << show.out;
    EXPECT_EQ(show.out.find(c.absent), std::string::npos) << show.out;
    CCommandResult apply = RunPatcher(game.Release(), game.old.Path());
    EXPECT_EQ(apply.exitCode, 0) << apply.out << apply.err;
    EXPECT_EQ(FolderContents(game.old.Path()), FolderContents(game.latest.Path()));
  }
}

// A package of the old size whose index differs (damaged, or edited) is
// asked about; one of another size is another version.
TEST(ReleaseRoundTrip, AnotherInstalledVersionIsAskedAboutAndLeftAlone) {
  CGame game;
  MakeGames(game, 5);
  ASSERT_EQ(game.Build().exitCode, 0);
  Bytes stranger = ReadWholeFile(game.old / "data/map1.pkg");
  WriteWholeFile(game.old / "data/map1.pkg", MakePackageVersions(99).old);
  CCommandResult other = RunPatcher(game.Release(), game.old.Path(), "n\n");
  EXPECT_EQ(other.exitCode, 1);
  EXPECT_NE(other.err.find("; the game folder holds another version\ndata/map1.pkg: "),
            std::string::npos)
      << other.err;
  EXPECT_EQ(other.out.find("This file is different"), std::string::npos) << other.out;

  stranger.back() ^= 0xFF;  // a byte of the index
  WriteWholeFile(game.old / "data/map1.pkg", stranger);
  const auto before = FolderContents(game.old.Path());

  CCommandResult no = RunPatcher(game.Release(), game.old.Path(), "n\n");
  EXPECT_EQ(no.exitCode, 1);
  EXPECT_NE(no.out.find("This file is different with PatchFile."), std::string::npos) << no.out;
  EXPECT_EQ(FolderContents(game.old.Path()), before);

  CCommandResult yes = RunPatcher(game.Release(), game.old.Path(), "y\n");
  EXPECT_EQ(yes.exitCode, 0) << yes.out;
  WriteWholeFile(game.latest / "data/map1.pkg", stranger);  // the one file left as it was
  EXPECT_EQ(FolderContents(game.old.Path()), FolderContents(game.latest.Path()));
}

// A file sent as an archive with copies from another installed version than
// the release was made from (of the same size) is asked about before any
// working file is written; after a Yes it stays as it was.
// The installed bytes a release reads, those a copy takes and those its
// differences are added to, must be the ones it was made from.
TEST(ReleaseRoundTrip, InstalledBytesFromAnotherVersionAreAskedAboutAndLeftAlone) {
  // In a copy, and under the differences where the new file changed; with
  // a change every 64 bytes, under covers.
  const struct {
    size_t changed, step;
    const char* form;
  } cases[] = {{1000, 4096, "payload as differences\n"},
               {8192, 4096, "payload as differences\n"},
               {8192, 64, "payload as differences along covers"}};
  for (const auto& [changed, step, form] : cases) {
    CGame game;
    Bytes binary = RandomBytes(200000, 3);
    Bytes patched = binary;
    for (size_t i = step; i < patched.size(); i += step) patched[i] ^= 1;
    game.Change("bin/game.dll", binary, patched);
    ASSERT_EQ(game.Build().exitCode, 0);
    const std::string review = RunBuilder({"--show", game.Release()}).out;
    ASSERT_NE(review.find("stored+copies"), std::string::npos) << review;
    ASSERT_NE(review.find(form), std::string::npos) << review;
    Bytes other = binary;
    other[changed] ^= 0x80;
    WriteWholeFile(game.old / "bin/game.dll", other);

    for (const char* answer : {"n\n", "y\n"}) {
      CCommandResult apply = RunPatcher(game.Release(), game.old.Path(), answer);
      EXPECT_NE(apply.out.find("This file is different with PatchFile."), std::string::npos)
          << changed << apply.out << apply.err;
      EXPECT_EQ(apply.exitCode, answer[0] == 'y' ? 0 : 1) << apply.err;
      EXPECT_EQ((apply.out + apply.err).find("Left as it was: bin/game.dll") != std::string::npos,
                answer[0] == 'y');
      EXPECT_EQ(ReadWholeFile(game.old / "bin/game.dll"), other);
      EXPECT_EQ(ListFiles(game.old.Path()), std::vector<std::string>{"bin/game.dll"});
    }
  }
}

// The patcher tells a package's version by its index alone. A package whose
// data changed under an unchanged index is sent whole, so applying the
// release to an already patched game cannot corrupt it.
TEST(ReleaseRoundTrip, PackageWithAnUnchangedIndexIsSentWhole) {
  CGame game;
  Bytes before = MakePackage(RandomBytes(50000, 4), {TextBytes("a.bin")}).bytes;
  Bytes after = before;
  after[1000] ^= 1;
  game.Change("a.pkg", before, after);
  CCommandResult build = game.Build();
  ASSERT_EQ(build.exitCode, 0);
  EXPECT_NE(build.err.find("a.pkg: the index is unchanged"), std::string::npos) << build.err;
  EXPECT_NE(RunBuilder({"--show", game.Release()}).out.find("whole package"), std::string::npos);

  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(RunPatcher(game.Release(), game.old.Path()).exitCode, 0);
    EXPECT_EQ(ReadWholeFile(game.old / "a.pkg"), after) << "run " << run;
  }
}

// A player's own edit of a settings file never stops the patch: such files
// travel whole, and --whole sends any file whole.
TEST(ReleaseRoundTrip, FilesAPlayerEditedAreStillPatched) {
  CGame game;
  Bytes settings = RandomBytes(40000, 21);
  Bytes newSettings = settings;
  newSettings[100] ^= 1;
  game.Change("config/game.ini", settings, newSettings);
  Bytes binary = RandomBytes(150000, 22);
  Bytes patched = binary;
  patched[70000] ^= 0x55;
  game.Change("bin/game.dll", binary, patched);
  ASSERT_EQ(RunBuilder({game.old.Path(), game.latest.Path(), "-o", game.Release(), "--whole",
                        "BIN/**/*.DLL"})
                .exitCode,
            0);
  EXPECT_EQ(RunBuilder({"--show", game.Release()}).out.find("stored+copies"), std::string::npos);
  settings[5000] ^= 1;
  binary[10] ^= 1;
  WriteWholeFile(game.old / "config/game.ini", settings);
  WriteWholeFile(game.old / "bin/game.dll", binary);
  CCommandResult run = RunPatcher(game.Release(), game.old.Path());
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(FolderContents(game.old.Path()), FolderContents(game.latest.Path()));
}
