// One patcher per game folder on Windows: a named mutex of the folder's full
// path, however the folder is spelled, gone when its holder ends.
#include <gtest/gtest.h>

#include <cctype>

#include "platform/folder_lock.h"
#include "tests/support/temp_folder.h"

using platform::CFolderLock;
using platform::CFolderLockResult;

TEST(FolderLock, OneHolderPerFolderHoweverItIsSpelled) {
  CTempFolder game;
  CTempFolder other;
  std::string spelled = game.Path();
  for (char& c : spelled) c = c == '\\' ? '/' : static_cast<char>(std::toupper(c));
  {
    CFolderLock first;
    ASSERT_EQ(first.Lock(game.Path()), CFolderLockResult::kLocked);
    CFolderLock second;
    EXPECT_EQ(second.Lock(spelled), CFolderLockResult::kBusy);
    CFolderLock elsewhere;
    EXPECT_EQ(elsewhere.Lock(other.Path()), CFolderLockResult::kLocked);
  }
  CFolderLock after;
  EXPECT_EQ(after.Lock(game.Path()), CFolderLockResult::kLocked);
}
