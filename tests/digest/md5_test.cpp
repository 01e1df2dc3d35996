#include "digest/md5.h"

#include <gtest/gtest.h>

#include <string>

#include "digest/digest_text.h"
#include "tests/support/package_file.h"

namespace {
std::string Md5Of(const std::string& text) {
  return Md5Text(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}
}  // namespace

TEST(Md5, MatchesTheRfc1321TestSuite) {
  EXPECT_EQ(Md5Of(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Of("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5Of("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Of("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Of("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5Of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5Of("1234567890123456789012345678901234567890"
                  "1234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, SplitUpdatesGiveTheDigestOfTheWhole) {
  Bytes data = RandomBytes(1000, 7);
  std::string whole = Md5Text(data.data(), data.size());
  // Every split point crosses the 64-byte block and 56-byte padding limits.
  for (uint32_t split : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 999u, 1000u}) {
    CMD5Hash md5;
    md5.Update(data.data(), split);
    md5.Update(data.data() + split, static_cast<uint32_t>(data.size()) - split);
    uint8_t digest[16];
    md5.GetDigest(digest);
    EXPECT_EQ(DigestToHex(digest), whole) << "split at " << split;
  }
}

TEST(Md5, FinishingTwiceGivesTheSameDigest) {
  CMD5Hash md5;
  md5.Update(reinterpret_cast<const uint8_t*>("abc"), 3);
  uint8_t first[16], second[16];
  md5.GetDigest(first);
  md5.GetDigest(second);
  EXPECT_EQ(DigestToHex(first), DigestToHex(second));
  EXPECT_EQ(DigestToHex(first), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(DigestText, WritesEveryByteAsTwoLowerCaseDigits) {
  const uint8_t digest[16] = {0x00, 0x01, 0x0a, 0x0f, 0x10, 0xab, 0xff, 0x7f,
                              0x00, 0x00, 0x09, 0xa0, 0xc3, 0x3c, 0x80, 0x08};
  EXPECT_EQ(DigestToHex(digest), "00010a0f10abff7f000009a0c33c8008");
}
