// The Win32 file layer on real files: replacing over a file that another
// program holds open, 64-bit positions, and opens that share everything.
#include <gtest/gtest.h>

#include "platform/files.h"
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

// One attempt: waiting for the other program is the engine's part.
TEST(FileWin32Test, ReplaceOfAHeldTargetFailsAtOnceAndChangesNothing) {
  CTempFolder folder;
  WriteWholeFile(folder / "map.pkg", "old");
  WriteWholeFile(folder / ".temp_map.pkg", "new");
  CHeldFile held(folder / "map.pkg");
  DWORD start = GetTickCount();
  EXPECT_FALSE(platform::ReplaceFile(folder / ".temp_map.pkg", folder / "map.pkg"));
  EXPECT_LT(GetTickCount() - start, 1000u);
  // Windows says sharing violation or access denied; Wine says the latter.
  platform::FileError error = platform::LastFileError();
  EXPECT_TRUE(error == platform::FileError::kInUse || error == platform::FileError::kAccessDenied)
      << static_cast<int>(error);
  held.Release();
  EXPECT_EQ(ReadText(folder / "map.pkg"), "old");
  EXPECT_EQ(ReadText(folder / ".temp_map.pkg"), "new");
}

// Windows refuses to replace a read-only file (Wine does not); the attribute
// is cleared for the replace and set again on the new file.
TEST(FileWin32Test, ReadOnlyTargetIsReplacedAndStaysReadOnly) {
  CTempFolder folder;
  WriteWholeFile(folder / "config.ini", "old");
  WriteWholeFile(folder / ".temp_config.ini", "new");
  ASSERT_TRUE(SetFileAttributesA((folder / "config.ini").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(platform::ReplaceFile(folder / ".temp_config.ini", folder / "config.ini"));
  EXPECT_EQ(ReadText(folder / "config.ini"), "new");
  DWORD attributes = GetFileAttributesA((folder / "config.ini").c_str());
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY) << attributes;
  SetFileAttributesA((folder / "config.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileWin32Test, ReadOnlyTargetKeepsItsAttributeWhenTheReplaceFails) {
  CTempFolder folder;
  WriteWholeFile(folder / "config.ini", "old");
  ASSERT_TRUE(SetFileAttributesA((folder / "config.ini").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(platform::ReplaceFile(folder / ".temp_absent", folder / "config.ini"));
  EXPECT_TRUE(GetFileAttributesA((folder / "config.ini").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(ReadText(folder / "config.ini"), "old");
  SetFileAttributesA((folder / "config.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Folders and files past MAX_PATH (260), which the narrow calls cannot reach.
TEST(FileWin32Test, PathsLongerThanMaxPathAreReached) {
  CTempFolder folder;
  std::string deep = folder.Path();
  while (deep.size() < 320) {
    deep += std::string(60, 'd') + "\\";
    ASSERT_TRUE(platform::CreateFolder(deep.substr(0, deep.size() - 1))) << deep.size();
  }
  const std::string file = deep + "new.pkg";
  ASSERT_GT(file.size(), 300u);
  EXPECT_EQ(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);  // what the narrow call makes of it
  platform::CFile out;
  ASSERT_TRUE(out.Create(file + ".tmp"));
  ASSERT_TRUE(out.Write("long", 4));
  ASSERT_TRUE(out.Flush());
  ASSERT_TRUE(out.Close());
  ASSERT_TRUE(platform::ReplaceFile(file + ".tmp", file));
  EXPECT_TRUE(platform::FileExists(file));
  EXPECT_FALSE(platform::FileExists(file + ".tmp"));
  platform::CFile in;
  ASSERT_TRUE(in.OpenRead(file));
  char buffer[8] = {};
  EXPECT_EQ(in.ReadAt(0, buffer, sizeof buffer), 4);
  EXPECT_STREQ(buffer, "long");
  in.Close();
  EXPECT_TRUE(platform::DeleteFile(file));
  EXPECT_FALSE(platform::FileExists(file));
  // The temporary folder's own removal goes through the narrow runtime.
  for (size_t end = deep.size() - 1; end > folder.Path().size(); end = deep.rfind('\\', end - 1))
    RemoveDirectoryW((L"\\\\?\\" + std::wstring(deep.begin(), deep.begin() + end)).c_str());
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
