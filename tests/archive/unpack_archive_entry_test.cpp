// Unpacking the one entry of a patched file's archive to its output file: the
// output then holds the entry, whole and checked, or nothing; the archive is
// left for its owner.

#include "archive/unpack_archive_entry.h"

#include <gtest/gtest.h>

#include "tests/archive/archive_support.h"
#include "tests/archive/zip_image_support.h"
#include "tests/support/fault_hook.h"

namespace {
const std::string kName = "Sub/Folder/Model.dat";

// The folder holds the tool archive under `file`.
void PlaceArchive(const CTempFolder& folder, const std::string& archive, const std::string& file) {
  WriteWholeFile(folder / file, ReadWholeFile(ToolArchive(archive)));
}

bool Unpacked(const CUnpackResult& result) {
  return result.outcome == CUnpackOutcome::kUnpacked;
}

std::vector<std::string> Files(std::vector<std::string> names) {
  return names;
}
}  // namespace

TEST(UnpackArchiveEntry, StoredOrDeflatedEntryIsWrittenBesideTheArchive) {
  for (const char* archive :
       {"infozip_stored.zip", "python_deflated.zip", "bsdtar_deflated.zip", "7zz_deflated.zip"}) {
    SCOPED_TRACE(archive);
    CTempFolder folder;
    PlaceArchive(folder, archive, ".temp_Model.dat");
    EXPECT_TRUE(
        Unpacked(UnpackArchiveEntry(folder / ".temp_Model.dat", kName, folder / "out.dat")));
    EXPECT_TRUE(ReadWholeFile(folder / "out.dat") == ToolContent(kName));
    EXPECT_EQ(ListFiles(folder.Path()), Files({".temp_Model.dat", "out.dat"}));
  }
}

TEST(UnpackArchiveEntry, OnlyTheNamedEntryOfSeveralIsWritten) {
  CTempFolder folder;
  PlaceArchive(folder, "infozip_deflated.zip", "a.zip");
  EXPECT_TRUE(Unpacked(UnpackArchiveEntry(folder / "a.zip", "data.bin", folder / "data.bin")));
  EXPECT_TRUE(ReadWholeFile(folder / "data.bin") == ToolContent("data.bin"));
  EXPECT_EQ(ListFiles(folder.Path()), Files({"a.zip", "data.bin"}));
}

TEST(UnpackArchiveEntry, EntryOfSizeZeroLeavesAnEmptyFile) {
  CTempFolder folder;
  PlaceArchive(folder, "python_deflated.zip", "a.zip");
  EXPECT_TRUE(Unpacked(UnpackArchiveEntry(folder / "a.zip", "empty.txt", folder / "empty.txt")));
  EXPECT_TRUE(PathExists(folder / "empty.txt"));
  EXPECT_TRUE(ReadWholeFile(folder / "empty.txt").empty());
}

TEST(UnpackArchiveEntry, AnOutputLeftByAnEarlierRunIsOverwritten) {
  CTempFolder folder;
  WriteWholeFile(folder / "out", "a stale and much longer leftover");
  WriteWholeFile(folder / "a.zip", BuildZip({StoredEntry("f.dat", TextBytes("fresh"))}).bytes);
  EXPECT_TRUE(Unpacked(UnpackArchiveEntry(folder / "a.zip", "f.dat", folder / "out")));
  EXPECT_TRUE(ReadWholeFile(folder / "out") == TextBytes("fresh"));
}

