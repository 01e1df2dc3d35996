// One patcher per game folder on Windows, however the second one reaches
// the folder: another spelling, the 8.3 name, a second drive letter or a
// link. The lock is a file in the folder that is gone when its holder ends.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>

#include "platform/folder_lock.h"
#include "platform/win32/wide_path.h"
#include "tests/support/temp_folder.h"

using platform::CFolderLock;
using platform::CFolderLockResult;

namespace {
std::wstring Wide(const std::string& path) {
  return Widen(path, CP_UTF8);
}

std::wstring Trimmed(std::wstring path) {
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

}  // namespace

TEST(FolderLock, OneHolderPerFolderHoweverItIsReached) {
  CTempFolder base;
  const std::string game = base / "Game Folder With A Long Name";
  const std::wstring wideGame = Wide(game);
  ASSERT_TRUE(CreateDirectoryW(wideGame.c_str(), nullptr));
  wchar_t shortName[MAX_PATH] = {};
  const DWORD shortLength = GetShortPathNameW(wideGame.c_str(), shortName, MAX_PATH);

  std::string upper = game;
  for (char& c : upper) c = c == '\\' ? '/' : static_cast<char>(std::toupper(c));
  const struct {
    const char* what;
    bool made;
    std::string path;
  } spellings[] = {
      {"other letter case and separators", true, upper},
      {"the 8.3 name",
       shortLength > 0 && shortLength < MAX_PATH && Trimmed(shortName) != Trimmed(wideGame),
       Utf8(shortName)},
  };
  {
    CFolderLock first;
    ASSERT_EQ(first.Lock(game), CFolderLockResult::kLocked);
    for (const auto& spelling : spellings) {
      EXPECT_TRUE(spelling.made) << spelling.what << ": the system made none";
      if (!spelling.made) continue;
      CFolderLock second;
      EXPECT_EQ(second.Lock(spelling.path), CFolderLockResult::kBusy)
          << spelling.what << ": " << spelling.path;
    }
    CTempFolder other;
    CFolderLock elsewhere;
    EXPECT_EQ(elsewhere.Lock(other.Path()), CFolderLockResult::kLocked);
  }
  EXPECT_EQ(GetFileAttributesW((wideGame + L"\\" + platform::kFolderLockName).c_str()),
            INVALID_FILE_ATTRIBUTES)
      << "the lock's file is left in the folder";
  CFolderLock after;
  EXPECT_EQ(after.Lock(game), CFolderLockResult::kLocked);
}

// Wine's own calls make neither a second drive letter nor a link, so
// second_spellings.sh makes them on the Unix side (the prefix's dosdevices,
// a symbolic link) and names them here; on Windows `subst` and `mklink /d`
// make the same.
TEST(FolderLock, ASecondDriveLetterAndALinkMeetTheSameLock) {
  const char* folder = std::getenv("QELPATCH_LOCK_FOLDER");
  const char* spellings = std::getenv("QELPATCH_LOCK_SPELLINGS");
  if (!folder || !spellings) GTEST_SKIP() << "second_spellings.sh names the spellings";
  CFolderLock first;
  ASSERT_EQ(first.Lock(folder), CFolderLockResult::kLocked);
  std::string rest = spellings;
  for (size_t end; !rest.empty(); rest = end == std::string::npos ? "" : rest.substr(end + 1)) {
    end = rest.find(';');
    const std::string spelling = rest.substr(0, end);
    CFolderLock second;
    EXPECT_EQ(second.Lock(spelling), CFolderLockResult::kBusy) << spelling;
  }
}
