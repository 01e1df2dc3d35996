// The Win32 file layer on real files: replacing over a file that another
// program holds open, 64-bit positions, and opens that share everything.
#include <gtest/gtest.h>

#include <thread>

#include "platform/platform.h"
#include "platform/win32/windows_api.h"
#include "tests/support/temp_folder.h"

namespace {
// Another program holding a file open: reading allowed, no delete or rename.
class CHeldFile {
 public:
  explicit CHeldFile(const std::string& path)
      : handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~CHeldFile() { Release(); }
  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (Held()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> bytes = ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(FileWin32Test, ReplaceMovesTheNewFileOverTheOldOne) {
  CTempFolder folder;
  WriteWholeFile(folder / "map.pkg", "old");
  WriteWholeFile(folder / ".temp_map.pkg", "new");
  ASSERT_TRUE(platform::ReplaceFile(folder / ".temp_map.pkg", folder / "map.pkg"));
  EXPECT_EQ(ReadText(folder / "map.pkg"), "new");
  EXPECT_FALSE(platform::FileExists(folder / ".temp_map.pkg"));
}

TEST(FileWin32Test, ReplaceWaitsForATargetThatIsLetGoSoon) {
  CTempFolder folder;
  WriteWholeFile(folder / "map.pkg", "old");
  WriteWholeFile(folder / ".temp_map.pkg", "new");
  CHeldFile held(folder / "map.pkg");
  ASSERT_TRUE(held.Held());
  std::thread release([&held] {
    Sleep(300);
    held.Release();
  });
  bool replaced = platform::ReplaceFile(folder / ".temp_map.pkg", folder / "map.pkg");
  release.join();
  ASSERT_TRUE(replaced);
  EXPECT_EQ(ReadText(folder / "map.pkg"), "new");
}

TEST(FileWin32Test, ReplaceGivesUpOnATargetHeldTooLongAndChangesNothing) {
  CTempFolder folder;
  WriteWholeFile(folder / "map.pkg", "old");
  WriteWholeFile(folder / ".temp_map.pkg", "new");
  CHeldFile held(folder / "map.pkg");
  DWORD start = GetTickCount();
  EXPECT_FALSE(platform::ReplaceFile(folder / ".temp_map.pkg", folder / "map.pkg"));
  EXPECT_LT(GetTickCount() - start, 5000u);
  held.Release();
  EXPECT_EQ(ReadText(folder / "map.pkg"), "old");
  EXPECT_EQ(ReadText(folder / ".temp_map.pkg"), "new");
}

TEST(FileWin32Test, ReadsAndSizesPastFourGibibytes) {
  CTempFolder folder;
  const uint64_t position = (5ull << 30) + 3;
  {
    HANDLE file = CreateFileA((folder / "big.pkg").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(position);
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(file, "tail", 4, &written, nullptr);
    CloseHandle(file);
  }
  platform::CFile file;
  ASSERT_TRUE(file.OpenRead(folder / "big.pkg"));
  EXPECT_EQ(file.Size(), static_cast<int64_t>(position + 4));
  char buffer[8] = {};
  EXPECT_EQ(file.ReadAt(position, buffer, sizeof(buffer)), 4);
  EXPECT_STREQ(buffer, "tail");
  EXPECT_EQ(file.ReadAt(position + 4, buffer, sizeof(buffer)), 0);
}

TEST(FileWin32Test, AFileOpenForReadingCanStillBeWrittenAndDeletedByOthers) {
  CTempFolder folder;
  WriteWholeFile(folder / "map.pkg", "old");
  platform::CFile reading;
  ASSERT_TRUE(reading.OpenRead(folder / "map.pkg"));
  HANDLE writer = CreateFileA((folder / "map.pkg").c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(writer, INVALID_HANDLE_VALUE);
  CloseHandle(writer);
  EXPECT_TRUE(platform::DeleteFile(folder / "map.pkg"));
}

TEST(FileWin32Test, DeletingAnAbsentFileSucceeds) {
  CTempFolder folder;
  EXPECT_FALSE(platform::FileExists(folder / "absent.pkg"));
  EXPECT_TRUE(platform::DeleteFile(folder / "absent.pkg"));
}

TEST(FileWin32Test, CreateTruncatesAnExistingFile) {
  CTempFolder folder;
  WriteWholeFile(folder / "out.bin", "a much longer old content");
  platform::CFile file;
  ASSERT_TRUE(file.Create(folder / "out.bin"));
  ASSERT_TRUE(file.Write("new", 3));
  ASSERT_TRUE(file.Flush());
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ReadText(folder / "out.bin"), "new");
}
}  // namespace
