// A release with a manifest ends completed only when every file is exactly
// its new version: a damaged download, damaged installed bytes, a second
// patcher and a full disk all end the run before any installed file changes.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "base/path_text.h"
#include "platform/files.h"
#include "platform/folder_lock.h"
#include "tests/support/fault_hook.h"
#include "tests/support/release_runs.h"
#include "tests/support/zip_maker.h"

namespace {
using CGameFiles = std::map<std::string, Bytes>;

// A game of every entry kind: a delta, a new package in a new folder, a
// deflated and a stored archive, one stored with copies, and X beside X.zip.
struct CGame {
  CGameFiles before;
  CGameFiles after;
  Bytes release;
  Bytes compressed;  // the same release, its container carried compressed
  Bytes streams;     // and carried as streams

  CGame() {
    CPackagePair delta = MakePackagePair("data/map.pkg", 41);
    const Bytes movieOld = RandomBytes(6000, 42);
    const Bytes fresh = RandomBytes(90, 43);
    Bytes movieNew = movieOld;
    movieNew.insert(movieNew.begin() + 2500, fresh.begin(), fresh.end());
    before = {{"data/map.pkg", delta.oldPackage.bytes},
              {"setup.ini", TextBytes("volume=3\n")},
              {"movie.bik", movieOld},
              {"X", TextBytes("old X")}};
    after = {{"data/map.pkg", delta.newPackage.bytes},
             {"newdir/fresh.pkg", MakePackage(RandomBytes(3000, 44), {TextBytes("f")}).bytes},
             {"setup.ini", TextBytes(std::string(900, 's') + "volume=5\n")},
             {"notes.txt", RandomBytes(700, 45)},
             {"movie.bik", movieNew},
             {"X", TextBytes("new X")},
             {"X.zip", RandomBytes(400, 46)}};
    const std::vector<CEntryPlan> entries = {
        DeltaEntry(delta),
        WholeEntry("newdir/fresh.pkg", after["newdir/fresh.pkg"]),
        ArchiveEntry("setup.ini", after["setup.ini"], true),
        ArchiveEntry("notes.txt", after["notes.txt"], false),
        StoredWithCopiesEntry(
            "movie.bik", movieNew,
            {CChunkPlan::Copy(0, 2500), CChunkPlan::Payload(fresh), CChunkPlan::Copy(2500, 3500)}),
        ArchiveEntry("X", after["X"], false),
        ArchiveEntry("X.zip", after["X.zip"], true)};
    std::vector<CFileVersions> files;
    for (const CEntryPlan& entry : entries) {
      auto old = before.find(entry.name);
      files.push_back({old == before.end() ? nullptr : &old->second, after[entry.name]});
    }
    release = BuildRelease(entries, files);
    compressed = CompressedRelease(release);
    streams = StreamsRelease(release, files);
  }
};

const char kDamagedDownload[] = "The patch data is damaged; download the patch again";

class ReleaseIntegrity : public testing::Test {
 protected:
  void SetUp() override {
    ResetTestHost();
    Install(game.before);
  }

  void Install(const CGameFiles& files) {
    for (const auto& [name, bytes] : files) WriteWholeFile(folder / name, bytes);
  }

  // The folder holds exactly these files.
  void ExpectGame(const CGameFiles& files, const std::string& what) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files) {
      names.push_back(name);
      EXPECT_EQ(ReadWholeFile(folder / name), bytes) << what << ": " << name;
    }
    EXPECT_EQ(ListFiles(folder.Path()), names) << what;
  }

  CGame game;
  CTempFolder folder;
};
}  // namespace

TEST_F(ReleaseIntegrity, AWholeReleaseMakesEveryFileNewAndASecondRunKeepsIt) {
  ASSERT_LT(game.compressed.size(), game.release.size());
  for (const Bytes* release : {&game.release, &game.compressed, &game.streams}) {
    Install(game.before);
    for (int run = 0; run < 2; ++run) {
      CRunOutcome outcome = RunWorker(*release, folder.Path());
      EXPECT_EQ(outcome.results, std::vector<uintptr_t>{1}) << outcome.status;
      EXPECT_TRUE(outcome.questions.empty());
      ExpectGame(game.after, "run " + std::to_string(run));
    }
  }
}

