// The comparison on real installed packages, with the user's answers scripted.
#include <gtest/gtest.h>

#include "engine/compare_result.h"
#include "engine/install_dir.h"
#include "tests/support/release_runs.h"

namespace {
class Compare : public testing::Test {
 protected:
  void SetUp() override {
    ResetTestHost();
    InstallDir = folder.Path();
    for (uint32_t i = 0; i < 3; ++i) {
      pairs.push_back(MakePackagePair("p" + std::to_string(i) + ".pkg", 20 + i));
      WriteWholeFile(folder / pairs[i].name, pairs[i].oldPackage.bytes);
    }
  }

  bool Compare3(CCompareResult& result) {
    container = BuildContainer({DeltaEntry(pairs[0]), DeltaEntry(pairs[1]), DeltaEntry(pairs[2])});
    testing::internal::CaptureStdout();
    bool go = result.ComparePatchFiles(TestHost(), container.data(),
                                       static_cast<uint32_t>(container.size()));
    out = testing::internal::GetCapturedStdout();
    return go;
  }

  uint32_t PayloadSum() const {
    uint32_t sum = 0;
    for (const auto& pair : pairs)
      for (const auto& chunk : DeltaEntry(pair).chunks) sum += chunk.payload ? chunk.size : 0;
    return sum;
  }

  // The entries the run makes.
  static std::vector<std::string> Names(const CCompareResult& result) {
    std::vector<std::string> names;
    for (const CPlannedEntry& planned : result.Plan())
      if (planned.Makes()) names.push_back(planned.entry->name);
    return names;
  }

  CTempFolder folder;
  std::vector<CPackagePair> pairs;
  Bytes container;
  std::string out;
};
}  // namespace

TEST_F(Compare, MatchingPackagesAreListedInContainerOrder) {
  CCompareResult result;
  ASSERT_TRUE(Compare3(result));
  EXPECT_EQ(Names(result), (std::vector<std::string>{"p0.pkg", "p1.pkg", "p2.pkg"}));
  EXPECT_EQ(result.GetTotal(), PayloadSum());
  EXPECT_TRUE(TestHost().questionCaptions.empty());
}

TEST_F(Compare, YesForTheSecondOfThreeGoesOnWithoutIt) {
  WriteWholeFile(folder / "p1.pkg", pairs[0].oldPackage.bytes);  // another index
  TestHost().answers = {true};
  CCompareResult result;
  ASSERT_TRUE(Compare3(result));
  EXPECT_EQ(Names(result), (std::vector<std::string>{"p0.pkg", "p2.pkg"}));
  EXPECT_EQ(result.GetTotal(), PayloadSum());  // every entry counts
  EXPECT_EQ(TestHost().questionCaptions, std::vector<std::string>{"p1.pkg"});
}

TEST_F(Compare, NoForTheSecondOfThreeStopsBeforeTheThird) {
  WriteWholeFile(folder / "p1.pkg", pairs[0].oldPackage.bytes);
  TestHost().answers = {false};
  CCompareResult result;
  EXPECT_FALSE(Compare3(result));
  EXPECT_EQ(out,
            "To Compare File Start ..\n"
            "p0.pkg file is compared..\n"
            "p1.pkg file is compared..\n");
}

TEST_F(Compare, TwoDifferingPackagesAreAskedInOrderEachUnderItsName) {
  WriteWholeFile(folder / "p0.pkg", pairs[1].oldPackage.bytes);
  WriteWholeFile(folder / "p2.pkg", pairs[1].oldPackage.bytes);
  TestHost().answers = {true, true};
  CCompareResult result;
  ASSERT_TRUE(Compare3(result));
  EXPECT_EQ(TestHost().questionCaptions, (std::vector<std::string>{"p0.pkg", "p2.pkg"}));
  EXPECT_EQ(Names(result), std::vector<std::string>{"p1.pkg"});
}

TEST_F(Compare, MissingPackageIsReportedThenAsked) {
  std::remove((folder / "p2.pkg").c_str());
  TestHost().answers = {true};
  CCompareResult result;
  ASSERT_TRUE(Compare3(result));
  EXPECT_NE(out.find("LocalFile: " + (folder / "p2.pkg") + " is not exist!!\n"), std::string::npos);
  EXPECT_EQ(TestHost().questionCaptions, std::vector<std::string>{"p2.pkg"});
}

TEST_F(Compare, EntriesThatDoNotDependOnTheInstalledFileAreListedUnread) {
  CEntryPlan unchecked = DeltaEntry(pairs[0]);
  unchecked.digestBefore.clear();
  std::remove((folder / "p0.pkg").c_str());  // nothing installed to read
  CEntryPlan archive = ArchiveEntry("readme.txt", TextBytes("hi"), false);
  CEntryPlan upper = ArchiveEntry("BIG.PKG", TextBytes("x"), false);
  CEntryPlan whole = WholeEntry("one.pkg", RandomBytes(64, 1));
  whole.digestBefore = std::string(32, 'a');
  container = BuildContainer({archive, upper, whole, unchecked});
  CCompareResult result;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(result.ComparePatchFiles(TestHost(), container.data(),
                                       static_cast<uint32_t>(container.size())));
  out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(Names(result),
            (std::vector<std::string>{"readme.txt", "BIG.PKG", "one.pkg", "p0.pkg"}));
  EXPECT_TRUE(TestHost().questionCaptions.empty());
  EXPECT_EQ(out.find("readme.txt file is compared"), std::string::npos);
  EXPECT_EQ(out.find("one.pkg file is compared"), std::string::npos);
}

TEST_F(Compare, PackageAlreadyAtTheNewIndexIsUpToDate) {
  WriteWholeFile(folder / "p1.pkg", pairs[1].newPackage.bytes);
  CCompareResult result;
  ASSERT_TRUE(Compare3(result));
  EXPECT_EQ(Names(result), (std::vector<std::string>{"p0.pkg", "p2.pkg"}));
  EXPECT_TRUE(TestHost().questionCaptions.empty());
  EXPECT_EQ(result.GetTotal(), PayloadSum());
}

TEST_F(Compare, EmptyContainerListsNothing) {
  container = BuildContainer({});
  CCompareResult result;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(result.ComparePatchFiles(TestHost(), container.data(), 4));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "To Compare File Start ..\n");
  EXPECT_TRUE(Names(result).empty());
  EXPECT_EQ(result.GetTotal(), 0u);
}
