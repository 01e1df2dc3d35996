#include "engine/install_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/path_text.h"
#include "container/working_names.h"
#include "tests/support/release_runs.h"

TEST(InstallDir, LocationIsChosenByTheExactLanguageIdentifier) {
  EXPECT_EQ(InstallPathLocationFor(0x0804).key, "SOFTWARE\\morv\\quelvane");
  EXPECT_EQ(InstallPathLocationFor(0x0804).valueName, "Loader");
  for (uint16_t other : {0x0404, 0x0409, 0x0412, 0x0004, 0x1004}) {
    EXPECT_EQ(InstallPathLocationFor(other).key, "SOFTWARE\\KESTA\\Quelvane") << other;
    EXPECT_EQ(InstallPathLocationFor(other).valueName, "Destination") << other;
  }
}

TEST(InstallDir, FolderPartOfAStoredPath) {
  EXPECT_EQ(FolderPartOfPath("D:\\Games\\Game\\launcher.exe", kCodePageUtf8), "D:\\Games\\Game\\");
  EXPECT_EQ(FolderPartOfPath("D:\\Games\\Game\\", kCodePageUtf8), "D:\\Games\\Game\\");
  EXPECT_EQ(FolderPartOfPath("D:\\Games\\Game", kCodePageUtf8), "D:\\Games\\");
  EXPECT_EQ(FolderPartOfPath("D:/Games/Game/x.exe", kCodePageUtf8), "D:/Games/Game/");
  EXPECT_EQ(FolderPartOfPath("D:launcher.exe", kCodePageUtf8), "D:");
  EXPECT_EQ(FolderPartOfPath("launcher.exe", kCodePageUtf8), "");
  EXPECT_EQ(FolderPartOfPath("/opt/game/run", kCodePageUtf8), "/opt/game/");
}

TEST(InstallDir, TemporaryNameGoesInFrontOfTheLastComponent) {
  EXPECT_EQ(TemporaryName("map84.pkg", kCodePageUtf8), ".temp_map84.pkg");
  EXPECT_EQ(TemporaryName("sub/map.pkg", kCodePageUtf8), "sub/.temp_map.pkg");
  EXPECT_EQ(TemporaryName("a\\b\\c.ini", kCodePageUtf8), "a\\b\\.temp_c.ini");
}

// Shift JIS (code page 932): ゲーム is 83 51 81 5B 83 80, ソフト is 83 5C 83 74
// 83 67: the second byte of ソ is a '\'.
const std::string kGame932 = "\x83\x51\x81\x5B\x83\x80";
const std::string kSoft932 = "\x83\x5C\x83\x74\x83\x67";
const std::string kSo932 = "\x83\x5C";

TEST(InstallDir, FolderPartKeepsDoubleByteCharactersWhole) {
  const std::string stored = "D:\\" + kGame932 + "\\" + kSoft932 + ".exe";
  EXPECT_EQ(FolderPartOfPath(stored, 932), "D:\\" + kGame932 + "\\");
  // Read byte by byte, ソ would end a folder.
  EXPECT_EQ(FolderPartOfPath(stored, 1252), "D:\\" + kGame932 + "\\\x83\x5C");
  EXPECT_EQ(FolderPartOfPath("D:\\" + kSo932, 932), "D:\\");
  for (uint32_t codePage : {936u, 949u, 950u})
    EXPECT_EQ(FolderPartOfPath("C:\\a\\\xB1\x5C.exe", codePage), "C:\\a\\") << codePage;
}

TEST(InstallDir, WorkingNamesKeepDoubleByteCharactersWhole) {
  EXPECT_EQ(TemporaryName(kSoft932 + "\\" + kSo932 + ".txt", 932),
            kSoft932 + "\\.temp_" + kSo932 + ".txt");
  EXPECT_EQ(TemporaryName(kSo932, 932), ".temp_" + kSo932);
  EXPECT_EQ(UnpackedName("sub/x", 932), "sub/.temp_.temp_x");
}

TEST(InstallDir, EntryFoldersAreMadeWholeInADoubleByteCodePage) {
  // Such names exist where the file system takes the bytes as they are
  // (POSIX) or in code page 932; a Windows of another code page reads them
  // otherwise (the Windows suite runs the whole patcher in 932 too).
  const uint32_t system = platform::AnsiCodePage();
  if (system != kCodePageUtf8 && system != 932) GTEST_SKIP() << "ANSI code page " << system;
  CTempFolder folder;
  ASSERT_TRUE(CreateEntryFolders(folder.Path(), kSoft932 + "/" + kSo932 + "/a.txt", 932));
  EXPECT_TRUE(PathExists(folder / kSoft932));
  EXPECT_TRUE(PathExists(folder / (kSoft932 + "/" + kSo932)));
  EXPECT_FALSE(PathExists(folder / "\x83"));
}