// A damaged download: every single-bit flip, wherever it falls (container,
// manifest, trailer), is refused before a file is touched. Carried as
// streams, the payload is found damaged only as the run unpacks it, and is
// still never taken for a damaged installed file.
TEST_F(ReleaseIntegrity, EveryFlippedBitOfTheReleaseIsRefusedBeforeAnythingChanges) {
  uint32_t state = 12345;
  for (const Bytes* release : {&game.release, &game.compressed, &game.streams}) {
    for (int flip = 0; flip < 300; ++flip) {
      state = state * 1664525u + 1013904223u;
      // The last bytes (manifest and trailer) are hit as often as the rest.
      const size_t at =
          flip % 3 == 0 ? release->size() - 1 - state % 1500 : state % release->size();
      Bytes damaged = *release;
      damaged[at] ^= static_cast<uint8_t>(1u << (state >> 29));
      CRunOutcome outcome = RunWorker(damaged, folder.Path());
      const std::string what = std::string(release == &game.release      ? "stored"
                                           : release == &game.compressed ? "compressed"
                                                                         : "streams") +
                               ": bit " + std::to_string(state >> 29) + " of byte " +
                               std::to_string(at);
      EXPECT_EQ(outcome.results, std::vector<uintptr_t>{0}) << what;
      EXPECT_EQ(outcome.status.rfind(kDamagedDownload, 0), 0u) << what << ": " << outcome.status;
      ExpectGame(game.before, what);
      if (HasFailure()) return;
    }
  }
}

// Carried as streams, the payload's digest is known only once the run has
// unpacked all of it: a payload that unpacks, but not to what the manifest
// says, installs nothing, and is never taken for damaged installed files,
// also when a file made of it is not its new version.
TEST_F(ReleaseIntegrity, APayloadNotAsTheManifestSaysInstallsNothing) {
  CReleaseView view;
  std::string why;
  ASSERT_TRUE(ReadReleaseManifest(game.streams.data(), game.streams.size(), view, &why)) << why;
  for (bool fileDiffers : {false, true}) {
    CReleaseManifest manifest = view.manifest;
    manifest.payloadDigest.bytes[0] ^= 1;
    if (fileDiffers) manifest.entries[0].newDigest.bytes[0] ^= 1;
    Bytes release(game.streams.begin(), game.streams.begin() + view.carriedSize);
    const Bytes sealed = ManifestBytes(manifest);
    release.insert(release.end(), sealed.begin(), sealed.end());
    CRunOutcome outcome = RunWorker(release, folder.Path());
    EXPECT_EQ(outcome.results, std::vector<uintptr_t>{0}) << fileDiffers;
    EXPECT_EQ(outcome.status, kDamagedDownload) << fileDiffers;
    EXPECT_EQ(outcome.detail, "the digest of the container's payload does not match");
    ExpectGame(game.before, fileDiffers ? "a file differs" : "every file as listed");
  }
}

// Bytes the patch copies from installed files, damaged or edited by the
// player: the run names the file and installs nothing.
TEST_F(ReleaseIntegrity, DamagedCopiedBytesOfAnInstalledFileStopTheRunNamingIt) {
  const struct {
    const char* name;
    size_t at;  // inside a range the entry copies, outside a package's index
    const char* status;
  } cases[] = {
      {"data/map.pkg", 32 + 12500,
       "data/map.pkg: the installed file is damaged; repair or "
       "reinstall the game"},
      {"movie.bik", 4000, "movie.bik: not the version this patch expects"},
  };
  for (const auto& c : cases) {
    CGameFiles damaged = game.before;
    damaged[c.name][c.at] ^= 0x10;
    Install(damaged);
    CRunOutcome outcome = RunWorker(game.release, folder.Path());
    EXPECT_EQ(outcome.results, std::vector<uintptr_t>{0}) << c.name;
    EXPECT_EQ(outcome.status, c.status);
    ExpectGame(damaged, c.name);
    Install(game.before);
  }
}

