// A release that carries its container as streams undoes into exactly that
// container once the installed bytes are added where its differences stand,
// whichever streams are empty; a byte damaged in any stream or in the
// manifest is refused when the release is loaded.
#include <gtest/gtest.h>

#include "base/path_text.h"
#include "container/installed_reads.h"
#include "container/release_loader.h"
#include "container/stream_splitter.h"
#include "tests/support/package_file.h"

namespace {
struct CMade {
  Bytes container;
  CPatchContainer validated;
  CReleaseManifest manifest;
  std::vector<CFileBytes> olds;
  Bytes release;
};

const Bytes kOld = RandomBytes(100000, 1);

// A recompiled file: every `step`th byte changed, the rest copied between.
// Its chunks are cut as covers would cut them, and when they are short
// (dense) it travels as covers.
Bytes Recompiled(uint32_t step) {
  Bytes latest = kOld;
  for (size_t i = step; i < latest.size(); i += step) latest[i] ^= 1;
  return latest;
}

void Make(bool rebuilt, bool added, CMade& made, bool dense = false) {
  const uint32_t step = dense ? 64 : 4096;
  static const Bytes sparse = Recompiled(4096), short_ = Recompiled(64);
  const Bytes& latest = dense ? short_ : sparse;
  static const Bytes fresh = RandomBytes(5000, 2);
  std::vector<std::pair<CEntryPlan, CEntryFiles>> entries;
  if (rebuilt) {
    CEntryPlan plan;
    plan.name = "a.pkg";
    plan.chunks.push_back(CChunkPlan::PayloadView(latest.data(), 32));
    for (uint32_t at = 32; at < latest.size();) {
      const uint32_t next = std::min<uint32_t>((at / step + 1) * step, latest.size());
      plan.chunks.push_back(CChunkPlan::Copy(at, next - at));
      if (next < latest.size()) plan.chunks.push_back(CChunkPlan::PayloadView(&latest[next], 1));
      at = next + 1;
    }
    entries.push_back({plan, {{kOld.data(), kOld.size()}, {latest.data(), latest.size()}}});
  }
  if (added) {
    CEntryPlan plan;
    plan.name = "b.pkg";
    plan.chunks.push_back(CChunkPlan::PayloadView(fresh.data(), 5000));
    entries.push_back({plan, {{}, {fresh.data(), fresh.size()}}});
  }
  CContainerWriter writer;
  for (const auto& [plan, files] : entries) {
    writer.AddEntry(plan);
    made.manifest.entries.push_back(
        DescribeEntry(plan, KindOf(plan.name, uint32_t(plan.chunks.size()), kCodePageUtf8),
                      files.old, files.latest));
    made.olds.push_back(files.old);
  }
  std::string why;
  ASSERT_TRUE(writer.Build(made.container, &why)) << why;
  ASSERT_TRUE(ValidatePatchContainer(made.container.data(), uint32_t(made.container.size()),
                                     kCodePageUtf8, &why, &made.validated))
      << why;
  const CContainerDigests digests = CContainerDigests::Of(made.validated);
  made.manifest.recordsDigest = digests.RecordsDigest();
  made.manifest.payloadDigest = digests.PayloadDigest();
  ASSERT_TRUE(
      StreamCarriedReleaseFile(made.validated, made.olds, made.manifest, made.release, &why))
      << why;
}

uint64_t U64At(const Bytes& bytes, size_t at) {
  return GetU32(&bytes[at]) | uint64_t{GetU32(&bytes[at + 4])} << 32;
}

// The container the release undoes into, its installed bytes added as the
// patcher adds them, entry by entry; empty, with `why`, when it is refused.
Bytes Undo(const Bytes& release, const CMade& made, std::string& why,
           CLoadRefusal* refused = nullptr, uint64_t coversKept = kCoversKeptLimit) {
  CLoadedRelease loaded;
  CLoadRefusal refusal = CLoadRefusal::kNone;
  const auto refuse = [&] {
    if (refused) *refused = refusal == CLoadRefusal::kNone ? CLoadRefusal::kDamaged : refusal;
    return Bytes();
  };
  CLoadRules rules;
  rules.coversKept = coversKept;
  if (!LoadRelease(release.data(), release.size(), rules, loaded, refusal, &why)) return refuse();
  const CPatchContainer& tables = loaded.container;
  Bytes container(tables.data, tables.data + 4);
  for (size_t i = 0; i < made.olds.size(); ++i) {
    const CContainerEntry& entry = tables.entries[i];
    const CManifestEntry& listed = loaded.view.manifest.entries[i];
    if (!loaded.HoldPayload(entry, refusal, &why)) return refuse();
    uint8_t* payload = loaded.HeldPayload();
    ForEachInstalledRead(
        tables, entry, listed.differs, listed.oldSize, [&](const CInstalledRead& read) {
          for (uint32_t k = 0; !read.copy && k < read.size; ++k)
            payload[read.payload - entry.payloadOffset + k] += made.olds[i].data[read.from + k];
          return true;
        });
    container.insert(container.end(), tables.data + entry.recordOffset,
                     tables.data + entry.tableOffset + entry.chunkCount * kChunkRecordSize);
    container.insert(container.end(), payload, payload + entry.payloadSize);
  }
  if (!loaded.CheckPayload(&why)) return refuse();
  return container;
}
}  // namespace

