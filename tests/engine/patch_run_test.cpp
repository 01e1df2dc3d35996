// Whole runs of the worker on real files: rebuild, verify, install.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "archive/zip_writer.h"
#include "base/diagnostics.h"
#include "base/path_text.h"
#include "container/working_names.h"
#include "engine/failure_reason.h"
#include "engine/install_dir.h"
#include "tests/support/fault_hook.h"
#include "tests/support/release_runs.h"
#include "tests/support/zip_maker.h"

namespace {
class PatchRun : public testing::Test {
 protected:
  void SetUp() override { ResetTestHost(); }

  CTempFolder folder;
};

const Bytes kOldText = TextBytes("volume=3\nname=old\n");
const Bytes kNewText = TextBytes("volume=7\nname=new settings\n");
}  // namespace

TEST_F(PatchRun, RebuildsDeltaWholeAndArchiveEntriesAndLeavesNoWorkingFiles) {
  CPackagePair a = MakePackagePair("a.pkg", 1);
  CPackagePair b = MakePackagePair("maps/b.pkg", 2);
  Bytes whole = MakePackage(RandomBytes(3000, 3), {TextBytes("w")}).bytes;
  WriteWholeFile(folder / "a.pkg", a.oldPackage.bytes);
  WriteWholeFile(folder / "maps/b.pkg", b.oldPackage.bytes);
  WriteWholeFile(folder / "conf/setup.ini", kOldText);

  Bytes container = BuildContainer({DeltaEntry(a), ArchiveEntry("conf/setup.ini", kNewText, true),
                                    DeltaEntry(b), WholeEntry("new.pkg", whole)});
  CRunOutcome run = RunWorker(container, folder.Path());

  EXPECT_EQ(run.results, std::vector<uintptr_t>{1});
  EXPECT_TRUE(run.questions.empty());
  EXPECT_EQ(ReadWholeFile(folder / "a.pkg"), a.newPackage.bytes);
  EXPECT_EQ(ReadWholeFile(folder / "maps/b.pkg"), b.newPackage.bytes);
  EXPECT_EQ(ReadWholeFile(folder / "conf/setup.ini"), kNewText);
  EXPECT_EQ(ReadWholeFile(folder / "new.pkg"), whole);
  EXPECT_TRUE(NoWorkingFilesLeft(folder.Path()));
  EXPECT_EQ(run.out,
            "To Compare File Start ..\n"
            "a.pkg file is compared..\n"
            "maps/b.pkg file is compared..\n");
}

TEST_F(PatchRun, DoneEndsEqualToTheTotalWhenEveryEntryIsRebuilt) {
  CPackagePair a = MakePackagePair("a.pkg", 4);
  WriteWholeFile(folder / "a.pkg", a.oldPackage.bytes);
  Bytes container = BuildContainer({DeltaEntry(a), WholeEntry("x.pkg", RandomBytes(100, 5))});
  ResetTestHost();
  TestHost().hasSetting = true;
  TestHost().setting = folder.Path();
  CPatchWorker worker(TestHost(), BytesOf(container));
  CPatchWorker::ThreadMain(&worker);
  float ratio = 0;
  std::string text;
  worker.GetProgress(ratio, text);
  EXPECT_EQ(ratio, 1.0f);
  EXPECT_EQ(text, "Patch x.pkg ");
  EXPECT_EQ(TestHost().results, std::vector<uintptr_t>{1});
}

// While a compressed release unpacks, the bar follows its bytes under
// "Creating PatchData....": full when the comparison starts. The run's
// total starts it again from 0, so done ends at the total.
TEST_F(PatchRun, TheBarFollowsTheUnpackingThenStartsAgainWithTheRunsTotal) {
  struct CWatchingHost : CTestHost {
    CPatchWorker* worker = nullptr;
    float ratio = -1;
    std::string text;
    void Diagnostic(const std::string& line) override {
      if (line == diagnostics::kCompareStart) worker->GetProgress(ratio, text);
    }
  } host;
  host.hasSetting = true;
  host.setting = folder.Path();
  const Bytes content = RandomBytes(3u << 20, 10);
  const Bytes release =
      CompressedRelease(BuildRelease({WholeEntry("x.pkg", content)}, {{nullptr, content}}));
  CPatchWorker worker(host, BytesOf(release));
  host.worker = &worker;
  CPatchWorker::ThreadMain(&worker);
  EXPECT_EQ(host.ratio, 1.0f);
  EXPECT_EQ(host.text, "Creating PatchData....");
  EXPECT_EQ(worker.Progress().GetRatio(), 1.0f);
}