TEST_F(ReleaseIntegrity, AFinishedGameWithADamagedPackageIsNotCalledComplete) {
  ASSERT_EQ(RunWorker(game.release, folder.Path()).results, std::vector<uintptr_t>{1});
  CGameFiles damaged = game.after;
  damaged["data/map.pkg"][40] ^= 1;  // data, not the index: the index digest is the new one
  Install(damaged);
  CRunOutcome outcome = RunWorker(game.release, folder.Path());
  EXPECT_EQ(outcome.results, std::vector<uintptr_t>{0});
  EXPECT_EQ(outcome.status,
            "data/map.pkg: the installed file is damaged; repair or reinstall the game");
  ExpectGame(damaged, "after the second run");
}

TEST_F(ReleaseIntegrity, ASecondPatcherOnTheSameFolderEndsBeforeTouchingIt) {
  CRunOutcome outcome;
  {
    // Windows keeps the lock as a file in the folder while it is held.
    platform::CFolderLock first;
    ASSERT_EQ(first.Lock(folder.Path()), platform::CFolderLockResult::kLocked);
    outcome = RunWorker(game.release, folder.Path());
  }
  EXPECT_EQ(outcome.results, std::vector<uintptr_t>{0});
  EXPECT_EQ(outcome.status, "Another patch is running in this game folder");
  ExpectGame(game.before, "while locked");
}

TEST_F(ReleaseIntegrity, AFullDiskEndsTheRunBeforeAnyWorkingFileIsMade) {
  CScopedFaultHook hook([](platform::FileOp op, const std::string&) {
    return op == platform::FileOp::QuerySpace ? platform::Fault::ShortWrite : platform::Fault::None;
  });
  CRunOutcome outcome = RunWorker(game.release, folder.Path());
  EXPECT_EQ(outcome.results, std::vector<uintptr_t>{0});
  EXPECT_EQ(outcome.status.rfind("Not enough disk space: the patch needs ", 0), 0u)
      << outcome.status;
  EXPECT_NE(outcome.status.find("0.0 MB are free"), std::string::npos) << outcome.status;
  ExpectGame(game.before, "full disk");
}

// Names written for a Windows code page reach a UTF-8 system (Linux) as the
// same characters, and a system of that code page as they stand.
TEST_F(ReleaseIntegrity, NamesForACodePageAreInstalledAsTheSameCharacters) {
  const uint32_t system = platform::AnsiCodePage();
  if (system != kCodePageUtf8 && system != 1252) GTEST_SKIP() << "code page " << system;
  const Bytes content = TextBytes("caf\xc3\xa9");
  const CEntryPlan entry = ArchiveEntry("caf\xe9.txt", content, false);  // 1252: é is E9
  CRunOutcome outcome = RunWorker(BuildRelease({entry}, {{nullptr, content}}, 1252), folder.Path());
  EXPECT_EQ(outcome.results, std::vector<uintptr_t>{1}) << outcome.status;
  EXPECT_EQ(ReadWholeFile(folder / (system == kCodePageUtf8 ? "caf\xc3\xa9.txt" : "caf\xe9.txt")),
            content);
}

// The sizes of a hand-made manifest never wrap the sums made of them (the
// room a run needs): two new sizes of 2^63 are a damaged release.
// The release with its manifest changed by `edit`, as a hand-made one.
Bytes HandMade(const Bytes& release, const std::function<void(CReleaseManifest&)>& edit) {
  CReleaseView view;
  std::string why;
  EXPECT_TRUE(ReadReleaseFile(release.data(), release.size(), view, &why)) << why;
  edit(view.manifest);
  Bytes handMade(view.container, view.container + view.containerSize);
  const Bytes manifest = ManifestBytes(view.manifest);
  handMade.insert(handMade.end(), manifest.begin(), manifest.end());
  return handMade;
}

