// The one long-path function under both the patcher's files (ANSI code page)
// and the builder's (UTF-8): what it makes of each kind of path.
#include "platform/win32/wide_path.h"

#include <gtest/gtest.h>

namespace {
std::wstring CurrentFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  return folder;
}

TEST(WidePathTest, LongPathsOfEachKind) {
  const std::wstring here = CurrentFolder();
  const struct {
    const char* what;
    std::wstring path;
    std::wstring expected;
  } cases[] = {
      {"a drive path, normalised", L"C:/games/old/../new/map.pkg",
       L"\\\\?\\C:\\games\\new\\map.pkg"},
      {"a relative path", L"map.pkg",
       L"\\\\?\\" + here + (here.back() == L'\\' ? L"" : L"\\") + L"map.pkg"},
      {"a share", L"\\\\server\\share/map.pkg", L"\\\\?\\UNC\\server\\share\\map.pkg"},
      {"a device, left alone", L"\\\\.\\pipe\\qelpatch", L"\\\\.\\pipe\\qelpatch"},
      {"a long path already", L"\\\\?\\C:\\games/map.pkg", L"\\\\?\\C:\\games\\map.pkg"},
      {"nothing", L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(LongPath(c.path), c.expected) << c.what;
}

// The same bytes are other letters in another code page: each caller says
// which its texts are in.
TEST(WidePathTest, TextsAreWidenedFromTheirOwnCodePage) {
  EXPECT_EQ(Widen("r\xC3\xA9glages.ini", CP_UTF8), L"r\u00E9glages.ini");
  EXPECT_EQ(Widen("r\xE9glages.ini", 1252), L"r\u00E9glages.ini");
  EXPECT_EQ(Widen("\x83\x5C.pkg", 932), L"\u30BD.pkg");
  EXPECT_EQ(Utf8(L"r\u00E9glages.ini"), "r\xC3\xA9glages.ini");
}
}  // namespace
