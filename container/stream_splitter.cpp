#include "container/stream_splitter.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "container/cover_cuts.h"
#include "container/installed_reads.h"

namespace {
// How much smaller the differences must guess to be: on new data the two
// guesses come within a few per cent of each other.
constexpr double kDifferencesPay = 0.9;

// Bits that an order-0 code of the bytes counted in `counts` takes: a fair
// guess, without compressing, of which of two forms of the same bytes packs
// smaller.
double Order0Bits(const std::array<uint64_t, 256>& counts) {
  uint64_t total = 0;
  for (uint64_t n : counts) total += n;
  double bits = 0;
  for (uint64_t n : counts)
    if (n != 0) bits += static_cast<double>(n) * std::log2(double(total) / double(n));
  return bits;
}

// Whether the entry's difference runs are clearly cheaper than the same
// bytes as they are: on recompiled code, where the neighbouring copy's
// diagonal carries on with a few bytes changed, they are mostly zeros. Bytes
// that differ as much either way (new data) stay as they are, where the
// compressor can still find them repeated elsewhere.
bool DifferencesPay(const CPatchContainer& container, const CContainerEntry& entry,
                    CFileBytes old) {
  std::array<uint64_t, 256> literal{}, difference{};
  uint64_t runBytes = 0;
  ForEachInstalledRead(container, entry, true, old.size, [&](const CInstalledRead& read) {
    if (read.copy) return true;
    const uint8_t* made = container.data + read.payload;
    const uint8_t* under = old.data + read.from;
    for (uint32_t i = 0; i < read.size; ++i) {
      ++literal[made[i]];
      ++difference[static_cast<uint8_t>(made[i] - under[i])];
    }
    runBytes += read.size;
    return true;
  });
  return runBytes != 0 && Order0Bits(difference) < kDifferencesPay * Order0Bits(literal);
}

// Whether the entry's chunk table is exactly the one its covers tell
// (cover_cuts.h), as the builder cuts an entry of short chunks, and which
// covers those are.
bool CutAsCovers(const CPatchContainer& container, const CContainerEntry& entry, CFileBytes old,
                 std::vector<CCover>& covers) {
  // Covers only where the chunks are short and most of them continue a
  // cover, as the builder cuts them.
  CChunkWalk sizes(container, entry);
  CChunkRecord chunk;
  int64_t diagonal = 0;
  uint64_t coverCount = 0;
  while (sizes.Next(chunk)) {
    if (chunk.IsPayload()) continue;
    const int64_t next = static_cast<int64_t>(chunk.offset) - static_cast<int64_t>(sizes.At());
    coverCount += coverCount == 0 || next != diagonal;
    diagonal = next;
  }
  if (!CoversPay(sizes.At(), entry.chunkCount, coverCount)) return false;
  CEntryCovers cut(old.data, old.size);
  std::vector<CCoverCut> chunks;
  CChunkWalk walk(container, entry);
  while (walk.Next(chunk)) {
    if (!chunk.IsPayload()) {
      cut.Copy(walk.At(), chunk.size, chunk.offset);
    } else {
      cut.Payload(walk.At(), chunk.size, walk.PayloadOf(chunk));
    }
    if (!cut.Covers().empty()) chunks.push_back({!chunk.IsPayload(), chunk.size});
  }
  if (!cut.End() || cut.Cuts() != chunks) return false;
  covers = cut.Covers();
  return true;
}
}  // namespace

bool CStreamSplitter::PutVarint(CCarrierStream stream, uint64_t value) {
  scratch_.clear();
  AppendVarint(scratch_, value);
  return Put(stream, scratch_.data(), scratch_.size());
}

bool CStreamSplitter::Begin(uint32_t entryCount) {
  uint8_t count[4];
  PutU32(count, entryCount);
  return Put(kRecordsStream, count, sizeof count);
}

