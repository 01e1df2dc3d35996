#include "digest/content_digest.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/package_file.h"

namespace {
struct CVector {
  size_t size;
  const char* hex;
};

// XXH3-128 (seed 0) of the first `size` bytes of RandomBytes(3145741, 1), as
// python3-xxhash's xxh3_128_hexdigest gives them: every length class (empty,
// 1-3, 4-8, 9-16, 17-128, 129-240, longer), both sides of each stripe (64) and
// block (1024) edge, a last block shorter than a stripe, and megabytes.
const CVector kVectors[] = {
    {0, "99aa06d3014798d86001c324468d497f"},       {1, "7b20385c5bc80ee2bd7b38f7b4af0b35"},
    {2, "2092f670e540266eeb7cdb6f03c13217"},       {3, "74960e2af6d60ff06b4d7e817d55b5e2"},
    {4, "0c46aacd9c5d17fcf4595f16c8032661"},       {7, "c74af78935a7d7183feced77a4a9ce24"},
    {8, "112697a40abadb2e6b191fcc03385958"},       {9, "1eef862de942c7e8a479922c99ee62f7"},
    {15, "6bd40f89b3ffbe9d4652d8d02a6d7139"},      {16, "44d6a0a6f52d8a9c0f392c723b07c29f"},
    {17, "efd01f22a8654cfdd0e69566bcffeb67"},      {31, "b6da33b57d09bd33c05f171078cc27f8"},
    {32, "e1f6b5a2fa5825e98923b948f25abe18"},      {33, "826cbc74d6a3107144830c1d48a7bcfd"},
    {64, "4d4be9b3855fe48cc95677fbfa6a1c95"},      {100, "c3bc85a960378e8674ca9b557e9f7ce5"},
    {127, "facf39ab2aca083a8643a68142b92e1c"},     {128, "485c827d73a8c7a40c3d5a7cc7931dae"},
    {129, "2959937b0e17d4f53fab37538e3d180b"},     {159, "ebe865493af52f5315522ca71d3f4470"},
    {160, "5611ca79764259ba3db3a514484ba5e1"},     {200, "50c8e9fee5a48f8b4993467b086781d0"},
    {239, "7110f995402b5923ebc9eadd8fd2e6b8"},     {240, "2d9c814ee5a91a68a9a784c5bfdf11c8"},
    {241, "ab873d03ec6a777db9c644ed33f1779c"},     {255, "ba30284d3323c91a4ff0b74607ca2559"},
    {256, "85f64f26b46843307dfbc8a81556b2e8"},     {257, "ed6f15c2a6c5f112442de296269f95f3"},
    {511, "d1ab33809e7fef5456719e6ecac57b10"},     {512, "5ada7d2fd75a05eac577c20e65e9d3b7"},
    {1023, "f3b381576e99c46f9667125357d20c28"},    {1024, "323a1d70d994b0f372a315a8583a97c4"},
    {1025, "1d269cb8e1ddaa6ec0214e7e4cfd9a4e"},    {1087, "55882208cd799ca5f392fa45ded98ce8"},
    {1088, "24a3ead8a22e70b81cfc0279e0e6ab55"},    {1089, "0be3b7f9838eeae5b602ef25db626dad"},
    {2047, "413664724759916c33aa460a4c0f6a9f"},    {2048, "661ce18e69e4fe91236ca74a62c39adf"},
    {2049, "4d0297070644d0725bac58eb2e99cfd9"},    {4096, "76c8243d5761011b6494c4e20dd03a04"},
    {5000, "21c4da125b8c5af2189e33f3bc758014"},    {65536, "f5c85509c65d28ad760231955c6135be"},
    {1048576, "d411e4fadb73d9524f7c66878e1dc3d4"}, {1048639, "d1695aa848594df0128376ed559e0356"},
    {3145741, "866f9699c96441cc13b22857b8b0c46c"},
};

const Bytes& Input() {
  static const Bytes input = RandomBytes(kVectors[std::size(kVectors) - 1].size, 1);
  return input;
}
}  // namespace

TEST(ContentDigest, MatchesTheReferenceForEveryLengthClass) {
  for (const CVector& v : kVectors)
    EXPECT_EQ(CContentDigest::Of(Input().data(), v.size).Hex(), v.hex) << v.size << " bytes";
}

TEST(ContentDigest, IrregularPiecesGiveTheDigestOfTheWhole) {
  // Pieces smaller than, equal to and larger than a stripe and a block, and
  // empty ones.
  const size_t pieces[] = {1, 0, 7, 64, 1023, 65, 1024, 3, 1025, 63, 5000};
  for (const CVector& v : kVectors) {
    CContentDigest digest;
    for (size_t at = 0, i = 0; at < v.size; ++i) {
      const size_t piece = std::min(pieces[i % std::size(pieces)], v.size - at);
      digest.Update(Input().data() + at, piece);
      at += piece;
    }
    EXPECT_EQ(digest.Final().Hex(), v.hex) << v.size << " bytes";
    EXPECT_EQ(digest.Length(), v.size);
  }
}

TEST(ContentDigest, FinalMidwayLeavesTheStateToGoOn) {
  CContentDigest digest;
  for (const CVector& v : kVectors) {
    digest.Update(Input().data() + digest.Length(), v.size - digest.Length());
    EXPECT_EQ(digest.Final().Hex(), v.hex) << v.size << " bytes";
  }
}
