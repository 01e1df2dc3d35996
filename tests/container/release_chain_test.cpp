// The index of a release of several steps: read back as written, and every
// fault of it or of a step's bytes told for what it is.
#include "container/release_chain.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/little_endian.h"
#include "container/trailed_body.h"
#include "tests/support/package_file.h"

namespace {
const Bytes kFirst = RandomBytes(300, 1);
const Bytes kSecond = RandomBytes(200, 2);

// The steps, then the index that `spoil` changes before its digest is made
// (the digest itself when `spoilDigest`), then the trailer.
Bytes Chain(const std::function<void(Bytes& body)>& spoil = {}) {
  std::vector<CChainStep> index = {
      {kFirst.size(), CContentDigest::Of(kFirst.data(), kFirst.size())},
      {kSecond.size(), CContentDigest::Of(kSecond.data(), kSecond.size())}};
  Bytes tail = ChainIndexBytes(index);
  Bytes body(tail.begin(), tail.end() - kTrailerSize);
  if (spoil) spoil(body);
  const CDigest128 digest = CContentDigest::Of(body.data(), body.size());
  Bytes chain = kFirst;
  chain.insert(chain.end(), kSecond.begin(), kSecond.end());
  chain.insert(chain.end(), body.begin(), body.end());
  chain.insert(chain.end(), digest.bytes, digest.bytes + sizeof digest.bytes);
  AppendU32(chain, static_cast<uint32_t>(body.size()));
  chain.insert(chain.end(), kChainMagic, kChainMagic + 8);
  return chain;
}

std::string Refusal(const Bytes& chain) {
  std::vector<CReleaseStep> steps;
  std::string why;
  return ReadReleaseChain(chain.data(), chain.size(), steps, &why) ? "" : why;
}
}  // namespace

TEST(ReleaseChain, StepsReadBackAsWrittenAndAFileWithoutTheTrailerIsOneStep) {
  const Bytes chain = Chain();
  std::vector<CReleaseStep> steps;
  std::string why;
  ASSERT_TRUE(ReadReleaseChain(chain.data(), chain.size(), steps, &why)) << why;
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(Bytes(steps[1].data, steps[1].data + steps[1].size), kSecond);
  ASSERT_TRUE(ReadReleaseChain(kFirst.data(), kFirst.size(), steps, &why));
  EXPECT_EQ(steps.size(), 1u);
}

TEST(ReleaseChain, EachFaultIsTold) {
  Bytes flipped = Chain();
  flipped[350] ^= 1;  // a byte of the second step
  Bytes index = Chain();
  index[index.size() - 30] ^= 1;  // a byte of the index
  const struct {
    const char* what;
    Bytes chain;
    const char* reason;
  } cases[] = {
      {"a step's byte", flipped, "the digest of step 2 does not match"},
      {"the index's byte", index, "the chain index's digest does not match"},
      {"another version", Chain([](Bytes& b) { b[0] = 2; }), "a chain of version 2"},
      {"one step", Chain([](Bytes& b) { b[4] = 1; }),
       "the chain's index does not match its count of steps"},
      {"a step past the end", Chain([](Bytes& b) { b[8 + 24 + 1] = 9; }),
       "the chain's steps do not fill the file"},
  };
  for (const auto& c : cases)
    EXPECT_NE(Refusal(c.chain).find(c.reason), std::string::npos)
        << c.what << ": " << Refusal(c.chain);
}
