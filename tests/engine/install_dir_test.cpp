#include "engine/install_dir.h"

#include <gtest/gtest.h>

#include "engine/temporary_name.h"
#include "tests/support/release_fixture.h"

TEST(InstallDir, LocationIsChosenByTheExactLanguageIdentifier) {
  EXPECT_STREQ(InstallPathLocationFor(0x0804).key, "SOFTWARE\\morv\\quelvane");
  EXPECT_STREQ(InstallPathLocationFor(0x0804).valueName, "Loader");
  for (uint16_t other : {0x0404, 0x0409, 0x0412, 0x0004, 0x1004}) {
    EXPECT_STREQ(InstallPathLocationFor(other).key, "SOFTWARE\\KESTA\\Quelvane") << other;
    EXPECT_STREQ(InstallPathLocationFor(other).valueName, "Destination") << other;
  }
}

TEST(InstallDir, FolderPartOfAStoredPath) {
  EXPECT_EQ(FolderPartOfPath("D:\\Games\\Game\\launcher.exe"), "D:\\Games\\Game\\");
  EXPECT_EQ(FolderPartOfPath("D:\\Games\\Game\\"), "D:\\Games\\Game\\");
  EXPECT_EQ(FolderPartOfPath("D:\\Games\\Game"), "D:\\Games\\");
  EXPECT_EQ(FolderPartOfPath("D:/Games/Game/x.exe"), "D:/Games/Game/");
  EXPECT_EQ(FolderPartOfPath("D:launcher.exe"), "D:");
  EXPECT_EQ(FolderPartOfPath("launcher.exe"), "");
  EXPECT_EQ(FolderPartOfPath("/opt/game/run"), "/opt/game/");
}

TEST(InstallDir, TemporaryNameGoesInFrontOfTheLastComponent) {
  EXPECT_EQ(TemporaryName("map84.pkg"), ".temp_map84.pkg");
  EXPECT_EQ(TemporaryName("sub/map.pkg"), "sub/.temp_map.pkg");
  EXPECT_EQ(TemporaryName("a\\b\\c.ini"), "a\\b\\.temp_c.ini");
}

namespace {
class WorkerFolder : public testing::Test {
 protected:
  void SetUp() override {
    ResetTestUser();
    InstallDir.clear();
    container = BuildContainer({WholeEntry("x.pkg", RandomBytes(10, 1))});
    SetTestPatchData(&container);
  }
  void TearDown() override { SetTestPatchData(nullptr); }

  void Run() {
    CPatchWorker worker;
    testing::internal::CaptureStdout();
    CPatchWorker::ThreadMain(&worker);
    testing::internal::GetCapturedStdout();
  }

  CTempFolder folder;
  Bytes container;
};
}  // namespace

TEST_F(WorkerFolder, StoredPathGivesTheFolderWithoutAsking) {
  TestUser().hasSetting = true;
  TestUser().setting = folder / "launcher.exe";
  Run();
  EXPECT_EQ(InstallDir, folder.Path());
  EXPECT_TRUE(TestUser().folderTitles.empty());
  EXPECT_EQ(TestUser().settingKeys,
            std::vector<std::string>{"SOFTWARE\\KESTA\\Quelvane|Destination"});
  EXPECT_EQ(TestUser().results, std::vector<uintptr_t>{1});
}

TEST_F(WorkerFolder, StoredTextEmptyOrAbsentAsksForAFolder) {
  for (bool stored : {false, true}) {
    ResetTestUser();
    TestUser().hasSetting = stored;
    TestUser().setting = "empty";
    std::string chosen = folder.Path().substr(0, folder.Path().size() - 1);
    TestUser().chosenFolder = chosen;
    Run();
    EXPECT_EQ(TestUser().folderTitles, std::vector<std::string>{"Select Directory"});
    EXPECT_EQ(InstallDir.size(), chosen.size() + 1);
    EXPECT_EQ(TestUser().results, std::vector<uintptr_t>{1});
  }
}

TEST_F(WorkerFolder, CancelledChooserFailsWithoutTouchingAnything) {
  Run();
  EXPECT_EQ(TestUser().results, std::vector<uintptr_t>{0});
  EXPECT_TRUE(ListFiles(folder.Path()).empty());
}

TEST_F(WorkerFolder, BareFileNameStoredFailsWithoutAsking) {
  TestUser().hasSetting = true;
  TestUser().setting = "launcher.exe";
  Run();
  EXPECT_EQ(TestUser().results, std::vector<uintptr_t>{0});
  EXPECT_TRUE(TestUser().folderTitles.empty());
}

TEST_F(WorkerFolder, MissingPatchDataFails) {
  SetTestPatchData(nullptr);
  TestUser().hasSetting = true;
  TestUser().setting = folder.Path();
  Run();
  EXPECT_EQ(TestUser().results, std::vector<uintptr_t>{0});
}
