// Windows only, whole runs on game folders as players have them: paths longer
// than MAX_PATH, a folder named in letters the ANSI code page lacks, and
// folder and file names in a double-byte ANSI code page whose second bytes
// are '\' (ソ is 83 5C in code page 932). The last kind runs only when the
// process's ANSI code page is 932 (ctest starts the suite once more with a
// Japanese locale for it). The file layer takes UTF-8 paths; the release's
// names are in the ANSI code page.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/win32/windows_api.h"
#include "tests/reliability/reliability_support.h"
#include "tests/support/zip_maker.h"

namespace {
// The test support's files go through the narrow runtime, which stops at
// MAX_PATH; these go through the file layer under test.
void Put(const std::string& path, const Bytes& bytes) {
  platform::CFile out;
  ASSERT_TRUE(out.Create(path)) << path;
  ASSERT_TRUE(out.Write(bytes.data(), static_cast<uint32_t>(bytes.size())));
  ASSERT_TRUE(out.Close());
}

Bytes Get(const std::string& path) {
  platform::CFile in;
  if (!in.OpenRead(path)) return {};
  Bytes bytes(static_cast<size_t>(in.Size()));
  in.ReadAt(0, bytes.data(), static_cast<uint32_t>(bytes.size()));
  return bytes;
}

std::string Narrow(const std::wstring& wide, UINT codePage = CP_ACP) {
  int length = WideCharToMultiByte(codePage, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, wide.c_str(), -1, &narrow[0], length, nullptr, nullptr);
  narrow.pop_back();
  return narrow;
}

std::string Utf8(const std::wstring& wide) {
  return Narrow(wide, CP_UTF8);
}

// The release's files, installed and judged through the file layer.
void InstallThroughTheLayer(const CRelease& release, const std::string& folder) {
  for (const CReleaseFile& file : release.files) {
    if (!file.installed) continue;
    std::string path = folder + file.name;
    for (size_t slash = path.find('/', folder.size()); slash != std::string::npos;
         slash = path.find('/', slash + 1))
      ASSERT_TRUE(platform::CreateFolder(path.substr(0, slash)));
    Put(path, file.oldBytes);
  }
}

void ExpectAllNew(const CRelease& release, const std::string& folder) {
  for (const CReleaseFile& file : release.files) {
    EXPECT_TRUE(Get(folder + file.name) == file.newBytes) << file.name;
    const size_t slash = file.name.find_last_of('/');
    const size_t last = slash == std::string::npos ? 0 : slash + 1;
    const std::string working = file.name.substr(0, last) + ".temp_" + file.name.substr(last);
    EXPECT_FALSE(platform::FileExists(folder + working)) << working;
  }
}
}  // namespace

TEST(FieldPaths, AGameFolderWhosePathsPassThreeHundredCharactersIsPatched) {
  ResetTestHost();
  CTempFolder base;
  std::string game = base.Path();
  while (game.size() < 280) {
    game += std::string(50, 'g');
    ASSERT_TRUE(platform::CreateFolder(game));
    game += "\\";
  }
  CRelease release = MakeRepresentativeRelease(20000, 61);
  InstallThroughTheLayer(release, game);
  ASSERT_GT((game + ".temp_.temp_conf/setup.ini").size(), 300u);

  for (int run = 1; run <= 2; ++run) {
    CRunOutcome outcome = RunWorker(release.container, game);
    EXPECT_EQ(outcome.results, std::vector<uintptr_t>{1})
        << "run " << run << ": " << outcome.status;
    ExpectAllNew(release, game);
  }
}

