// At the edge of what the 32-bit QelPatch.exe unpacks: releases made in
// memory of a container that compresses well (a line of text repeated), of
// the limit's size and of one byte more. The check that --show, --stamp and
// --verify make of a release accepts the compressed one at the limit only;
// over it the release carried stored, as the builder then writes it.
#include <gtest/gtest.h>

#include <algorithm>

#include "builder/release_limits.h"
#include "builder/show_release.h"
#include "container/container_writer.h"
#include "tests/support/package_file.h"

namespace {
// One package sent whole, filling a container of `size` bytes: the entry
// count, the entry record, one chunk record and the payload.
struct CLimitRelease {
  explicit CLimitRelease(uint64_t size) : content(size - 4 - 1100 - 12) {
    const std::string line = "The old road runs north through the pass to the harbour town.\n";
    std::copy(line.begin(), line.end(), content.begin());
    for (size_t filled = line.size(); filled < content.size(); filled *= 2)
      std::copy_n(content.begin(), std::min(filled, content.size() - filled),
                  content.begin() + static_cast<ptrdiff_t>(filled));
    CEntryPlan entry;
    entry.name = "big.pkg";
    entry.chunks.push_back(
        CChunkPlan::PayloadView(content.data(), static_cast<uint32_t>(content.size())));
    std::string why;
    EXPECT_TRUE(
        BuildReleaseFile({entry}, {{{}, {content.data(), content.size()}}}, 0, stored, &why))
        << why;
    CReleaseView view;
    EXPECT_TRUE(
        ReadReleaseFile(stored.data(), stored.size(), view, &why) &&
        CompressedReleaseFile(view.container, view.containerSize, view.manifest, compressed, &why))
        << why;
  }

  Bytes content;
  Bytes stored;
  Bytes compressed;
};

std::string Refusal(const Bytes& release) {
  std::string why;
  return CheckRelease("big.qpd", release.data(), release.size(), 0, kReleaseSizeLimit, nullptr,
                      &why)
             ? "accepted"
             : why;
}
}  // namespace

TEST(CarriedLimit, ACompressedContainerLoadsUpToTheLimitAndStoredOverIt) {
  const CLimitRelease atLimit(kCarriedContainerLimit);
  ASSERT_LT(atLimit.compressed.size(), 1u << 20);
  EXPECT_EQ(Refusal(atLimit.compressed), "accepted");

  const CLimitRelease over(kCarriedContainerLimit + 1);
  EXPECT_EQ(Refusal(over.compressed),
            "big.qpd: " + std::to_string(over.compressed.size()) + " bytes that unpack to " +
                std::to_string(kCarriedContainerLimit + 1) +
                ", over the limit of 402653184 bytes that the 32-bit QelPatch.exe can unpack "
                "(built again, the release carries its container stored)");
  EXPECT_EQ(Refusal(over.stored), "accepted");
}
