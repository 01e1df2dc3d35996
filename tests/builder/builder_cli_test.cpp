// qelpatch-build as a release engineer runs it: what it writes, what it
// says, and what it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/version.h"
#include "tests/builder/command_support.h"
#include "tests/builder/game_support.h"
#include "tests/support/temp_folder.h"

namespace {
bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct CFolders {
  CTempFolder old;
  CTempFolder latest;
  CTempFolder work;
  std::string Release() const { return work / "release.qpd"; }
  CCommandResult Build() {
    return RunBuilder({old.Path(), latest.Path(), "-o", Release(), "--force"});
  }
};

void MakeSmallGame(CFolders& folders) {
  CPackageVersions package = MakePackageVersions(1, 50000);
  WriteWholeFile(folders.old / "maps/b.pkg", package.old);
  WriteWholeFile(folders.latest / "maps/b.pkg", package.latest);
  WriteWholeFile(folders.old / "a.txt", TextOfSize(100, 1));
  WriteWholeFile(folders.latest / "a.txt", TextOfSize(120, 2));
  WriteWholeFile(folders.latest / "maps/a.pkg", package.latest);
  WriteWholeFile(folders.latest / "maps-z.txt", TextOfSize(10, 3));
}
}  // namespace

TEST(BuilderCli, SameInputsGiveByteIdenticalReleases) {
  CFolders folders;
  MakeSmallGame(folders);
  ASSERT_EQ(folders.Build().exitCode, 0);
  const Bytes first = ReadWholeFile(folders.Release());
  // Copies of the folders elsewhere under the same names (the versions'
  // labels), with other file times.
  CTempFolder copies;
  const std::string old =
      copies / std::filesystem::path(folders.old.Path()).parent_path().filename().string();
  const std::string latest =
      copies / std::filesystem::path(folders.latest.Path()).parent_path().filename().string();
  std::filesystem::copy(folders.old.Path(), old, std::filesystem::copy_options::recursive);
  std::filesystem::copy(folders.latest.Path(), latest, std::filesystem::copy_options::recursive);
  ASSERT_EQ(RunBuilder({old, latest, "-o", copies / "again.qpd"}).exitCode, 0);
  EXPECT_EQ(ReadWholeFile(copies / "again.qpd"), first);
}

TEST(BuilderCli, EntriesAreOrderedByNameWithSlashes) {
  CFolders folders;
  MakeSmallGame(folders);
  CCommandResult build = folders.Build();
  ASSERT_EQ(build.exitCode, 0) << build.err;
  EXPECT_EQ(build.out.substr(0, build.out.find('\n') + 1),
            folders.Release() +
                ": 1 file rebuilt from the installed version, 3 sent whole; 0 files unchanged\n");
  CCommandResult show = RunBuilder({"--show", folders.Release()});
  ASSERT_EQ(show.exitCode, 0) << show.err;
  const size_t a = show.out.find(" a.txt\n"), mapsA = show.out.find(" maps/a.pkg\n"),
               mapsB = show.out.find(" maps/b.pkg\n"), mapsZ = show.out.find(" maps-z.txt\n");
  ASSERT_NE(mapsZ, std::string::npos) << show.out;
  EXPECT_LT(a, mapsZ);  // '-' sorts before '/'
  EXPECT_LT(mapsZ, mapsA);
  EXPECT_LT(mapsA, mapsB);
  EXPECT_TRUE(Contains(show.out, "4 entries")) << show.out;
}

