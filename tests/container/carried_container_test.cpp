// A release file that carries its container compressed unpacks to exactly
// the container it was made from, and any disagreement between the
// compressed bytes and the manifest's word on them is told for what it is.
#include <gtest/gtest.h>

#include "container/container_writer.h"
#include "container/release_manifest.h"
#include "tests/support/package_file.h"

namespace {
// A container with a compressible payload and a random one.
Bytes MakeContainer() {
  CEntryPlan entry;
  entry.name = "maps/a.pkg";
  entry.chunks.push_back(CChunkPlan::Payload(RandomBytes(32, 1)));
  entry.chunks.push_back(CChunkPlan::Payload(TextBytes(std::string(50000, 'q'))));
  entry.chunks.push_back(CChunkPlan::Payload(RandomBytes(3000, 2)));
  CContainerWriter writer;
  writer.AddEntry(entry);
  Bytes container;
  std::string why;
  EXPECT_TRUE(writer.Build(container, &why)) << why;
  return container;
}

// The release file of `packed` and a manifest saying `carrying` and `size`.
Bytes ReleaseOf(const Bytes& packed, uint32_t carrying, uint32_t size) {
  CReleaseManifest manifest;
  manifest.carrying = static_cast<CCarrying>(carrying);
  manifest.containerSize = size;
  Bytes release = packed;
  const Bytes trailer = ManifestBytes(manifest);
  release.insert(release.end(), trailer.begin(), trailer.end());
  return release;
}

std::string Refusal(const Bytes& release) {
  CReleaseView view;
  std::string why;
  return ReadReleaseFile(release.data(), release.size(), view, &why) ? "" : why;
}
}  // namespace

TEST(CarriedContainer, UnpacksToTheContainerItWasMadeFrom) {
  const Bytes container = MakeContainer();
  Bytes release;
  std::string why;
  ASSERT_TRUE(CompressedReleaseFile(container.data(), static_cast<uint32_t>(container.size()),
                                    CReleaseManifest(), release, &why))
      << why;
  EXPECT_LT(release.size(), container.size() / 4);
  CReleaseView view;
  ASSERT_TRUE(ReadReleaseFile(release.data(), release.size(), view, &why)) << why;
  EXPECT_EQ(Bytes(view.container, view.container + view.containerSize), container);
  EXPECT_EQ(view.manifest.carrying, CCarrying::kXz);
}

TEST(CarriedContainer, DisagreementsWithTheManifestAreToldApart) {
  const Bytes container = MakeContainer();
  const uint32_t size = static_cast<uint32_t>(container.size());
  Bytes packed;
  std::string why;
  ASSERT_TRUE(PackContainer(container.data(), size, packed, &why)) << why;
  Bytes longer = packed;
  longer.push_back(0);
  const Bytes shorter(packed.begin(), packed.end() - 1);
  Bytes unmarked = packed;
  unmarked[0] ^= 1;  // the stream's magic
  const struct {
    Bytes release;
    std::string reason;
  } cases[] = {
      {ReleaseOf(packed, 1, size - 1), "does not unpack to " + std::to_string(size - 1) + " bytes"},
      {ReleaseOf(packed, 1, size + 1),
       "unpacks to " + std::to_string(size) + " bytes, not " + std::to_string(size + 1)},
      {ReleaseOf(longer, 1, size), "bytes follow the compressed container"},
      {ReleaseOf(shorter, 1, size), "does not unpack to " + std::to_string(size) + " bytes"},
      {ReleaseOf(unmarked, 1, size), "the compressed container is damaged"},
      {ReleaseOf(packed, 3, size), "compressed in a way this patcher does not read (3)"},
  };
  for (const auto& c : cases) {
    const std::string refusal = Refusal(c.release);
    EXPECT_NE(refusal.find(c.reason), std::string::npos) << c.reason << " / " << refusal;
  }
  EXPECT_EQ(Refusal(ReleaseOf(packed, 1, size)), "");
}

TEST(CarriedContainer, PiecesOfAnySizePackToTheSameBytes) {
  const Bytes container = MakeContainer();
  Bytes whole;
  std::string why;
  ASSERT_TRUE(PackContainer(container.data(), container.size(), whole, &why)) << why;
  for (size_t piece : {size_t{1}, size_t{7}, size_t{4096}, container.size() / 2 + 1}) {
    Bytes packed;
    const CPackOutput output = [&packed](const uint8_t* data, size_t size) {
      packed.insert(packed.end(), data, data + size);
      return true;
    };
    CContainerPacker packer(container.size(), output);
    for (size_t at = 0; at < container.size(); at += piece)
      packer.Take(container.data() + at, std::min(piece, container.size() - at));
    ASSERT_TRUE(packer.Finish(&why)) << why;
    EXPECT_EQ(packed, whole) << piece;
  }
}