namespace {
class WorkerFolder : public testing::Test {
 protected:
  void SetUp() override {
    ResetTestHost();
    InstallDir.clear();
    container = BuildContainer({WholeEntry("x.pkg", RandomBytes(10, 1))});
    release = BytesOf(container);
  }

  void Run() {
    CPatchWorker worker(TestHost(), release);
    testing::internal::CaptureStdout();
    CPatchWorker::ThreadMain(&worker);
    testing::internal::GetCapturedStdout();
    status = worker.Progress().GetStatusText();
  }

  CTempFolder folder;
  Bytes container;
  CReleaseBytes release;
  std::string status;  // the status line when the run ended
};
}  // namespace

TEST_F(WorkerFolder, StoredPathGivesTheFolderWithoutAsking) {
  TestHost().hasSetting = true;
  TestHost().setting = folder / "launcher.exe";
  Run();
  EXPECT_EQ(InstallDir, folder.Path());
  EXPECT_TRUE(TestHost().folderTitles.empty());
  EXPECT_EQ(TestHost().settingKeys,
            std::vector<std::string>{"SOFTWARE\\KESTA\\Quelvane|Destination"});
  EXPECT_EQ(TestHost().results, std::vector<uintptr_t>{1});
}

TEST_F(WorkerFolder, TheProgramsOwnValueIsReadWhateverTheLanguageAndMayNameTheFolder) {
  for (uint16_t language : {0x0804, 0x0409}) {
    ResetTestHost();
    TestHost().language = language;
    TestHost().hasLocation = true;
    TestHost().location = {CSettingsRoot::kCurrentUser, "Software\\Studio\\Game", "InstallPath"};
    TestHost().hasSetting = true;
    TestHost().setting = folder.Path().substr(0, folder.Path().size() - 1);
    Run();
    EXPECT_EQ(InstallDir, folder.Path());
    EXPECT_EQ(TestHost().settingKeys,
              std::vector<std::string>{"Software\\Studio\\Game|InstallPath"});
    EXPECT_EQ(TestHost().results, std::vector<uintptr_t>{1});
  }
}

TEST_F(WorkerFolder, StoredTextEmptyOrAbsentAsksForAFolder) {
  for (bool stored : {false, true}) {
    ResetTestHost();
    TestHost().hasSetting = stored;
    TestHost().setting = "empty";
    std::string chosen = folder.Path().substr(0, folder.Path().size() - 1);
    TestHost().chosenFolder = chosen;
    Run();
    EXPECT_EQ(TestHost().folderTitles, std::vector<std::string>{"Select Directory"});
    EXPECT_EQ(InstallDir.size(), chosen.size() + 1);
    EXPECT_EQ(TestHost().results, std::vector<uintptr_t>{1});
  }
}

// A folder typed at a console prompt may be relative to the current one.
TEST_F(WorkerFolder, AFolderChosenByARelativePathIsThatFolder) {
  const std::filesystem::path folderPath = std::filesystem::u8path(folder.Path());
  const std::filesystem::path was = std::filesystem::current_path();
  std::filesystem::current_path(folderPath.parent_path().parent_path());
  ResetTestHost();
  TestHost().chosenFolder = folderPath.parent_path().filename().u8string();
  Run();
  std::filesystem::current_path(was);
  EXPECT_EQ(InstallDir, TestHost().chosenFolder + "/");
  EXPECT_EQ(TestHost().results, std::vector<uintptr_t>{1});
}

TEST_F(WorkerFolder, CancelledChooserFailsWithoutTouchingAnything) {
  Run();
  EXPECT_EQ(TestHost().results, std::vector<uintptr_t>{0});
  EXPECT_EQ(status, "No game folder was chosen");
  EXPECT_TRUE(ListFiles(folder.Path()).empty());
}

TEST_F(WorkerFolder, BareFileNameStoredFailsWithoutAsking) {
  TestHost().hasSetting = true;
  TestHost().setting = "launcher.exe";
  Run();
  EXPECT_EQ(TestHost().results, std::vector<uintptr_t>{0});
  EXPECT_TRUE(TestHost().folderTitles.empty());
  EXPECT_EQ(status, "The game's installation path names no folder: launcher.exe");
}

TEST_F(WorkerFolder, MissingPatchDataFails) {
  release = CReleaseBytes();
  TestHost().hasSetting = true;
  TestHost().setting = folder.Path();
  Run();
  EXPECT_EQ(TestHost().results, std::vector<uintptr_t>{0});
  EXPECT_EQ(status, "This program carries no patch data");
}