TEST(BuilderCli, ShowGivesKindsCountsAndDigests) {
  CFolders folders;
  MakeSmallGame(folders);
  ASSERT_EQ(folders.Build().exitCode, 0);
  CCommandResult show = RunBuilder({"--show", folders.Release()});
  // The whole package: one chunk, its size as payload, nothing copied, and
  // no digest to check before.
  const std::string whole = "whole package                 1        " +
                            std::to_string(ReadWholeFile(folders.latest / "maps/a.pkg").size()) +
                            "              0  maps/a.pkg\n";
  EXPECT_TRUE(Contains(show.out, whole)) << show.out;
  EXPECT_TRUE(Contains(show.out, "before (none)  after ")) << show.out;
  const size_t delta = show.out.find("delta ");
  ASSERT_NE(delta, std::string::npos);
  const std::string digests = show.out.substr(show.out.find('\n', delta) + 1, 240);
  EXPECT_TRUE(Contains(digests, "before ")) << digests;
  EXPECT_FALSE(Contains(digests, "(none)")) << digests;
  // What the delta copies from the installed package, and only a copying
  // entry, has the digest the player's bytes must have.
  EXPECT_TRUE(Contains(digests, "  copied digest ")) << digests;
  EXPECT_EQ(show.out.find("  copied digest "), show.out.rfind("  copied digest ")) << show.out;
}

TEST(BuilderCli, ProgressBarOnlyOnATerminal) {
  CFolders folders;
  MakeSmallGame(folders);
  CCommandResult piped = folders.Build();
  EXPECT_EQ(piped.err.find('\r'), std::string::npos) << piped.err;
  // script(1) runs the builder on a pseudo-terminal.
  const std::string command = std::string("'") + QELPATCH_BUILD_TOOL + "' '" + folders.old.Path() +
                              "' '" + folders.latest.Path() + "' -o '" + folders.Release() + "' -f";
  CCommandResult terminal = RunCommand({"script", "-qec", command, "/dev/null"});
  EXPECT_EQ(terminal.exitCode, 0) << terminal.out;
  EXPECT_TRUE(Contains(terminal.out, "\r\033[K[")) << terminal.out;
  EXPECT_TRUE(Contains(terminal.out, "%  ")) << terminal.out;
}

