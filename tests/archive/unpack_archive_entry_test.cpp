// Unpacking the one entry of a patched file's archive in place: the path
// then holds the entry, whole and checked, or nothing.

#include "archive/unpack_archive_entry.h"

#include <gtest/gtest.h>

#include "platform/file_faults.h"
#include "tests/archive/archive_fixtures.h"
#include "tests/archive/zip_image.h"

namespace {
const std::string kName = "Sub/Folder/Model.dat";

// The folder holds the tool archive under `file`.
void PlaceArchive(const CTempFolder& folder, const std::string& archive, const std::string& file) {
  WriteWholeFile(folder / file, ReadWholeFile(ToolArchive(archive)));
}

std::vector<std::string> Files(const std::string& name) {
  return {name};
}
}  // namespace

TEST(UnpackArchiveEntry, StoredOrDeflatedEntryReplacesTheArchive) {
  for (const char* archive :
       {"infozip_stored.zip", "python_deflated.zip", "bsdtar_deflated.zip", "7zz_deflated.zip"}) {
    SCOPED_TRACE(archive);
    CTempFolder folder;
    PlaceArchive(folder, archive, ".temp_Model.dat");
    EXPECT_TRUE(UnpackArchiveEntry(folder / ".temp_Model.dat", kName));
    EXPECT_TRUE(ReadWholeFile(folder / ".temp_Model.dat") == ToolContent(kName));
    EXPECT_EQ(ListFiles(folder.Path()), Files(".temp_Model.dat"));
  }
}

TEST(UnpackArchiveEntry, OnlyTheNamedEntryOfSeveralIsWritten) {
  CTempFolder folder;
  PlaceArchive(folder, "infozip_deflated.zip", "data.bin");
  EXPECT_TRUE(UnpackArchiveEntry(folder / "data.bin", "data.bin"));
  EXPECT_TRUE(ReadWholeFile(folder / "data.bin") == ToolContent("data.bin"));
  EXPECT_EQ(ListFiles(folder.Path()), Files("data.bin"));
}

TEST(UnpackArchiveEntry, EntryOfSizeZeroLeavesAnEmptyFile) {
  CTempFolder folder;
  PlaceArchive(folder, "python_deflated.zip", "empty.txt");
  EXPECT_TRUE(UnpackArchiveEntry(folder / "empty.txt", "empty.txt"));
  EXPECT_EQ(ListFiles(folder.Path()), Files("empty.txt"));
  EXPECT_TRUE(ReadWholeFile(folder / "empty.txt").empty());
}

TEST(UnpackArchiveEntry, LeftoverArchiveOfAnEarlierRunIsReplaced) {
  CTempFolder folder;
  WriteWholeFile(folder / "f.dat.zip",
                 BuildZip({StoredEntry("f.dat", TextBytes("stale leftover"))}).bytes);
  WriteWholeFile(folder / "f.dat", BuildZip({StoredEntry("f.dat", TextBytes("fresh"))}).bytes);
  EXPECT_TRUE(UnpackArchiveEntry(folder / "f.dat", "f.dat"));
  EXPECT_TRUE(ReadWholeFile(folder / "f.dat") == TextBytes("fresh"));
  EXPECT_EQ(ListFiles(folder.Path()), Files("f.dat"));
}

// Every failure leaves neither the archive nor a partial file behind.
TEST(UnpackArchiveEntry, FailureLeavesNothingUnderEitherName) {
  Bytes content = RandomBytes(100000, 8);
  CZipImageEntry altered = StoredEntry("f.dat", content);
  altered.data[99999] ^= 1;
  CZipImageEntry broken = DeflatedEntry("f.dat", content);
  broken.data.resize(broken.data.size() * 3 / 4);
  broken.compressedSize = static_cast<uint32_t>(broken.data.size());
  CZipImageEntry bomb = DeflatedEntry("f.dat", Bytes(1 << 20, 'A'));
  bomb.uncompressedSize = 20000;

  const std::vector<std::pair<std::string, Bytes>> cases = {
      {"name differing in letter case", BuildZip({StoredEntry("F.DAT", content)}).bytes},
      {"not an archive", content},
      {"an empty file", {}},
      {"BZip2 entry", ReadWholeFile(ToolArchive("7zz_bzip2.zip"))},
      {"CRC-32 mismatch", BuildZip({altered}).bytes},
      {"deflate data cut short", BuildZip({broken}).bytes},
      {"inflating past its size", BuildZip({bomb}).bytes},
  };
  for (const auto& c : cases) {
    CTempFolder folder;
    WriteWholeFile(folder / "f.dat", c.second);
    EXPECT_FALSE(
        UnpackArchiveEntry(folder / "f.dat", c.first == "BZip2 entry" ? "data.bin" : "f.dat"))
        << c.first;
    EXPECT_TRUE(ListFiles(folder.Path()).empty()) << c.first;
  }
  CTempFolder folder;
  EXPECT_FALSE(UnpackArchiveEntry(folder / "missing", "missing"));
  EXPECT_TRUE(ListFiles(folder.Path()).empty());
}

namespace {
// Numbers the file operations and fails the one with the chosen number.
struct CFaultPlan {
  int failAt = -1;
  int count = 0;
  platform::FileOp failedOp = platform::FileOp::Open;
  std::string failedPath;
};

platform::Fault Inject(platform::FileOp op, const std::string& path, void* context) {
  auto* plan = static_cast<CFaultPlan*>(context);
  if (plan->count++ != plan->failAt) return platform::Fault::None;
  plan->failedOp = op;
  plan->failedPath = path;
  return op == platform::FileOp::Write ? platform::Fault::ShortWrite : platform::Fault::Error;
}

class CFaultHook {
 public:
  explicit CFaultHook(CFaultPlan& plan) { platform::SetFileFaultHook(Inject, &plan); }
  ~CFaultHook() { platform::SetFileFaultHook(nullptr, nullptr); }
};
}  // namespace

TEST(UnpackArchiveEntry, AnyFailingFileOperationMakesItFailAndLeavesNoOutput) {
  Bytes content = RandomBytes(40000, 9);
  Bytes archive = BuildZip({DeflatedEntry("f.dat", content)}).bytes;
  int operations = 0;
  {
    CTempFolder folder;
    WriteWholeFile(folder / "f.dat", archive);
    CFaultPlan plan;
    CFaultHook hook(plan);
    ASSERT_TRUE(UnpackArchiveEntry(folder / "f.dat", "f.dat"));
    operations = plan.count;
  }
  ASSERT_GT(operations, 10);

  for (int failAt = 0; failAt < operations; ++failAt) {
    CTempFolder folder;
    const std::string path = folder / "f.dat";
    WriteWholeFile(path, archive);
    CFaultPlan plan;
    plan.failAt = failAt;
    bool unpacked;
    {
      CFaultHook hook(plan);
      unpacked = UnpackArchiveEntry(path, "f.dat");
    }
    std::string what = std::string(platform::FileOpName(plan.failedOp)) + " " + plan.failedPath;
    if (plan.failedOp == platform::FileOp::Close && plan.failedPath == path + ".zip") {
      // Closing the archive after reading loses nothing.
      EXPECT_TRUE(unpacked) << what;
      EXPECT_TRUE(ReadWholeFile(path) == content) << what;
      continue;
    }
    EXPECT_FALSE(unpacked) << what;
    EXPECT_FALSE(PathExists(path)) << what;
    // A failed delete of the archive is the one way it can stay.
    bool archiveMayStay = plan.failedOp == platform::FileOp::Delete;
    if (!archiveMayStay) {
      EXPECT_FALSE(PathExists(path + ".zip")) << what;
    }
  }
}