TEST(StreamCarrier, UndoesIntoTheContainerWhicheverStreamsAreEmpty) {
  // Per case, which streams hold bytes, in stream order: records, kinds,
  // sizes, diagonals, literals, differences, covers.
  const struct {
    bool rebuilt, added, dense;
    std::vector<bool> filled;
  } cases[] = {
      {false, false, false, {true, false, false, false, false, false, false}},
      {true, false, false, {true, true, true, true, true, true, false}},
      {false, true, false, {true, true, true, false, true, false, false}},
      {true, true, false, {true, true, true, true, true, true, false}},
      {true, false, true, {true, true, true, true, true, false, true}},
      {true, true, true, {true, true, true, true, true, false, true}},
  };
  for (const auto& c : cases) {
    CMade made;
    Make(c.rebuilt, c.added, made, c.dense);
    std::vector<bool> filled;
    for (uint32_t s = 0; s < kCarrierStreamCount; ++s)
      filled.push_back(U64At(made.release, 4 + 16 * s) != 0);
    EXPECT_EQ(filled, c.filled) << c.rebuilt << c.added;
    // The covers' runs kept from the tables, or unpacked again.
    for (const uint64_t kept : {kCoversKeptLimit, uint64_t{0}}) {
      std::string why;
      EXPECT_EQ(Undo(made.release, made, why, nullptr, kept), made.container) << why;
    }
    std::string why;
    // The recompiled file travels as differences, the new one as it is.
    CReleaseView view;
    ASSERT_TRUE(ReadReleaseManifest(made.release.data(), made.release.size(), view, &why)) << why;
    if (c.rebuilt) {
      EXPECT_TRUE(view.manifest.entries.front().differs);
    }
    if (c.added) {
      EXPECT_FALSE(view.manifest.entries.back().differs);
    }
  }
}

TEST(StreamCarrier, ADamagedByteInAnyStreamOrTheManifestIsRefused) {
  for (const bool dense : {false, true}) {
    CMade made;
    Make(true, true, made, dense);
    std::vector<size_t> damaged;
    size_t at = kCarrierHeadSize;
    for (uint32_t s = 0; s < kCarrierStreamCount; ++s) {
      const uint64_t packed = U64At(made.release, 4 + 16 * s + 8);
      if (packed != 0) damaged.push_back(at + packed / 2);
      at += packed;
    }
    damaged.push_back(at + 20);  // the manifest's body
    damaged.push_back(2);        // the stream table
    for (size_t byte : damaged) {
      Bytes release = made.release;
      release[byte] ^= 0x10;
      std::string why;
      CLoadRefusal refusal = CLoadRefusal::kNone;
      EXPECT_EQ(Undo(release, made, why, &refusal), Bytes()) << byte;
      EXPECT_EQ(refusal, CLoadRefusal::kDamaged) << byte;
      EXPECT_TRUE(why.find("damaged") != std::string::npos ||
                  why.find("does not match") != std::string::npos)
          << byte << ": " << why;
    }
  }
}

// Releases of the last version carry six streams, none of them covers.
TEST(StreamCarrier, ACarrierOfSixStreamsStillUndoes) {
  CMade made;
  Make(true, true, made);
  ASSERT_EQ(U64At(made.release, 4 + 16 * kCoversStream), 0u);
  Bytes six = made.release;
  const size_t covers = CarrierHeadSize(kCoversStream);
  six.erase(six.begin() + covers, six.begin() + covers + 16);
  PutU32(six.data(), kCoversStream);
  std::string why;
  EXPECT_EQ(Undo(six, made, why), made.container) << why;
}
