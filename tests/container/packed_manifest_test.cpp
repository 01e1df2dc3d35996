// A manifest whose lists travel compressed reads back as the manifest it was
// made from, and lists that do not unpack are refused for what they are.
#include "container/packed_manifest.h"

#include <gtest/gtest.h>

#include "base/little_endian.h"
#include "container/release_manifest.h"
#include "container/trailed_body.h"

namespace {
CReleaseManifest Manifest(uint32_t unchanged) {
  CReleaseManifest manifest;
  manifest.carrying = CCarrying::kStreams;
  manifest.entries.resize(1);
  manifest.entries[0].newSize = 12345;
  // Digests do not compress: one entry alone is smaller as it is.
  uint32_t state = 7;
  for (CDigest128* digest : {&manifest.entries[0].newDigest, &manifest.entries[0].copiedDigest})
    for (uint8_t& byte : digest->bytes) byte = static_cast<uint8_t>((state *= 69069) >> 24);
  for (uint32_t i = 0; i < unchanged; ++i)
    manifest.unchanged.push_back({"data/maps/region" + std::to_string(i) + ".pkg", 4096 + i});
  manifest.toVersion = "1.2";
  return manifest;
}

std::string Read(const std::vector<uint8_t>& bytes, CReleaseView& view) {
  std::string why;
  return ReadReleaseManifest(bytes.data(), bytes.size(), view, &why) ? "" : why;
}
}  // namespace

TEST(PackedManifest, ListsTravelCompressedWhenThatIsSmaller) {
  for (uint32_t unchanged : {0u, 5000u}) {
    const CReleaseManifest manifest = Manifest(unchanged);
    const std::vector<uint8_t> plain = ManifestBytes(manifest);
    std::vector<uint8_t> packed;
    std::string why;
    ASSERT_TRUE(PackManifest(plain, packed, &why)) << why;
    EXPECT_EQ(GetU32(packed.data()), unchanged ? kManifestPackedVersion : kManifestStreamsVersion);
    if (unchanged) {
      EXPECT_LT(packed.size() * 4, plain.size());
    }
    CReleaseView view;
    ASSERT_EQ(Read(packed, view), "");
    EXPECT_EQ(view.manifest.unchanged, manifest.unchanged);
    EXPECT_EQ(view.manifest.entries[0].newSize, 12345u);
    EXPECT_EQ(view.manifest.toVersion, "1.2");
  }
}

TEST(PackedManifest, ListsThatDoNotUnpackAreRefused) {
  std::vector<uint8_t> packed;
  std::string why;
  ASSERT_TRUE(PackManifest(ManifestBytes(Manifest(5000)), packed, &why)) << why;
  const std::vector<uint8_t> body(packed.begin(), packed.end() - kTrailerSize);
  std::vector<uint8_t> damaged = body, longer = body, huge = body;
  damaged[body.size() / 2] ^= 0x20;
  PutU32(&longer[64], GetU32(&body[64]) + 1);
  PutU32(&huge[64], kManifestListsLimit + 1);
  const struct {
    std::vector<uint8_t> body;
    const char* refusal;
  } cases[] = {
      {damaged, "the manifest's lists are damaged"},
      {longer, "the manifest's lists are damaged"},
      {huge, "the manifest's lists unpack to 268435457 bytes, over the limit of 268435456"},
  };
  for (const auto& c : cases) {
    CReleaseView view;
    EXPECT_EQ(Read(Trailed(c.body, kManifestMagic), view).rfind(c.refusal, 0), 0u)
        << Read(Trailed(c.body, kManifestMagic), view);
  }
}