TEST(BuilderCli, IdenticalFoldersGiveAnEmptyRelease) {
  CFolders folders;
  WriteWholeFile(folders.old / "a.txt", TextOfSize(100, 1));
  WriteWholeFile(folders.latest / "a.txt", TextOfSize(100, 1));
  ASSERT_EQ(folders.Build().exitCode, 0);
  EXPECT_EQ(ContainerOf(ReadWholeFile(folders.Release())), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(RunPatcher(folders.Release(), folders.old.Path()).exitCode, 0);
}

// The old version's files the new one lacks are removed, and their folders
// once empty; --keep leaves some installed, and the player's own files and
// the files the player changed stay.
TEST(BuilderCli, FilesTheNewVersionLacksAreRemoved) {
  CFolders folders;
  WriteWholeFile(folders.old / "gone.txt", TextOfSize(10, 1));
  WriteWholeFile(folders.old / "sub/gone.pkg", MakePackageVersions(2, 1000).old);
  WriteWholeFile(folders.old / "maps/gone.txt", TextOfSize(10, 2));
  WriteWholeFile(folders.old / "edited.txt", TextOfSize(10, 3));
  WriteWholeFile(folders.old / "logs/game.log", TextOfSize(10, 4));
  WriteWholeFile(folders.latest / "kept.txt", TextOfSize(10, 1));
  CCommandResult build = RunBuilder(
      {folders.old.Path(), folders.latest.Path(), "-o", folders.Release(), "--keep", "logs/*.log"});
  ASSERT_EQ(build.exitCode, 0) << build.err;
  EXPECT_TRUE(Contains(build.out, "removes 4 files of")) << build.out;
  EXPECT_TRUE(Contains(build.err, "stay installed:\n  logs/game.log\n")) << build.err;

  CTempFolder game;
  std::filesystem::copy(
      folders.old.Path(), game.Path(),
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  WriteWholeFile(game / "maps/mine.txt", TextBytes("the player's"));
  WriteWholeFile(game / "edited.txt", TextBytes("the player changed it"));
  const CCommandResult apply = RunPatcher(folders.Release(), game.Path());
  EXPECT_EQ(apply.exitCode, 0) << apply.out;
  EXPECT_TRUE(Contains(apply.err, "Left as it was: edited.txt")) << apply.err;
  EXPECT_EQ(ListFiles(game.Path()),
            (std::vector<std::string>{"edited.txt", "kept.txt", "logs/game.log", "maps/mine.txt"}));
  EXPECT_FALSE(std::filesystem::exists(game / "sub"));
}

// Each bad input on an otherwise good pair: a clear message naming the
// culprit, exit code 1, and no release written (an earlier one stays).
TEST(BuilderCli, RefusesBadInputWithoutWritingARelease) {
  struct Case {
    const char* what;
    void (*spoil)(CFolders&);
    const char* message;
  } cases[] = {
      {"missing old folder", [](CFolders& f) { std::filesystem::remove_all(f.old.Path()); },
       "no such folder"},
      {"invalid new package",
       [](CFolders& f) { WriteWholeFile(f.latest / "maps/b.pkg", TextOfSize(20, 1)); },
       "maps/b.pkg: not a valid package: shorter than the 32-byte package header"},
      {"invalid old package",
       [](CFolders& f) {
         Bytes bytes = ReadWholeFile(f.old / "maps/b.pkg");
         bytes.resize(bytes.size() - 3);
         WriteWholeFile(f.old / "maps/b.pkg", bytes);
       },
       "maps/b.pkg: not a valid package: index record"},
      {"backslash in a name",
       [](CFolders& f) { WriteWholeFile(f.latest / "maps\\c.txt", TextOfSize(5, 1)); },
       "cannot be patched on Windows"},
      {"special file", [](CFolders& f) { mkfifo((f.latest / "pipe").c_str(), 0600); },
       "pipe: not a regular file"},
      {"archive over 2 GiB",
       [](CFolders& f) {
         WriteWholeFile(f.latest / "movie.bik", Bytes{});
         std::filesystem::resize_file(f.latest / "movie.bik", uint64_t{2} << 30);
       },
       "movie.bik: 2 GiB or more"},
      {"package over 4 GiB",
       [](CFolders& f) { WriteSparsePackage(f.latest / "huge.pkg", uint64_t{4} << 30); },
       "huge.pkg: not a valid package: 4 GiB or more"},
      {"release over what QelPatch.exe can load",
       [](CFolders& f) { WriteSparsePackage(f.latest / "big.pkg", (uint64_t{1} << 30) + 1); },
       "bytes, over the limit of 1,073,741,824 bytes that the 32-bit QelPatch.exe can load"},
      {"names of one file on Windows",
       [](CFolders& f) { WriteWholeFile(f.latest / "MAPS/B.pkg", TextOfSize(5, 1)); },
       "MAPS/B.pkg and "},
      {"a device name", [](CFolders& f) { WriteWholeFile(f.latest / "aux.txt", TextOfSize(5, 1)); },
       "aux.txt: cannot be patched on Windows: \"aux.txt\" is a device name"},
      {"a name that is not ASCII",
       [](CFolders& f) { WriteWholeFile(f.latest / "r\xC3\xA9glages.ini", TextOfSize(5, 1)); },
       "the name is not ASCII"},
  };
  for (const Case& c : cases) {
    CFolders folders;
    MakeSmallGame(folders);
    WriteWholeFile(folders.Release(), TextBytes("an earlier release"));
    c.spoil(folders);
    CCommandResult build = folders.Build();
    EXPECT_EQ(build.exitCode, 1) << c.what;
    EXPECT_TRUE(Contains(build.err, c.message)) << c.what << ": " << build.err;
    EXPECT_EQ(ReadWholeFile(folders.Release()), TextBytes("an earlier release")) << c.what;
    EXPECT_EQ(ListFiles(folders.work.Path()), std::vector<std::string>{"release.qpd"}) << c.what;
  }
}

TEST(BuilderCli, OutputInAMissingFolderIsRefused) {
  CFolders folders;
  MakeSmallGame(folders);
  CCommandResult build =
      RunBuilder({folders.old.Path(), folders.latest.Path(), "-o", folders.work / "no/such.qpd"});
  EXPECT_EQ(build.exitCode, 1);
  EXPECT_TRUE(Contains(build.err, "cannot create")) << build.err;
}

TEST(BuilderCli, WrongUsageExitsWithTwo) {
  for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                {"old"},
                                                                {"old", "new"},
                                                                {"old", "new", "-o"},
                                                                {"old", "new", "-x", "r"},
                                                                {"--show"},
                                                                {"--show", "a", "b"},
                                                                {"--stamp", "r"},
                                                                {"--stamp", "r", "-o", "x"},
                                                                {"old", "new", "--exe"}}) {
    CCommandResult run = RunBuilder(args);
    EXPECT_EQ(run.exitCode, 2) << args.size();
    EXPECT_TRUE(Contains(run.err, "usage: qelpatch-build OLD_DIR... NEW_DIR [-o RELEASE]"))
        << run.err;
  }
  CCommandResult version = RunBuilder({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_TRUE(Contains(version.out, "qelpatch-build " QELPATCH_VERSION "\n")) << version.out;
}

TEST(BuilderCli, ShowRefusesWhatThePatcherRefuses) {
  CFolders folders;
  MakeSmallGame(folders);
  ASSERT_EQ(folders.Build().exitCode, 0);
  // The container's own rules, on a release file without its manifest.
  Bytes release = ContainerOf(ReadWholeFile(folders.Release()));
  Bytes truncated(release.begin(), release.end() - 1);
  Bytes extra = release;
  extra.push_back(0);
  Bytes copyFirst = release;
  copyFirst[4 + 1100] = 0;  // the first entry's first chunk becomes a copy chunk
  struct Case {
    const char* what;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"truncated", truncated, "runs past the end"},
      {"byte left over", extra, "bytes left after the last entry"},
      {"copy chunk first", copyFirst, "first chunk is a copy chunk"},
      {"too short", Bytes{1, 0}, "container shorter than its entry count"},
  };
  for (const Case& c : cases) {
    WriteWholeFile(folders.work / "bad.qpd", c.bytes);
    CCommandResult show = RunBuilder({"--show", folders.work / "bad.qpd"});
    EXPECT_EQ(show.exitCode, 1) << c.what;
    EXPECT_TRUE(Contains(show.err, "the patcher would refuse this release")) << c.what << show.err;
    EXPECT_TRUE(Contains(show.err, c.message)) << c.what << ": " << show.err;
  }
  // Larger than QelPatch.exe can load: the same verdict as the builder's.
  WriteWholeFile(folders.work / "big.qpd", Bytes{});
  std::filesystem::resize_file(folders.work / "big.qpd", (uint64_t{1} << 30) + 1);
  CCommandResult big = RunBuilder({"--show", folders.work / "big.qpd"});
  EXPECT_EQ(big.exitCode, 1);
  EXPECT_TRUE(Contains(big.err, "1073741825 bytes, over the limit of 1073741824 bytes")) << big.err;

  CCommandResult missing = RunBuilder({"--show", folders.work / "none.qpd"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(Contains(missing.err, "cannot open")) << missing.err;
}

TEST(BuilderCli, OptionsTakeTheirValueEitherWayAndHelpOrVersionAnywhere) {
  CFolders folders;
  MakeSmallGame(folders);
  ASSERT_EQ(RunBuilder({folders.old.Path(), folders.latest.Path(), "-o", folders.work / "a.qpd",
                        "--whole", "maps/*.pkg", "--exclude", "a.txt"})
                .exitCode,
            0);
  ASSERT_EQ(RunBuilder({"--exclude=a.txt", folders.old.Path(), "--whole=maps/*.pkg",
                        folders.latest.Path(), "-o", folders.work / "b.qpd"})
                .exitCode,
            0);
  EXPECT_EQ(ReadWholeFile(folders.work / "a.qpd"), ReadWholeFile(folders.work / "b.qpd"));
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"old", "--help"}, {"--show", "x", "-h"}, {"--bogus", "--help"}}) {
    const CCommandResult help = RunBuilder(args);
    EXPECT_EQ(help.exitCode, 0) << args[0];
    EXPECT_EQ(help.out.find("usage: qelpatch-build OLD_DIR... NEW_DIR"), 0u) << help.out;
  }
  const CCommandResult version = RunBuilder({"old", "new", "--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "qelpatch-build " QELPATCH_VERSION "\n");
}

// Left out in both folders, files and folders alike: what a release must
// not carry (a version control folder, the thumbnails Windows leaves).
TEST(BuilderCli, ExcludedPathsAreLeftOutOfBothFolders) {
  CFolders folders;
  MakeSmallGame(folders);
  for (const CTempFolder* side : {&folders.old, &folders.latest}) {
    WriteWholeFile(*side / ".git/HEAD", TextOfSize(10, side == &folders.old ? 1 : 2));
    WriteWholeFile(*side / "maps/Thumbs.db", TextOfSize(10, side == &folders.old ? 3 : 4));
  }
  WriteWholeFile(folders.latest / "maps/b.pkg.bak", TextOfSize(10, 5));
  const CCommandResult build =
      RunBuilder({folders.old.Path(), folders.latest.Path(), "-o", folders.Release(), "--exclude",
                  ".git", "--exclude", "**/thumbs.DB", "--exclude", "maps/*.bak"});
  ASSERT_EQ(build.exitCode, 0) << build.err;
  const CCommandResult show = RunBuilder({"--show", folders.Release(), "--json"});
  EXPECT_EQ(show.out.find(".git"), std::string::npos) << show.out;
  EXPECT_EQ(show.out.find("Thumbs.db"), std::string::npos) << show.out;
  EXPECT_EQ(show.out.find(".bak"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("\"maps/b.pkg\""), std::string::npos) << show.out;
}

TEST(BuilderCli, LinksInsideTheFolderAreTakenWhenFollowed) {
  CFolders folders;
  MakeSmallGame(folders);
  std::filesystem::create_symlink("a.txt", folders.latest / "alias.txt");
  std::filesystem::create_directory_symlink("maps", folders.latest / "levels");
  const CCommandResult build = RunBuilder(
      {folders.old.Path(), folders.latest.Path(), "-o", folders.Release(), "--follow-links"});
  ASSERT_EQ(build.exitCode, 0) << build.err;
  CTempFolder game;
  std::filesystem::copy(folders.old.Path(), game.Path(), std::filesystem::copy_options::recursive);
  ASSERT_EQ(RunPatcher(folders.Release(), game.Path()).exitCode, 0);
  EXPECT_EQ(ReadWholeFile(game / "alias.txt"), ReadWholeFile(folders.latest / "a.txt"));
  EXPECT_EQ(ReadWholeFile(game / "levels/b.pkg"), ReadWholeFile(folders.latest / "maps/b.pkg"));
}

TEST(BuilderCli, FoldersOfTheSameFilesAreWarnedOfAndGiveAnEmptyRelease) {
  CFolders folders;
  WriteWholeFile(folders.old / "a.txt", TextOfSize(100, 1));
  WriteWholeFile(folders.latest / "a.txt", TextOfSize(100, 1));
  const CCommandResult build = folders.Build();
  EXPECT_EQ(build.exitCode, 0);
  EXPECT_NE(build.err.find("warning: nothing to patch: "), std::string::npos) << build.err;
  EXPECT_EQ(ContainerOf(ReadWholeFile(folders.Release())), (Bytes{0, 0, 0, 0}));
}

// The command line's conventions, each through the real builder on the small
// game: what it prints where, and what it takes. `out` and `err`: null, not
// looked at; "", empty; otherwise a part of it.
TEST(BuilderCli, CommandLineConventions) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    int exitCode;
    const char* out;
    const char* err;
    const char* errLacks = nullptr;
  } cases[] = {
      {"-V is --version", {"%old", "-V"}, 0, "qelpatch-build " QELPATCH_VERSION "\n", ""},
      {"-oFILE",
       {"%old", "%new", "-o%work/release.qpd"},
       0,
       "release.qpd: 1 file rebuilt",
       nullptr},
      {"-o=FILE",
       {"%old", "%new", "-o=%work/release.qpd"},
       0,
       "release.qpd: 1 file rebuilt",
       nullptr},
      {"-- ends the options",
       {"-o", "%work/release.qpd", "--", "%old", "%new"},
       0,
       "release.qpd: ",
       nullptr},
      {"after --, an option is an operand",
       {"--", "%old", "%new", "-o", "%work/release.qpd"},
       2,
       "",
       "give the release to write with -o"},
      {"-q prints nothing", {"%old", "%new", "-o", "%work/release.qpd", "-q"}, 0, "", ""},
      {"--quiet with a warning",
       {"%old", "%new", "-o", "%work/release.qpd", "--quiet", "--exclude", "x"},
       0,
       "",
       ""},
      {"-q keeps errors",
       {"%old", "%work/none", "-o", "%work/release.qpd", "-q"},
       1,
       "",
       "no such folder"},
      {"a stage per line off a terminal",
       {"%old", "%new", "-o", "%work/release.qpd"},
       0,
       nullptr,
       "qelpatch-build: matching 4 files, "},
      {"-v names each file planned",
       {"%old", "%new", "-o", "%work/release.qpd", "-v"},
       0,
       nullptr,
       "\n  maps/a.pkg: new, sent whole\n  maps/b.pkg: rebuilt from the installed version\n"},
      {"an --exclude that matches nothing",
       {"%old", "%new", "-o", "%work/release.qpd", "--exclude", "**/*.bak"},
       0,
       nullptr,
       "warning: --exclude '**/*.bak' matches nothing in "},
      {"a --whole that matches nothing",
       {"%old", "%new", "-o", "%work/release.qpd", "--whole", "a.pkg"},
       0,
       nullptr,
       "warning: --whole 'a.pkg' matches no file of "},
      {"a --keep that matches nothing",
       {"%old", "%new", "-o", "%work/release.qpd", "--keep", "a.txt"},
       0,
       nullptr,
       "warning: --keep 'a.txt' matches no file of "},
      {"a pattern that matches is not warned of",
       {"%old", "%new", "-o", "%work/release.qpd", "--exclude", "MAPS-Z.txt", "--whole", "maps/*"},
       0,
       nullptr,
       "qelpatch-build: checking 3 files",
       "warning"},
      {"-q and -v",
       {"%old", "%new", "-o", "%work/release.qpd", "-q", "-v"},
       2,
       "",
       "--quiet and --verbose do not go together"},
      {"short flags are not joined",
       {"%old", "%new", "-o", "%work/release.qpd", "-fq"},
       2,
       "",
       "unknown option -fq"},
      {"-v is for builds",
       {"--show", "%work/release.qpd", "-v"},
       2,
       "",
       "--show does not take --verbose"},
  };
  CFolders folders;
  MakeSmallGame(folders);
  for (const Case& c : cases) {
    std::vector<std::string> args;
    for (std::string arg : c.args) {
      for (const auto& [from, to] : {std::make_pair("%old", folders.old.Path()),
                                     std::make_pair("%new", folders.latest.Path()),
                                     std::make_pair("%work", folders.work.Path())})
        if (arg.find(from) != std::string::npos)
          arg.replace(arg.find(from), std::string(from).size(), to);
      args.push_back(arg);
    }
    std::filesystem::remove(folders.Release());
    const CCommandResult run = RunBuilder(args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.what << ": " << run.err;
    for (const auto& [text, expected] :
         {std::make_pair(&run.out, c.out), std::make_pair(&run.err, c.err)}) {
      if (!expected) continue;
      if (*expected == '\0') {
        EXPECT_EQ(*text, "") << c.what;
      } else {
        EXPECT_TRUE(Contains(*text, expected)) << c.what << ": " << *text;
      }
    }
    if (c.errLacks) {
      EXPECT_FALSE(Contains(run.err, c.errLacks)) << c.what << ": " << run.err;
    }
    // Every build that succeeds writes the release.
    if (c.exitCode == 0 && c.args.size() > 2) {
      EXPECT_TRUE(std::filesystem::exists(folders.Release())) << c.what;
    }
  }
}
