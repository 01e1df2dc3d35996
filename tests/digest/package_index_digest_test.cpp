#include "digest/package_index_digest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include "base/little_endian.h"
#include "tests/support/package_file.h"
#include "tests/support/temp_folder.h"

namespace {
// Captures what a call writes to standard output.
std::string CaptureStdout(const std::function<void()>& run) {
  testing::internal::CaptureStdout();
  run();
  return testing::internal::GetCapturedStdout();
}

std::string IndexMd5(const CPackageImage& package) {
  return Md5Text(package.bytes.data() + package.indexOffset, package.indexSize);
}
}  // namespace

TEST(PackageIndexDigest, EqualsTheMd5OfTheIndexBytesInOnePiece) {
  CTempFolder folder;
  std::vector<Bytes> records;
  for (uint32_t i = 0; i < 210; ++i) records.push_back(RandomBytes(100 + i, i));
  CPackageImage package = MakePackage(RandomBytes(5000, 1), records);
  WriteWholeFile(folder / "map84.pkg", package.bytes);
  EXPECT_EQ(GetPackageIndexDigest(folder / "map84.pkg"), IndexMd5(package));
}

TEST(PackageIndexDigest, CoversOnlyTheIndexNotTheData) {
  CTempFolder folder;
  CPackageImage a = MakePackage(RandomBytes(300, 1), {TextBytes("x")});
  CPackageImage b = MakePackage(RandomBytes(300, 2), {TextBytes("x")});
  WriteWholeFile(folder / "a.pkg", a.bytes);
  WriteWholeFile(folder / "b.pkg", b.bytes);
  EXPECT_EQ(GetPackageIndexDigest(folder / "a.pkg"), GetPackageIndexDigest(folder / "b.pkg"));
}

TEST(PackageIndexDigest, RecordCountZeroDigestsTheIndexHeaderOnly) {
  CTempFolder folder;
  CPackageImage package = MakePackage(RandomBytes(64, 3), {});
  ASSERT_EQ(package.indexSize, 12u);
  WriteWholeFile(folder / "p.pkg", package.bytes);
  EXPECT_EQ(GetPackageIndexDigest(folder / "p.pkg"), IndexMd5(package));
}

TEST(PackageIndexDigest, EmptyRecordContributesItsLengthBytesOnly) {
  CTempFolder folder;
  CPackageImage package = MakePackage({}, {Bytes(), TextBytes("after"), Bytes()});
  WriteWholeFile(folder / "p.pkg", package.bytes);
  EXPECT_EQ(GetPackageIndexDigest(folder / "p.pkg"), IndexMd5(package));
}

// The "LocalFile: ... is not exist!!" line is the run's, told to its host
// (tests/engine/compare_test.cpp).
TEST(PackageIndexDigest, MissingPackageGivesEmptyText) {
  CTempFolder folder;
  std::string digest = "unset";
  std::string out = CaptureStdout([&] { digest = GetPackageIndexDigest(folder / "gone.pkg"); });
  EXPECT_EQ(digest, "");
  EXPECT_EQ(out, "");
}

TEST(PackageIndexDigest, PackageShorterThanItsHeaderDigestsTwelveZeroBytes) {
  CTempFolder folder;
  WriteWholeFile(folder / "short.pkg", RandomBytes(20, 4));
  uint8_t zeros[12] = {};
  EXPECT_EQ(GetPackageIndexDigest(folder / "short.pkg"), Md5Text(zeros, 12));
}

TEST(PackageIndexDigest, DamagedPackagesEndPromptlyWithSomeOtherText) {
  CTempFolder folder;
  CPackageImage good = MakePackage(RandomBytes(1000, 5), {RandomBytes(40, 6), RandomBytes(50, 7)});
  std::string goodDigest = IndexMd5(good);

  struct Damage {
    const char* what;
    size_t at;
    uint32_t value;
  };
  const Damage damages[] = {
      {"index offset past the end", 20, 0xFFFFFFF0u},
      {"huge record count", good.indexOffset + 4, 0xFFFFFFFFu},
      {"record length past the end", good.indexOffset + 12, 0xFFFFFFFFu},
  };
  for (const Damage& damage : damages) {
    Bytes bytes = good.bytes;
    PutU32(&bytes[damage.at], damage.value);
    WriteWholeFile(folder / "bad.pkg", bytes);
    std::string digest = GetPackageIndexDigest(folder / "bad.pkg");
    EXPECT_EQ(digest.size(), 32u) << damage.what;
    EXPECT_NE(digest, goodDigest) << damage.what;
  }

  // Cut inside the index: the record that is not whole cannot match.
  Bytes cut(good.bytes.begin(), good.bytes.end() - 10);
  WriteWholeFile(folder / "cut.pkg", cut);
  EXPECT_NE(GetPackageIndexDigest(folder / "cut.pkg"), goodDigest);
}

TEST(PackageIndexDigest, IndexBeyondTwoGibibytesInASparseFile) {
  CTempFolder folder;
  std::string path = folder / "big.pkg";
  const uint32_t indexOffset = 0xF0000000u;  // 3.75 GiB: needs 64-bit positions
  CPackageImage index = MakePackage({}, {RandomBytes(3000, 8), RandomBytes(17, 9)});
  Bytes header(index.bytes.begin(), index.bytes.begin() + 32);
  PutU32(&header[20], indexOffset);
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), 32);
    out.seekp(static_cast<std::streamoff>(indexOffset));
    out.write(reinterpret_cast<const char*>(index.bytes.data()) + index.indexOffset,
              index.indexSize);
    ASSERT_TRUE(out.good()) << "the file system must allow a sparse 4 GiB file";
  }
  EXPECT_EQ(GetPackageIndexDigest(path), IndexMd5(index));
}