// Every failure leaves no output, says what failed, and keeps the archive.
TEST(UnpackArchiveEntry, FailureLeavesNoOutputAndSaysWhy) {
  Bytes content = RandomBytes(100000, 8);
  CZipImageEntry altered = StoredEntry("f.dat", content);
  altered.data[99999] ^= 1;
  CZipImageEntry broken = DeflatedEntry("f.dat", content);
  broken.data.resize(broken.data.size() * 3 / 4);
  broken.compressedSize = static_cast<uint32_t>(broken.data.size());
  CZipImageEntry bomb = DeflatedEntry("f.dat", Bytes(1 << 20, 'A'));
  bomb.uncompressedSize = 20000;

  struct CCase {
    const char* what;
    Bytes archive;
    CUnpackOutcome outcome;
  };
  const std::vector<CCase> cases = {
      {"name differing in letter case", BuildZip({StoredEntry("F.DAT", content)}).bytes,
       CUnpackOutcome::kNoEntry},
      {"not an archive", content, CUnpackOutcome::kNoEntry},
      {"an empty file", {}, CUnpackOutcome::kNoEntry},
      {"BZip2 entry", ReadWholeFile(ToolArchive("7zz_bzip2.zip")), CUnpackOutcome::kNoEntry},
      {"CRC-32 mismatch", BuildZip({altered}).bytes, CUnpackOutcome::kCrcMismatch},
      {"deflate data cut short", BuildZip({broken}).bytes, CUnpackOutcome::kDataError},
      {"inflating past its size", BuildZip({bomb}).bytes, CUnpackOutcome::kDataError},
  };
  for (const CCase& c : cases) {
    CTempFolder folder;
    WriteWholeFile(folder / "a.zip", c.archive);
    const std::string entry = std::string(c.what) == "BZip2 entry" ? "data.bin" : "f.dat";
    EXPECT_EQ(UnpackArchiveEntry(folder / "a.zip", entry, folder / "out").outcome, c.outcome)
        << c.what;
    EXPECT_EQ(ListFiles(folder.Path()), Files({"a.zip"})) << c.what;
  }
  CTempFolder folder;
  CUnpackResult missing = UnpackArchiveEntry(folder / "missing", "missing", folder / "out");
  EXPECT_EQ(missing.outcome, CUnpackOutcome::kNoEntry);
  EXPECT_EQ(missing.error, platform::FileError::kNotFound);
  EXPECT_TRUE(ListFiles(folder.Path()).empty());
}

namespace {
// Numbers the file operations and fails the one with the chosen number.
struct CFaultPlan {
  int failAt = -1;
  int count = 0;
  platform::Fault fault = platform::Fault::Error;
  platform::FileOp failedOp = platform::FileOp::Open;
  std::string failedPath;

  platform::Fault operator()(platform::FileOp op, const std::string& path) {
    if (count++ != failAt) return platform::Fault::None;
    failedOp = op;
    failedPath = path;
    return op == platform::FileOp::Write ? platform::Fault::ShortWrite : fault;
  }
};
}  // namespace

TEST(UnpackArchiveEntry, AnyFailingFileOperationMakesItFailAndLeavesNoOutput) {
  Bytes content = RandomBytes(40000, 9);
  Bytes archive = BuildZip({DeflatedEntry("f.dat", content)}).bytes;
  int operations = 0;
  {
    CTempFolder folder;
    WriteWholeFile(folder / "a.zip", archive);
    CFaultPlan plan;
    CScopedFaultHook hook(std::ref(plan));
    ASSERT_TRUE(Unpacked(UnpackArchiveEntry(folder / "a.zip", "f.dat", folder / "out")));
    operations = plan.count;
  }
  ASSERT_GT(operations, 10);

  for (int failAt = 0; failAt < operations; ++failAt) {
    CTempFolder folder;
    const std::string output = folder / "out";
    WriteWholeFile(folder / "a.zip", archive);
    CFaultPlan plan;
    plan.failAt = failAt;
    CUnpackResult result;
    {
      CScopedFaultHook hook(std::ref(plan));
      result = UnpackArchiveEntry(folder / "a.zip", "f.dat", output);
    }
    std::string what = std::string(platform::FileOpName(plan.failedOp)) + " " + plan.failedPath;
    EXPECT_TRUE(ReadWholeFile(folder / "a.zip") == archive) << what;
    if (plan.failedOp == platform::FileOp::Close && plan.failedPath == folder / "a.zip") {
      // Closing the archive after reading loses nothing.
      EXPECT_TRUE(Unpacked(result)) << what;
      EXPECT_TRUE(ReadWholeFile(output) == content) << what;
      continue;
    }
    EXPECT_FALSE(Unpacked(result)) << what;
    // The output's own removal is the one failure that may leave it.
    if (!(plan.failedOp == platform::FileOp::Delete && plan.failedPath == output)) {
      EXPECT_FALSE(PathExists(output)) << what;
    }
  }
}

TEST(UnpackArchiveEntry, AnArchiveHeldByAnotherProgramIsReportedAsInUse) {
  CTempFolder folder;
  WriteWholeFile(folder / "a.zip", BuildZip({StoredEntry("f.dat", TextBytes("x"))}).bytes);
  CFaultPlan plan;
  plan.failAt = 0;  // the archive's open
  plan.fault = platform::Fault::InUse;
  CUnpackResult result;
  {
    CScopedFaultHook hook(std::ref(plan));
    result = UnpackArchiveEntry(folder / "a.zip", "f.dat", folder / "out");
  }
  EXPECT_EQ(result.outcome, CUnpackOutcome::kArchiveInUse);
  EXPECT_EQ(result.error, platform::FileError::kInUse);
}
