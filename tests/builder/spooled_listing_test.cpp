// A game folder listed on the disk: the walk brings the files sorted byte by
// byte (a folder compared as if it ended in '/'), the spool gives back every
// record as it was added, and both folders walked at once tell where each path
// is.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "builder/game_folder.h"
#include "tests/support/temp_folder.h"

namespace {
using CPlace = std::tuple<std::string, bool, bool>;  // path, in the old folder, in the new one
}  // namespace

TEST(SpooledListing, BothFoldersComeInByteOrder) {
  CTempFolder old, latest, work;
  // ' ', '-' and '.' sort before '/', '0' after it.
  const std::vector<std::string> oldFiles = {"a b/y", "a-b", "a.c", "a/x", "a0", "b/c/d", "gone"};
  const std::vector<std::string> newFiles = {"a b/y", "a.c", "a/x", "a/x.y", "a0", "b/c/d", "n/e"};
  for (const std::string& name : oldFiles) WriteWholeFile(old / name, name);
  for (const std::string& name : newFiles) WriteWholeFile(latest / name, name);
  CSpooledFolder olds, news;
  std::string why;
  ASSERT_TRUE(SpoolGameFolder(old.Path(), CFolderRules(), work / "r.qpd", olds, &why)) << why;
  ASSERT_TRUE(SpoolGameFolder(latest.Path(), CFolderRules(), work / "r.qpd", news, &why)) << why;

  std::vector<CPlace> expected;
  std::vector<std::string> all = oldFiles;
  all.insert(all.end(), newFiles.begin(), newFiles.end());
  std::sort(all.begin(), all.end());
  all.erase(std::unique(all.begin(), all.end()), all.end());
  for (const std::string& path : all)
    expected.emplace_back(path, std::count(oldFiles.begin(), oldFiles.end(), path) != 0,
                          std::count(newFiles.begin(), newFiles.end(), path) != 0);
  std::vector<CPlace> walked;
  CFolderPair both(olds, news);
  std::string path;
  bool inOld = false, inNew = false;
  while (both.Next(path, inOld, inNew)) walked.emplace_back(path, inOld, inNew);
  EXPECT_TRUE(both.Ended(&why)) << why;
  EXPECT_EQ(walked, expected);

  CGameFolder back;
  ASSERT_TRUE(ReadBackGameFolder(news, back, &why)) << why;
  EXPECT_EQ(back.files, newFiles);
  EXPECT_EQ(back.folders, (std::vector<std::string>{"a", "a b", "b", "b/c", "n"}));
}

TEST(RecordSpool, RecordsComeBackAsAddedAndTheFileGoesWithTheSpool) {
  CTempFolder work;
  std::vector<std::string> records;
  // Around the reader's 64 KiB and its record lengths' 4 bytes.
  for (size_t size : {0, 1, 4, 65531, 65535, 65536, 65537, 300000, 0})
    records.push_back(std::string(size, static_cast<char>('a' + records.size())));
  {
    CRecordSpool spool;
    std::string why;
    ASSERT_TRUE(spool.Open(work / "r.qpd", &why)) << why;
    for (const std::string& record : records) ASSERT_TRUE(spool.Add(record));
    ASSERT_TRUE(spool.EndWriting(&why)) << why;
    EXPECT_EQ(spool.Count(), records.size());
    // Two readers at once, each from the start.
    CRecordSpool::CReader first(spool), second(spool);
    std::string a, b;
    for (const std::string& record : records) {
      ASSERT_TRUE(first.Next(a) && second.Next(b));
      EXPECT_EQ(a, record);
      EXPECT_EQ(b, record);
    }
    EXPECT_FALSE(first.Next(a));
    EXPECT_TRUE(first.Ended(&why)) << why;
    EXPECT_EQ(ListFiles(work.Path()).size(), 1u);
  }
  EXPECT_EQ(ListFiles(work.Path()), std::vector<std::string>{});
}