// Thai and Hangul: no ANSI code page holds both.
TEST(FieldPaths, AFolderNamedOutsideTheCodePageIsPatched) {
  ResetTestHost();
  CTempFolder base;
  const std::wstring name = L"\u0e40\u0e01\u0e21\uac8c\uc784";
  const std::string game = base.Path() + Utf8(name) + "\\";
  // Made by its wide name, so the layer must reach the very same folder.
  const std::wstring wideBase(base.Path().begin(), base.Path().end());
  ASSERT_TRUE(CreateDirectoryW((wideBase + L"\\" + name).c_str(), nullptr));
  CRelease release = MakeRepresentativeRelease(20000, 63);
  InstallThroughTheLayer(release, game);

  CRunOutcome outcome = RunWorker(release.container, game);
  EXPECT_EQ(outcome.results, std::vector<uintptr_t>{1}) << outcome.status;
  EXPECT_TRUE(outcome.questions.empty()) << "asked about " << outcome.questions.front();
  ExpectAllNew(release, game);
}

TEST(FieldPaths, AFolderAndNamesInCodePage932AreSplitByCharacters) {
  if (GetACP() != 932) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
  ResetTestHost();
  CTempFolder base;
  // ゲーム: the game folder; its launcher is ソフト.exe, whose ソ ends in 5C.
  const std::string game = base.Path() + Utf8(L"\u30b2\u30fc\u30e0");
  ASSERT_TRUE(platform::CreateFolder(game))
      << game << " " << static_cast<int>(platform::LastFileError()) << " " << GetLastError();
  const std::string so = Narrow(L"\u30bd");
  ASSERT_EQ(so, "\x83\x5C");
  const std::string launcher = game + "\\" + Utf8(L"\u30bd\u30d5\u30c8") + ".exe";

  CPackagePair package = MakePackagePair("a.pkg", 62);
  // A new file in a new folder ソ, named in the release in code page 932.
  const std::string note = so + "/" + so + ".txt";
  const Bytes noteBytes = TextBytes("new note");
  Put(game + "\\a.pkg", package.oldPackage.bytes);
  Bytes container = BuildContainer({DeltaEntry(package), ArchiveEntry(note, noteBytes, true)});

  CTestHost& user = TestHost();
  user.hasSetting = true;
  user.setting = launcher;
  CPatchWorker worker(user, BytesOf(container));
  testing::internal::CaptureStdout();
  CPatchWorker::ThreadMain(&worker);
  testing::internal::GetCapturedStdout();

  EXPECT_EQ(user.results, std::vector<uintptr_t>{1}) << worker.Progress().GetStatusText();
  EXPECT_EQ(Get(game + "\\a.pkg"), package.newPackage.bytes);
  // Read back by the wide name, so no narrow conversion can hide a stray file.
  const std::wstring wideGame =
      L"\\\\?\\" + std::wstring(base.Path().begin(), base.Path().end()) + L"\u30b2\u30fc\u30e0\\";
  EXPECT_NE(GetFileAttributesW((wideGame + L"\u30bd\\\u30bd.txt").c_str()),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW((wideGame + L"\u30bd\\.temp_\u30bd.txt").c_str()),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Get(game + "\\" + Utf8(L"\u30bd/\u30bd.txt")), noteBytes);
}

// Names written for another code page would name other files here: such a
// release is refused before anything is touched.
TEST(FieldPaths, AReleaseForCodePage1252IsRefusedInCodePage932) {
  if (GetACP() != 932) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
  CTempFolder folder;
  ResetTestHost();
  const Bytes old = TextBytes("old");
  WriteWholeFile(folder / "caf\xe9.txt", old);
  const Bytes content = TextBytes("new");
  const Bytes release =
      BuildRelease({ArchiveEntry("caf\xe9.txt", content, false)}, {{&old, content}}, 1252);
  CRunOutcome outcome = RunWorker(release, folder.Path());
  EXPECT_EQ(outcome.results, std::vector<uintptr_t>{0});
  EXPECT_EQ(outcome.status, "This patch is for code page 1252; this system uses code page 932");
  EXPECT_TRUE(NoWorkingFilesLeft(folder.Path()));
  EXPECT_EQ(ReadWholeFile(folder / "caf\xe9.txt"), old);
}