TEST_F(PatchRun, RebuiltPackageWithAnotherIndexIsDiscarded) {
  CPackagePair a = MakePackagePair("a.pkg", 6);
  WriteWholeFile(folder / "a.pkg", a.oldPackage.bytes);
  CEntryPlan entry = DeltaEntry(a);
  entry.digestAfter = std::string(32, '0');
  CRunOutcome run = RunWorker(BuildContainer({entry}), folder.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{0});
  EXPECT_EQ(ReadWholeFile(folder / "a.pkg"), a.oldPackage.bytes);
  EXPECT_TRUE(NoWorkingFilesLeft(folder.Path()));
}

TEST_F(PatchRun, ArchiveWithoutTheNamedEntryKeepsTheInstalledFile) {
  WriteWholeFile(folder / "setup.ini", kOldText);
  CEntryPlan entry = WholeEntry("setup.ini", MakeZip("SETUP.INI", kNewText, false));
  CRunOutcome run = RunWorker(BuildContainer({entry}), folder.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{0});
  EXPECT_EQ(ReadWholeFile(folder / "setup.ini"), kOldText);
  EXPECT_TRUE(NoWorkingFilesLeft(folder.Path()));
}

TEST_F(PatchRun, OneChunkEntryNeedsNoInstalledFileAndEqualsItsPayload) {
  Bytes content = RandomBytes(5000, 7);
  CRunOutcome run = RunWorker(BuildContainer({WholeEntry("fresh.pkg", content)}), folder.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{1});
  EXPECT_EQ(ReadWholeFile(folder / "fresh.pkg"), content);
}

// Not packages, so archives, never compared: an upper-case ".PKG" and an
// extension too long to be ".pkg".
TEST_F(PatchRun, NamesThatAreNotPackagesAreHandledAsArchives) {
  for (const char* name : {"DATA.PKG", "notes.markdown"}) {
    SCOPED_TRACE(name);
    WriteWholeFile(folder / name, kOldText);
    CRunOutcome run =
        RunWorker(BuildContainer({ArchiveEntry(name, kNewText, true)}), folder.Path());
    EXPECT_EQ(run.results, std::vector<uintptr_t>{1});
    EXPECT_EQ(ReadWholeFile(folder / name), kNewText);
    EXPECT_EQ(run.out, "To Compare File Start ..\n");
  }
}

TEST_F(PatchRun, EmptyContainerCompletesWithoutTouchingAnything) {
  WriteWholeFile(folder / "keep.pkg", kOldText);
  CRunOutcome run = RunWorker(BuildContainer({}), folder.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{1});
  EXPECT_EQ(ListFiles(folder.Path()), std::vector<std::string>{"keep.pkg"});
}

TEST_F(PatchRun, MalformedContainerFailsBeforeAnyFileIsTouched) {
  CPackagePair a = MakePackagePair("a.pkg", 8);
  WriteWholeFile(folder / "a.pkg", a.oldPackage.bytes);
  Bytes container = BuildContainer({DeltaEntry(a)});
  container.push_back(0);  // a byte after the last entry
  CRunOutcome run = RunWorker(container, folder.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{0});
  EXPECT_EQ(run.out, "");  // not even compared
  EXPECT_EQ(ListFiles(folder.Path()), std::vector<std::string>{"a.pkg"});
}