bool CStreamSplitter::Add(const CPatchContainer& container, const CContainerEntry& entry,
                          CFileBytes old, CManifestEntry& listed) {
  // Differences need an installed file to read, which only an entry that
  // copies is sure to have opened and checked before it is made.
  listed.differs = old.data != nullptr && listed.copies && DifferencesPay(container, entry, old);
  if (listed.differs) {
    CContentDigest read;
    ForEachInstalledRead(container, entry, true, old.size, [&](const CInstalledRead& r) {
      read.Update(old.data + r.from, r.size);
      return true;
    });
    listed.copiedDigest = read.Final();
  }
  std::vector<CCover> covers;
  const bool covered = listed.differs && CutAsCovers(container, entry, old, covers);
  const CPayloadForm form = covered          ? CPayloadForm::kCovers
                            : listed.differs ? CPayloadForm::kDifferences
                                             : CPayloadForm::kLiteral;
  const uint8_t formByte = static_cast<uint8_t>(form);
  if (!Put(kRecordsStream, container.data + entry.recordOffset, kEntryRecordSize) ||
      !Put(kKindsStream, &formByte, 1))
    return false;
  const CCarrierStream differencesStream = covered ? kCoversStream : kDifferencesStream;
  CChunkWalk walk(container, entry);
  CChunkRecord chunk;
  int64_t diagonal = 0;
  bool copied = false;
  size_t cover = 0;
  std::vector<uint8_t> differences;
  const uint8_t* record = container.data + entry.tableOffset;
  for (; walk.Next(chunk); record += kChunkRecordSize) {
    if (!Put(kKindsStream, record, 4)) return false;
    // Of an entry carried as covers, the cover tells each size after the
    // first copy.
    if ((!covered || (!copied && chunk.IsPayload())) && !PutVarint(kSizesStream, chunk.size))
      return false;
    if (!chunk.IsPayload()) {
      const int64_t next = static_cast<int64_t>(chunk.offset) - static_cast<int64_t>(walk.At());
      copied = true;
      if (covered) {
        if (!PutZeros(kCoversStream, chunk.size)) return false;
        if (cover == covers.size() || covers[cover].start != walk.At()) continue;
        if (!PutVarint(kSizesStream, covers[cover].length)) return false;
        ++cover;
      }
      if (!PutVarint(kDiagonalsStream, Zigzag(next - diagonal))) return false;
      diagonal = next;
      continue;
    }
    const uint8_t* bytes = walk.PayloadOf(chunk);
    uint32_t first = chunk.size, length = 0;
    if (!listed.differs || !copied ||
        !DifferenceRun(walk.At(), chunk.size, diagonal, old.size, first, length))
      first = chunk.size;
    differences.resize(length);
    if (length != 0) {
      const uint8_t* under =
          old.data + static_cast<uint64_t>(static_cast<int64_t>(walk.At()) + diagonal) + first;
      for (uint32_t i = 0; i < length; ++i)
        differences[i] = static_cast<uint8_t>(bytes[first + i] - under[i]);
    }
    const uint32_t tail = chunk.size - first - length;
    payload_.Update(bytes, first);
    payload_.Update(differences.data(), length);
    payload_.Update(bytes + first + length, tail);
    if (!Put(kLiteralsStream, bytes, first) ||
        !Put(differencesStream, differences.data(), length) ||
        !Put(kLiteralsStream, bytes + first + length, tail))
      return false;
  }
  return true;
}

bool CStreamSplitter::PutZeros(CCarrierStream stream, uint64_t count) {
  scratch_.assign(std::min<uint64_t>(count, 1u << 16), 0);
  for (; count != 0; count -= std::min<uint64_t>(count, scratch_.size()))
    if (!Put(stream, scratch_.data(), std::min<uint64_t>(count, scratch_.size()))) return false;
  return true;
}

CPackTuning StreamTuning(uint32_t stream) {
  switch (stream) {
    case kKindsStream:
      return CPackTuning{0, 2, 2};
    case kSizesStream:
    case kDiagonalsStream:
    case kDifferencesStream:
      return CPackTuning{0, 0, 0, 0, 2};
    case kCoversStream:
      return CPackTuning{0, 0, 0, 273};
    default:
      return CPackTuning{};
  }
}

bool StreamCarriedReleaseFile(const CPatchContainer& container, const std::vector<CFileBytes>& olds,
                              CReleaseManifest manifest, std::vector<uint8_t>& out,
                              std::string* why) {
  std::array<std::vector<uint8_t>, kCarrierStreamCount> raw;
  CStreamSplitter::CSinks sinks;
  for (uint32_t s = 0; s < kCarrierStreamCount; ++s)
    sinks[s] = [&raw, s](const uint8_t* data, size_t size) {
      raw[s].insert(raw[s].end(), data, data + size);
      return true;
    };
  CStreamSplitter splitter(sinks);
  splitter.Begin(static_cast<uint32_t>(container.entries.size()));
  for (size_t i = 0; i < container.entries.size(); ++i)
    splitter.Add(container, container.entries[i], olds[i], manifest.entries[i]);
  CCarrierSizes sizes;
  std::vector<uint8_t> packed;
  for (uint32_t s = 0; s < kCarrierStreamCount; ++s) {
    const size_t before = packed.size();
    const CPackOutput output = [&](const uint8_t* data, size_t size) {
      packed.insert(packed.end(), data, data + size);
      return true;
    };
    if (!raw[s].empty()) {
      CContainerPacker packer(raw[s].size(), output, CPackProgress(), StreamTuning(s));
      if (!packer.Take(raw[s].data(), raw[s].size()) || !packer.Finish(why)) return false;
    }
    sizes[s] = CCarrierStreamSize{raw[s].size(), packed.size() - before};
  }
  out = CarrierHead(sizes);
  out.insert(out.end(), packed.begin(), packed.end());
  manifest.carrying = CCarrying::kStreams;
  manifest.containerSize = container.size;
  manifest.payloadDigest = splitter.PayloadDigest();
  const std::vector<uint8_t> trailer = ManifestBytes(manifest);
  out.insert(out.end(), trailer.begin(), trailer.end());
  return true;
}