TEST_F(ReleaseIntegrity, SizesAddingUpPast2To64AreADamagedRelease) {
  const Bytes a = TextBytes("a"), b = TextBytes("b");
  const Bytes release =
      BuildRelease({ArchiveEntry("a.txt", a, false), ArchiveEntry("b.txt", b, false)},
                   {{nullptr, a}, {nullptr, b}});
  const Bytes handMade = HandMade(release, [](CReleaseManifest& manifest) {
    for (CManifestEntry& entry : manifest.entries) entry.newSize = uint64_t{1} << 63;
  });
  CRunOutcome outcome = RunWorker(handMade, folder.Path());
  EXPECT_EQ(outcome.status, kDamagedDownload);
  EXPECT_EQ(outcome.detail, "the files the patch makes add up to more than 2^64 - 1 bytes");
  ExpectGame(game.before, "sizes of 2^63");
}

// The old version's files the new one lacks go only when every new file is
// in place and only while they are the old version's; their folders go
// once empty, and the player's files stay.
TEST_F(ReleaseIntegrity, RemovedFilesGoOnlyWithEveryNewFileInPlace) {
  const Bytes dropped = TextBytes("an old script");
  const Bytes release = HandMade(game.release, [&](CReleaseManifest& manifest) {
    manifest.removed = {
        {"old/script.lua", dropped.size(), CContentDigest::Of(dropped.data(), dropped.size())}};
    manifest.removedFolders = {"old", "old/empty"};
  });
  const struct {
    const char* what;
    Bytes installed;   // old/script.lua as the player has it
    bool playersFile;  // old/mine.txt beside it
    bool failReplace;  // a new file cannot be installed
    bool gone;         // old/script.lua after the run
    const char* completion;
  } cases[] = {
      {"the old version's", dropped, false, false, true, "Patch Complete."},
      {"beside the player's file", dropped, true, false, true, "Patch Complete."},
      {"changed by the player", TextBytes("edited"), false, false, false,
       "Patch Complete. Left as it was: old/script.lua"},
      {"a new file not installed", dropped, false, true, false, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CTempFolder run;
    for (const auto& [name, bytes] : game.before) WriteWholeFile(run / name, bytes);
    WriteWholeFile(run / "old/script.lua", c.installed);
    ASSERT_TRUE(platform::CreateFolder(run / "old/empty"));
    if (c.playersFile) WriteWholeFile(run / "old/mine.txt", TextBytes("mine"));
    CScopedFaultHook failing([&](platform::FileOp op, const std::string& path) {
      return c.failReplace && op == platform::FileOp::Replace && path == run / "setup.ini"
                 ? platform::Fault::Error
                 : platform::Fault::None;
    });
    CTestHost& host = TestHost();
    host.hasSetting = true;
    host.setting = run / "launcher.exe";
    CPatchWorker worker(host, BytesOf(release));
    testing::internal::CaptureStdout();
    CPatchWorker::ThreadMain(&worker);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(host.outcome.completed, c.completion != nullptr) << host.outcome.reason;
    if (c.completion) {
      EXPECT_EQ(worker.CompletionText(), c.completion);
    }
    EXPECT_EQ(platform::FileExists(run / "old/script.lua"), !c.gone);
    EXPECT_EQ(platform::FileExists(run / "old/empty"), c.failReplace);
    EXPECT_EQ(platform::FileExists(run / "old"), !c.gone || c.playersFile);
  }
}

// What a manifest removes is named as safely as what a release makes.
TEST_F(ReleaseIntegrity, AManifestRemovingAnUnsafeNameIsADamagedRelease) {
  for (const char* name : {"../outside.txt", "data/../../x", "C:/Windows/x.dll", "setup.ini"}) {
    const Bytes release = HandMade(game.release, [&](CReleaseManifest& manifest) {
      manifest.removed = {{name, 1, CDigest128()}};
    });
    CRunOutcome outcome = RunWorker(release, folder.Path());
    EXPECT_EQ(outcome.status, kDamagedDownload) << name;
    EXPECT_NE(outcome.detail.find(name), std::string::npos) << outcome.detail;
    ExpectGame(game.before, name);
  }
}