TEST_F(PatchRun, PlannedEntryNotInTheContainerFailsTheRun) {
  Bytes container = BuildContainer({WholeEntry("x.pkg", RandomBytes(10, 9))});
  Bytes other = BuildContainer({WholeEntry("missing.pkg", RandomBytes(10, 8))});
  ResetTestHost();
  TestHost().hasSetting = true;
  TestHost().setting = folder.Path();
  CPatchWorker worker(TestHost(), BytesOf(container));
  InstallDir = folder.Path();
  ASSERT_TRUE(worker.LoadPatchData(CReleaseStep{container.data(), container.size()}));
  // A plan made for another release.
  CCompareResult plan;
  ASSERT_TRUE(
      plan.ComparePatchFiles(TestHost(), other.data(), static_cast<uint32_t>(other.size())));
  EXPECT_FALSE(worker.RunPatch(plan.Plan()));
  EXPECT_EQ(ListFiles(folder.Path()), std::vector<std::string>{});  // nothing installed
}

TEST_F(PatchRun, ReRunAfterAPartialRunCompletesWithoutQuestions) {
  CPackagePair a = MakePackagePair("a.pkg", 10);
  CPackagePair b = MakePackagePair("b.pkg", 11);
  WriteWholeFile(folder / "a.pkg", a.newPackage.bytes);  // installed by the interrupted run
  WriteWholeFile(folder / "b.pkg", b.oldPackage.bytes);
  CRunOutcome run = RunWorker(BuildContainer({DeltaEntry(a), DeltaEntry(b)}), folder.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{1});
  EXPECT_TRUE(run.questions.empty());
  EXPECT_EQ(ReadWholeFile(folder / "a.pkg"), a.newPackage.bytes);
  EXPECT_EQ(ReadWholeFile(folder / "b.pkg"), b.newPackage.bytes);
}

TEST_F(PatchRun, TemporaryFileOfAnEntryInASubFolderLiesBesideIt) {
  std::vector<std::string> created;
  CScopedFaultHook hook([&](platform::FileOp op, const std::string& path) {
    if (op == platform::FileOp::Create) created.push_back(path);
    return platform::Fault::None;
  });
  WriteWholeFile(folder / "sub/map.pkg", kOldText);
  RunWorker(BuildContainer({WholeEntry("sub/map.pkg", kNewText)}), folder.Path());
  EXPECT_EQ(created, std::vector<std::string>{folder / "sub/.temp_map.pkg"});
}

// A failure injected at one file operation keeps the installed file whole.
TEST_F(PatchRun, FileOperationFailuresKeepTheInstalledFile) {
  struct Case {
    platform::FileOp op;
    platform::Fault fault;
  };
  const Case cases[] = {
      {platform::FileOp::Create, platform::Fault::Error},
      {platform::FileOp::Write, platform::Fault::Error},
      {platform::FileOp::Write, platform::Fault::ShortWrite},
      {platform::FileOp::Flush, platform::Fault::Error},
      {platform::FileOp::Close, platform::Fault::Error},
      {platform::FileOp::Replace, platform::Fault::Error},
      {platform::FileOp::Read, platform::Fault::Error},
  };
  for (const Case& c : cases) {
    CTempFolder run;
    CPackagePair a = MakePackagePair("a.pkg", 12);
    WriteWholeFile(run / "a.pkg", a.oldPackage.bytes);
    WriteWholeFile(run / "setup.ini", kOldText);
    Bytes container = BuildContainer({DeltaEntry(a), ArchiveEntry("setup.ini", kNewText, true)});
    CRunOutcome outcome;
    {
      CScopedFaultHook hook([&](platform::FileOp op, const std::string& path) {
        // Only the patch's own working files fail; the test's checks read freely.
        bool working = path.find(".temp_") != std::string::npos;
        bool target = op == platform::FileOp::Replace || op == platform::FileOp::Read;
        return op == c.op && (working || target) ? c.fault : platform::Fault::None;
      });
      outcome = RunWorker(container, run.Path());
    }
    SCOPED_TRACE(platform::FileOpName(c.op));
    EXPECT_EQ(outcome.results, std::vector<uintptr_t>{0});
    EXPECT_EQ(ReadWholeFile(run / "a.pkg"), a.oldPackage.bytes);
    EXPECT_EQ(ReadWholeFile(run / "setup.ini"), kOldText);
    EXPECT_TRUE(NoWorkingFilesLeft(run.Path()));
  }
}

