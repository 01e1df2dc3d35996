// At the edge of what the 32-bit QelPatch.exe unpacks, releases made in
// memory of a container that compresses well: the check of --show, --stamp
// and --verify accepts the compressed one at the limit, and over it only the
// release carried stored, as the builder then writes it.
#include <gtest/gtest.h>

#include <algorithm>

#include "builder/release_limits.h"
#include "builder/show_release.h"
#include "container/container_writer.h"
#include "tests/support/package_file.h"

namespace {
// What the check says of the release of one package sent whole, filling a
// container of `size` bytes with a line of text, stored or compressed.
std::string Check(uint64_t size, bool compress) {
  // Long runs of one byte would take the compressor minutes.
  const std::string line = "The old road runs north through the pass to the harbour town.\n";
  Bytes content(size - 4 - 1100 - 12);
  std::copy(line.begin(), line.end(), content.begin());
  for (size_t filled = line.size(); filled < content.size(); filled *= 2)
    std::copy_n(content.begin(), std::min(filled, content.size() - filled),
                content.begin() + static_cast<ptrdiff_t>(filled));
  CEntryPlan entry{"big.pkg", "", "", {CChunkPlan::PayloadView(content.data(), content.size())}};
  Bytes release, compressed;
  std::string why;
  CReleaseView view;
  EXPECT_TRUE(
      BuildReleaseFile({entry}, {{{}, {content.data(), content.size()}}}, 0, release, &why) &&
      ReadReleaseFile(release.data(), release.size(), view, &why) &&
      (!compress ||
       CompressedReleaseFile(view.container, view.containerSize, view.manifest, compressed, &why)))
      << why;
  const Bytes& checked = compress ? compressed : release;
  return CheckRelease("big.qpd", checked.data(), checked.size(), 0, kReleaseSizeLimit, nullptr,
                      &why)
             ? "accepted"
             : why.substr(why.find(", "));
}
}  // namespace

TEST(CarriedLimit, ACompressedContainerLoadsUpToTheLimitAndStoredOverIt) {
  EXPECT_EQ(Check(kCarriedContainerLimit, true), "accepted");
  EXPECT_EQ(Check(kCarriedContainerLimit + 1, true),
            ", over the limit of 402653184 bytes that the 32-bit QelPatch.exe can unpack (built "
            "again, the release carries its container stored)");
  EXPECT_EQ(Check(kCarriedContainerLimit + 1, false), "accepted");
}

// Carried as streams, the program holds the tables and one entry's payload
// area at a time: the container may be larger than any block it holds.
TEST(CarriedLimit, StreamsLoadUpTo1GiBWhileEachBlockHeldFits) {
  const uint64_t kMiB = 1 << 20;
  const struct {
    uint64_t container, tables, payload;
    const char* refusal;  // from the first ", "
  } cases[] = {
      {kStreamsContainerLimit, kMiB, 200 * kMiB, ""},
      {kStreamsContainerLimit + 1, kMiB, 200 * kMiB,
       ", over the limit of 1073741824 bytes that the 32-bit QelPatch.exe can unpack (built "
       "again, the release carries its container stored)"},
      {700 * kMiB, kMiB, kCarriedContainerLimit + 1,
       ", of which it holds 402653185 at once, over the limit of 402653184 bytes that the 32-bit "
       "QelPatch.exe can unpack at once (built again, the release carries its container stored)"},
  };
  for (const auto& c : cases) {
    CReleaseManifest manifest;
    manifest.carrying = CCarrying::kStreams;
    manifest.containerSize = static_cast<uint32_t>(c.container);
    std::string why;
    const bool loads = LoadsInTheProgram(10 * kMiB, manifest, CHeldSizes{c.tables, c.payload},
                                         kReleaseSizeLimit, &why);
    EXPECT_EQ(loads ? "" : why.substr(why.find(", ")), c.refusal) << c.container;
  }
}
