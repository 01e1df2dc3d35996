#include "digest/package_format.h"

#include <gtest/gtest.h>

#include "base/little_endian.h"
#include "digest/package_index_digest.h"
#include "tests/support/package_file.h"
#include "tests/support/temp_folder.h"

namespace {
bool Readable(const Bytes& bytes, std::string* why = nullptr) {
  CPackageLayout layout;
  return ReadPackageLayout(bytes.data(), bytes.size(), layout, why);
}
}  // namespace

TEST(PackageFormat, FindsTheIndexAndDigestsItAsThePatcherDoes) {
  CPackageImage package =
      MakePackage(RandomBytes(5000, 1), {RandomBytes(40, 2), {}, RandomBytes(300, 3)});
  CPackageLayout layout;
  ASSERT_TRUE(ReadPackageLayout(package.bytes.data(), package.bytes.size(), layout, nullptr));
  EXPECT_EQ(layout.indexOffset, package.indexOffset);
  EXPECT_EQ(layout.indexSize, package.indexSize);

  CTempFolder folder;
  WriteWholeFile(folder / "a.pkg", package.bytes);
  EXPECT_EQ(GetPackageIndexDigest(package.bytes.data(), layout),
            GetPackageIndexDigest(folder / "a.pkg"));
}

TEST(PackageFormat, AnIndexWithoutRecordsIsItsHeader) {
  CPackageImage package = MakePackage(RandomBytes(100, 4), {});
  CPackageLayout layout;
  ASSERT_TRUE(ReadPackageLayout(package.bytes.data(), package.bytes.size(), layout, nullptr));
  EXPECT_EQ(layout.indexSize, 12u);
}

TEST(PackageFormat, RefusesWhatCannotBeReadWhole) {
  const Bytes good = MakePackage(RandomBytes(1000, 5), {RandomBytes(50, 6)}).bytes;
  const size_t index = 32 + 1000;
  struct Breach {
    const char* rule;
    Bytes bytes;
  } breaches[] = {
      {"empty file", {}},
      {"shorter than the header", Bytes(good.begin(), good.begin() + 31)},
      {"index offset past the end", good},
      {"index header cut short", Bytes(good.begin(), good.begin() + index + 11)},
      {"record count too large", good},
      {"record length past the end", good},
      {"last record cut short", Bytes(good.begin(), good.end() - 1)},
  };
  PutU32(&breaches[2].bytes[20], static_cast<uint32_t>(good.size()));
  PutU32(&breaches[4].bytes[index + 4], 2);
  PutU32(&breaches[5].bytes[index + 12], 51);
  ASSERT_TRUE(Readable(good));
  for (const Breach& breach : breaches) {
    std::string why;
    EXPECT_FALSE(Readable(breach.bytes, &why)) << breach.rule;
    EXPECT_FALSE(why.empty()) << breach.rule;
  }
}