TEST_F(PatchRun, NewFilesInNewFoldersBringTheirFolders) {
  Bytes content = RandomBytes(700, 13);
  Bytes container = BuildContainer({WholeEntry("maps/zone/field.pkg", content),
                                    ArchiveEntry("music\\theme.txt", kNewText, true)});
  CRunOutcome run = RunWorker(container, folder.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{1});
  EXPECT_EQ(ReadWholeFile(folder / "maps/zone/field.pkg"), content);
  EXPECT_TRUE(NoWorkingFilesLeft(folder.Path()));
}

// A patch installs all of its files or none.
TEST_F(PatchRun, FolderThatCannotBeMadeFailsTheRunBeforeAnythingIsInstalled) {
  CScopedFaultHook hook([](platform::FileOp op, const std::string&) {
    return op == platform::FileOp::CreateFolder ? platform::Fault::Error : platform::Fault::None;
  });
  Bytes top = RandomBytes(50, 14);
  Bytes container =
      BuildContainer({WholeEntry("newdir/x.pkg", RandomBytes(60, 15)), WholeEntry("top.pkg", top)});
  CRunOutcome run = RunWorker(container, folder.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{0});
  EXPECT_EQ(ListFiles(folder.Path()), std::vector<std::string>{});
}

// Each run has its host and its folder: two engines in one process, on two
// threads at once, each patch their own game and tell their own host.
TEST_F(PatchRun, TwoRunsInOneProcessEachPatchTheirOwnFolder) {
  struct CWaitedHost : CTestHost {
    void PostResult(const CPatchOutcome& posted) override {
      CTestHost::PostResult(posted);
      done.set_value(posted.completed);
    }
    std::promise<bool> done;
  };
  CTempFolder other;
  CPackagePair a = MakePackagePair("a.pkg", 21);
  CPackagePair b = MakePackagePair("a.pkg", 22);
  WriteWholeFile(folder / "a.pkg", a.oldPackage.bytes);
  WriteWholeFile(other / "a.pkg", b.oldPackage.bytes);
  const Bytes first = BuildContainer({DeltaEntry(a)});
  const Bytes second = BuildContainer({DeltaEntry(b)});
  CWaitedHost hosts[2];
  const std::string folders[2] = {folder.Path(), other.Path()};
  for (int i = 0; i < 2; ++i) {
    hosts[i].hasSetting = true;
    hosts[i].setting = folders[i] + "launcher.exe";
  }
  CPatchWorker one(hosts[0], BytesOf(first));
  CPatchWorker two(hosts[1], BytesOf(second));
  std::future<bool> ends[2] = {hosts[0].done.get_future(), hosts[1].done.get_future()};
  ASSERT_TRUE(one.Start() && two.Start());
  for (std::future<bool>& end : ends) {
    ASSERT_EQ(end.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_TRUE(end.get());
  }
  EXPECT_EQ(ReadWholeFile(folder / "a.pkg"), a.newPackage.bytes);
  EXPECT_EQ(ReadWholeFile(other / "a.pkg"), b.newPackage.bytes);
}

// An archive entry's file is unpacked from its archive as the chunks make it:
// the archive never lands on disk, with or without bytes copied from the
// installed file.
TEST_F(PatchRun, AnArchiveEntryWritesOnlyTheFileItUnpacks) {
  const Bytes before = RandomBytes(300000, 31);
  Bytes after = before;
  const Bytes inserted = TextBytes("new frames");
  after.insert(after.begin() + 1000, inserted.begin(), inserted.end());
  WriteWholeFile(folder / "conf/setup.ini", kOldText);
  WriteWholeFile(folder / "movie.bik", before);
  const Bytes container =
      BuildContainer({ArchiveEntry("conf/setup.ini", kNewText, true),
                      StoredWithCopiesEntry(
                          "movie.bik", after,
                          {CChunkPlan::Copy(0, 1000), CChunkPlan::Payload(inserted),
                           CChunkPlan::Copy(1000, static_cast<uint32_t>(before.size()) - 1000)})});
  std::vector<std::string> created;
  CScopedFaultHook hook([&](platform::FileOp op, const std::string& path) {
    if (op == platform::FileOp::Create) created.push_back(path);
    return platform::Fault::None;
  });
  CRunOutcome run = RunWorker(container, folder.Path());
  EXPECT_EQ(run.results, std::vector<uintptr_t>{1}) << run.status;
  EXPECT_EQ(ReadWholeFile(folder / "conf/setup.ini"), kNewText);
  EXPECT_EQ(ReadWholeFile(folder / "movie.bik"), after);
  EXPECT_EQ(created,
            (std::vector<std::string>{folder / UnpackedName("conf/setup.ini", kCodePageUtf8),
                                      folder / UnpackedName("movie.bik", kCodePageUtf8)}));
}

// Archive data that goes on past the file's size in the directory is a bomb:
// refused as damaged, nothing of the release installed.
TEST_F(PatchRun, AnArchiveEntryPastItsDeclaredSizeIsRefusedAsDamaged) {
  const Bytes bomb(4u << 20, 'z');
  Bytes inflating;
  ASSERT_TRUE(DeflateRaw(bomb.data(), bomb.size(), UINT64_MAX, inflating));
  const Bytes& deflated = inflating;
  for (const auto& [method, data] :
       {std::make_pair(kZipMethodDeflated, &deflated), std::make_pair(kZipMethodStored, &bomb)}) {
    WriteWholeFile(folder / "bomb.dat", kOldText);
    const CZipFraming zip = MakeZipFraming("bomb.dat", method, Crc32(bomb.data(), bomb.size()),
                                           static_cast<uint32_t>(data->size()), 1000);
    const CEntryPlan entry{"bomb.dat",
                           "",
                           "",
                           {CChunkPlan::Payload(zip.localHeader), CChunkPlan::Payload(*data),
                            CChunkPlan::Payload(zip.trailer)}};
    CRunOutcome run = RunWorker(BuildContainer({ArchiveEntry("setup.ini", kNewText, true), entry}),
                                folder.Path());
    EXPECT_EQ(run.status, "bomb.dat: the patch data is damaged") << method;
    EXPECT_EQ(ListFiles(folder.Path()), std::vector<std::string>{"bomb.dat"}) << method;
    EXPECT_TRUE(ReadWholeFile(folder / "bomb.dat") == kOldText) << method;
  }
}

// An interrupt asks the run to stop: before the install pass it ends failed
// with the game as it was and no working file left; once installing, it
// finishes, so no stop leaves a game of two versions.
TEST_F(PatchRun, AStopEndsTheRunBeforeTheInstallPassAndWaitsDuringIt) {
  const struct {
    platform::FileOp at;  // the first operation of this kind asks for the stop
    bool completed;
  } cases[] = {{platform::FileOp::Write, false}, {platform::FileOp::Replace, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::FileOpName(c.at));
    CTempFolder game;
    CPackagePair a = MakePackagePair("a.pkg", 11);
    WriteWholeFile(game / "a.pkg", a.oldPackage.bytes);
    const Bytes container =
        BuildContainer({DeltaEntry(a), ArchiveEntry("setup.ini", kNewText, true)});
    ResetTestHost();
    TestHost().hasSetting = true;
    TestHost().setting = game.Path();
    CPatchWorker worker(TestHost(), BytesOf(container));
    bool asked = false;
    CScopedFaultHook stop([&](platform::FileOp op, const std::string&) {
      if (op == c.at && !asked) {
        asked = true;
        worker.RequestStop();
      }
      return platform::Fault::None;
    });
    testing::internal::CaptureStdout();
    CPatchWorker::ThreadMain(&worker);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(asked);
    EXPECT_EQ(TestHost().outcome.completed, c.completed) << TestHost().outcome.reason;
    if (!c.completed) {
      EXPECT_EQ(TestHost().outcome.reason, kStoppedRun);
    }
    const Bytes installed = ReadWholeFile(game / "a.pkg");
    EXPECT_EQ(installed, c.completed ? a.newPackage.bytes : a.oldPackage.bytes);
    EXPECT_TRUE(NoWorkingFilesLeft(game.Path()));
  }
}
