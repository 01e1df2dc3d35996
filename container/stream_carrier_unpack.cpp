#include <lzma.h>

#include <algorithm>
#include <memory>

#include "base/refusal.h"
#include "container/cover_cuts.h"
#include "container/installed_reads.h"
#include "container/stream_carrier.h"

namespace {
constexpr size_t kBufferSize = 64 * 1024;
// Made between two reports of progress.
constexpr uint64_t kProgressStep = 1u << 20;
// No diagonal of a file under 4 GiB lies further out.
constexpr int64_t kDiagonalLimit = int64_t{1} << 33;

bool Damaged(std::string* why, const std::string& what) {
  return Refuse(why, "the patch data's stream of " + what + " is damaged");
}

// One stream of the carrier, unpacked as its bytes are asked for.
class CStreamReader {
 public:
  CStreamReader() = default;
  CStreamReader(const CStreamReader&) = delete;
  CStreamReader& operator=(const CStreamReader&) = delete;
  ~CStreamReader() { lzma_end(&stream_); }

  bool Start(const uint8_t* packed, const CCarrierStreamSize& size, bool& outOfMemory,
             std::string* why) {
    left_ = size.raw;
    packedSize_ = size.packed;
    if ((size.raw == 0) != (size.packed == 0)) return Damaged(why, "stream sizes");
    if (size.raw == 0) return true;
    // A damaged header could ask for any dictionary; the size allows this much.
    const lzma_ret started = lzma_stream_decoder(&stream_, UnpackMemory(size.raw), 0);
    outOfMemory = started == LZMA_MEM_ERROR;
    if (started != LZMA_OK) return Refuse(why, "not enough memory to unpack the patch data");
    stream_.next_in = packed;
    stream_.avail_in = static_cast<size_t>(size.packed);
    return true;
  }

  // Exactly `n` bytes, or false.
  bool Read(uint8_t* out, uint64_t n) {
    const size_t buffered = std::min<uint64_t>(n, end_ - at_);
    std::copy_n(buffer_.get() + at_, buffered, out);
    at_ += buffered;
    out += buffered;
    n -= buffered;
    if (n == 0) return true;
    if (n >= kBufferSize) return Decode(out, n);
    if (!Fill()) return false;
    if (end_ - at_ < n) return false;
    std::copy_n(buffer_.get() + at_, n, out);
    at_ += static_cast<size_t>(n);
    return true;
  }

  bool Varint(uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      uint8_t byte = 0;
      if (!Read(&byte, 1)) return false;
      value |= uint64_t{byte & 0x7Fu} << shift;
      if ((byte & 0x80) == 0) return true;
    }
    return false;
  }

  // Passes over exactly `n` bytes, or false.
  bool Skip(uint64_t n) {
    while (n != 0) {
      if (at_ == end_ && !Fill()) return false;
      const size_t step = static_cast<size_t>(std::min<uint64_t>(n, end_ - at_));
      at_ += step;
      n -= step;
    }
    return true;
  }

  // Every byte was read, and the stream ends there with nothing after it.
  bool Ended() {
    if (at_ != end_ || left_ != 0) return false;
    if (packedSize_ == 0) return true;
    if (finished_) return stream_.total_in == packedSize_;
    uint8_t extra = 0;
    stream_.next_out = &extra;
    stream_.avail_out = 1;
    const lzma_ret result = lzma_code(&stream_, LZMA_FINISH);
    return result == LZMA_STREAM_END && stream_.avail_out == 1 && stream_.total_in == packedSize_;
  }

 private:
  // n bytes straight from the decoder; no more than the stream holds.
  bool Decode(uint8_t* out, uint64_t n) {
    if (n > left_) return false;
    while (n != 0) {
      const size_t step = static_cast<size_t>(std::min<uint64_t>(n, 1u << 30));
      stream_.next_out = out;
      stream_.avail_out = step;
      const lzma_ret result = lzma_code(&stream_, LZMA_FINISH);
      const size_t made = step - stream_.avail_out;
      out += made;
      n -= made;
      left_ -= made;
      // The stream's end may come only with its last byte.
      finished_ = result == LZMA_STREAM_END;
      if (finished_ ? n != 0 || left_ != 0 : result != LZMA_OK || made == 0) return false;
    }
    return true;
  }

  bool Fill() {
    if (!buffer_) buffer_.reset(new uint8_t[kBufferSize]);
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kBufferSize, left_));
    at_ = 0;
    end_ = 0;
    if (want == 0 || !Decode(buffer_.get(), want)) return false;
    end_ = want;
    return true;
  }

  lzma_stream stream_ = LZMA_STREAM_INIT;
  uint64_t left_ = 0;  // bytes the decoder has still to make
  uint64_t packedSize_ = 0;
  bool finished_ = false;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t at_ = 0;
  size_t end_ = 0;
};

// The stream table; `headSize` learns where the packed bytes start. A carrier
// from before covers has six streams, and no covers.
bool ReadHead(const uint8_t* carried, uint64_t carriedSize, CCarrierSizes& sizes,
              uint64_t& headSize, std::string* why) {
  if (carriedSize < 4) return Damaged(why, "stream sizes");
  const uint32_t count = GetU32(carried);
  if (count != kCarrierStreamCount && count != kCarrierStreamsBeforeCovers)
    return Damaged(why, "stream sizes");
  headSize = CarrierHeadSize(count);
  if (carriedSize < headSize) return Damaged(why, "stream sizes");
  CByteCursor head(carried + 4, headSize - 4);
  uint64_t packed = headSize;
  sizes = CCarrierSizes();
  for (uint32_t s = 0; s < count; ++s) {
    sizes[s].raw = head.ReadU64();
    sizes[s].packed = head.ReadU64();
    if (sizes[s].packed > carriedSize - packed) return Damaged(why, "stream sizes");
    packed += sizes[s].packed;
  }
  if (packed != carriedSize) return Damaged(why, "stream sizes");
  return true;
}

// The streams' readers of the tables, each over its packed bytes; the
// covers are read here once to tell the chunks, and again with the payload.
struct CStreams {
  CStreamReader reader[kLiteralsStream];
  CStreamReader covers;
  // The covers' difference runs, kept for the payload while they fit in
  // keptRoom (kCoversKeptLimit at most), so that the covers are unpacked only
  // once.
  std::unique_ptr<uint8_t[]> kept;
  uint64_t keptSize = 0;
  uint64_t keptRoom = 0;
  CStreamReader& operator[](CCarrierStream s) { return s == kCoversStream ? covers : reader[s]; }
};

// Tells the chunks of the next cover of an entry carried as covers, which
// starts at `at` in the file made, into `cuts`, no more than the `chunksLeft`
// of the entry's table; `diagonal` moves to the cover's own.
bool CutNextCover(CStreams& streams, uint64_t at, uint64_t oldSize, uint32_t chunksLeft,
                  int64_t& diagonal, std::vector<CCoverCut>& cuts, std::string* why) {
  uint64_t length = 0, change = 0;
  if (!streams[kSizesStream].Varint(length) || length == 0 || length > UINT32_MAX)
    return Damaged(why, "chunk sizes");
  if (!streams[kDiagonalsStream].Varint(change)) return Damaged(why, "copy offsets");
  diagonal += Unzigzag(change);
  const int64_t start = static_cast<int64_t>(at) + diagonal;
  if (diagonal > kDiagonalLimit || diagonal < -kDiagonalLimit || start < 0 ||
      static_cast<uint64_t>(start) >= oldSize)
    return Damaged(why, "copy offsets");
  // The cover's differences run as far as the installed file does.
  const uint64_t inside = std::min<uint64_t>(length, oldSize - static_cast<uint64_t>(start));
  cuts.clear();
  CCoverCutter cutter(cuts);
  if (streams.kept) cutter.Keep(streams.kept.get() + streams.keptSize);
  uint8_t buffer[4096];
  for (uint64_t left = inside; left != 0;) {
    const size_t step = static_cast<size_t>(std::min<uint64_t>(left, sizeof buffer));
    if (!streams[kCoversStream].Read(buffer, step)) return Damaged(why, "covers");
    // Past the room, nothing is kept: the payload unpacks the covers again.
    if (streams.kept &&
        streams.keptRoom - static_cast<uint64_t>(cutter.KeptEnd() - streams.kept.get()) < step) {
      streams.kept.reset();
      cutter.Keep(nullptr);
    }
    cutter.Take(buffer, step);
    left -= step;
    if (cuts.size() > chunksLeft) return Damaged(why, "covers");
  }
  if (!cutter.End(static_cast<uint32_t>(length - inside))) return Damaged(why, "covers");
  if (streams.kept) streams.keptSize = static_cast<uint64_t>(cutter.KeptEnd() - streams.kept.get());
  std::reverse(cuts.begin(), cuts.end());
  return true;
}

// One entry's record and chunk table into tables[position, ...), its chunks'
// offsets made again; `area` is where its payload area starts in the
// container, and moves past it.
bool UnpackEntryTable(CStreams& streams, const CManifestEntry& listed, uint8_t* tables,
                      uint32_t size, uint64_t& position, uint64_t& area, uint64_t containerSize,
                      CPayloadForm& form, std::string* why) {
  if (size - position < kEntryRecordSize) return Damaged(why, "entry records");
  uint8_t* record = tables + position;
  if (!streams[kRecordsStream].Read(record, kEntryRecordSize)) return Damaged(why, "entry records");
  const uint32_t payloadSize = GetU32(record + kPayloadSizeOffset);
  const uint32_t chunkCount = GetU32(record + kChunkCountOffset);
  const uint64_t tableStart = position + kEntryRecordSize;
  const uint64_t tableEnd = tableStart + uint64_t{chunkCount} * kChunkRecordSize;
  area += tableEnd - position;
  const uint64_t areaEnd = area + payloadSize;
  if (tableEnd > size || areaEnd > containerSize) return Damaged(why, "entry records");
  uint8_t formByte = 0;
  if (!streams[kKindsStream].Read(&formByte, 1) ||
      formByte > static_cast<uint8_t>(CPayloadForm::kCovers) || (formByte != 0) != listed.differs)
    return Damaged(why, "chunk kinds");
  form = static_cast<CPayloadForm>(formByte);
  uint64_t at = 0;
  int64_t diagonal = 0;
  uint64_t payloadAt = area;
  bool copied = false;
  std::vector<CCoverCut> cuts;  // the rest of the cover, last chunk first
  for (uint32_t c = 0; c < chunkCount; ++c) {
    uint8_t* chunk = tables + tableStart + uint64_t{c} * kChunkRecordSize;
    uint64_t chunkSize = 0;
    if (!streams[kKindsStream].Read(chunk, 4)) return Damaged(why, "chunk kinds");
    copied = copied || chunk[0] == 0;
    if (form == CPayloadForm::kCovers && copied) {
      // A cover starts with a copy.
      if (cuts.empty() && chunk[0] != 0) return Damaged(why, "chunk kinds");
      if (cuts.empty() &&
          !CutNextCover(streams, at, listed.oldSize, chunkCount - c, diagonal, cuts, why))
        return false;
      if (cuts.back().copy != (chunk[0] == 0)) return Damaged(why, "chunk kinds");
      chunkSize = cuts.back().size;
      cuts.pop_back();
    } else if (!streams[kSizesStream].Varint(chunkSize) || chunkSize > UINT32_MAX) {
      return Damaged(why, "chunk sizes");
    }
    PutU32(chunk + 8, static_cast<uint32_t>(chunkSize));
    if (chunk[0] == 0) {
      uint64_t change = 0;
      if (form != CPayloadForm::kCovers) {
        if (!streams[kDiagonalsStream].Varint(change)) return Damaged(why, "copy offsets");
        diagonal += Unzigzag(change);
      }
      const int64_t offset = static_cast<int64_t>(at) + diagonal;
      if (diagonal > kDiagonalLimit || diagonal < -kDiagonalLimit || offset < 0 ||
          offset > UINT32_MAX)
        return Damaged(why, "copy offsets");
      PutU32(chunk + 4, static_cast<uint32_t>(offset));
    } else {
      if (chunkSize > areaEnd - payloadAt) return Damaged(why, "chunk sizes");
      PutU32(chunk + 4, static_cast<uint32_t>(payloadAt));
      payloadAt += chunkSize;
    }
    at += chunkSize;
  }
  if (payloadAt != areaEnd || !cuts.empty()) return Damaged(why, "chunk sizes");
  position = tableEnd;
  area = areaEnd;
  return true;
}
}  // namespace

void AppendVarint(std::vector<uint8_t>& out, uint64_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<uint8_t>(value | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<uint8_t>(value));
}

std::vector<uint8_t> CarrierHead(const CCarrierSizes& sizes) {
  std::vector<uint8_t> head;
  AppendU32(head, kCarrierStreamCount);
  for (const CCarrierStreamSize& size : sizes) {
    AppendU64(head, size.raw);
    AppendU64(head, size.packed);
  }
  return head;
}

struct CCarrierPayload::CState {
  CStreamReader literals;
  CStreamReader differences;
  CStreamReader covers;
  // The covers' difference runs as the tables kept them; else `covers`.
  std::unique_ptr<uint8_t[]> kept;
  uint64_t keptSize = 0;
  uint64_t keptAt = 0;
  std::vector<CManifestEntry> listed;
  std::vector<CPayloadForm> forms;
  CDigest128 payloadDigest;
  CContentDigest digest;
  size_t next = 0;  // the entry the streams stand at
  std::unique_ptr<uint8_t[]> held;
  uint32_t heldSize = 0;
};

CCarrierPayload::CCarrierPayload() : state_(new CState) {}
CCarrierPayload::~CCarrierPayload() = default;

uint8_t* CCarrierPayload::Held() const {
  return state_->held.get();
}

CPayloadForm CCarrierPayload::FormOf(size_t index) const {
  return state_->forms[index];
}

bool CCarrierPayload::Take(const CPatchContainer& tables, size_t index, bool& outOfMemory,
                           std::string* why) {
  outOfMemory = false;
  CState& state = *state_;
  if (index < state.next || index >= tables.entries.size())
    return Refuse(why, "the patch data's entries were asked for out of their order");
  for (; state.next <= index; ++state.next) {
    const CContainerEntry& entry = tables.entries[state.next];
    const CManifestEntry& listed = state.listed[state.next];
    if (!state.held || state.heldSize < entry.payloadSize) {
      // The memory of the last entry goes first: one block at a time. An
      // empty area still has an address.
      state.held.reset();
      state.heldSize = 0;
      state.held.reset(new (std::nothrow) uint8_t[std::max<uint32_t>(entry.payloadSize, 1)]);
      if (!state.held) {
        outOfMemory = true;
        return Refuse(why, "not enough memory to unpack the patch data of " +
                               std::string(entry.name) + " (" + std::to_string(entry.payloadSize) +
                               " bytes)");
      }
      state.heldSize = entry.payloadSize;
    }
    uint8_t* bytes = state.held.get();
    uint32_t done = 0;
    // Covers hold zeros in the place of each copy, but not as the tables
    // kept them.
    const bool covered = state.forms[state.next] == CPayloadForm::kCovers;
    const bool kept = covered && state.kept;
    CStreamReader& differences = covered ? state.covers : state.differences;
    const auto readRun = [&](uint8_t* out, uint32_t size) {
      if (!kept) return differences.Read(out, size);
      if (size > state.keptSize - state.keptAt) return false;
      std::copy_n(state.kept.get() + state.keptAt, size, out);
      state.keptAt += size;
      return true;
    };
    const bool runs = ForEachInstalledRead(
        tables, entry, listed.differs, listed.oldSize, [&](const CInstalledRead& read) {
          if (read.copy) return !covered || kept || differences.Skip(read.size);
          const uint32_t first = read.payload - entry.payloadOffset;
          if (!state.literals.Read(bytes + done, first - done) ||
              !readRun(bytes + first, read.size))
            return false;
          done = first + read.size;
          return true;
        });
    if (!runs || !state.literals.Read(bytes + done, entry.payloadSize - done))
      return Damaged(why, "payload");
    state.digest.Update(bytes, entry.payloadSize);
  }
  return true;
}

bool CCarrierPayload::Finish(const CPatchContainer& tables, std::string* why) {
  CState& state = *state_;
  bool outOfMemory = false;
  if (state.next < tables.entries.size() &&
      !Take(tables, tables.entries.size() - 1, outOfMemory, why))
    return false;
  if (!state.literals.Ended() || !state.differences.Ended() || !state.covers.Ended() ||
      state.keptAt != state.keptSize)
    return Damaged(why, "payload");
  if (state.digest.Final() != state.payloadDigest)
    return Refuse(why, "the digest of the container's payload does not match");
  return true;
}

bool UnpackCarrierTables(const uint8_t* carried, uint64_t carriedSize,
                         const CReleaseManifest& manifest, std::unique_ptr<uint8_t[]>& tables,
                         uint32_t& tablesSize, std::unique_ptr<CCarrierPayload>& payload,
                         bool& outOfMemory, std::string* why, const CUnpackProgress& progress,
                         uint64_t coversKept) {
  outOfMemory = false;
  CCarrierSizes sizes;
  uint64_t headSize = 0;
  if (!ReadHead(carried, carriedSize, sizes, headSize, why)) return false;
  // The tables' size follows from the streams': a record per entry and, per
  // chunk, 4 bytes of kinds that make 12 of table.
  const uint64_t entries = manifest.entries.size();
  const uint64_t records = 4 + entries * kEntryRecordSize;
  const uint64_t kinds = sizes[kKindsStream].raw;
  if (sizes[kRecordsStream].raw != records || kinds < entries || (kinds - entries) % 4 != 0)
    return Damaged(why, "entry records");
  const uint64_t size = records + (kinds - entries) / 4 * kChunkRecordSize;
  if (size > manifest.containerSize) return Damaged(why, "entry records");
  tablesSize = static_cast<uint32_t>(size);
  tables.reset(new (std::nothrow) uint8_t[tablesSize]);
  if (!tables) {
    outOfMemory = true;
    return Refuse(why, "not enough memory to unpack the patch data's tables (" +
                           std::to_string(size) + " bytes)");
  }
  std::unique_ptr<CStreams> tableStreams(new CStreams);
  CStreams& streams = *tableStreams;
  payload.reset(new CCarrierPayload);
  CCarrierPayload::CState& state = *payload->state_;
  CStreamReader* readers[kCarrierStreamCount] = {
      &streams[kRecordsStream],   &streams[kKindsStream], &streams[kSizesStream],
      &streams[kDiagonalsStream], &state.literals,        &state.differences,
      &streams[kCoversStream]};
  // Room to keep the covers' runs, when there is memory for it: they are
  // payload, so no more than the container holds.
  streams.keptRoom =
      std::min<uint64_t>({sizes[kCoversStream].raw, coversKept, uint64_t{manifest.containerSize}});
  if (streams.keptRoom != 0)
    streams.kept.reset(new (std::nothrow) uint8_t[static_cast<size_t>(streams.keptRoom)]);
  const uint8_t* packed = carried + headSize;
  const uint8_t* covers = nullptr;
  for (uint32_t s = 0; s < kCarrierStreamCount; ++s) {
    if (s == kCoversStream) covers = packed;
    if (!readers[s]->Start(packed, sizes[s], outOfMemory, why)) return false;
    packed += sizes[s].packed;
  }
  state.listed = manifest.entries;
  state.payloadDigest = manifest.payloadDigest;
  if (progress) progress(0, size);
  uint8_t* out = tables.get();
  if (!streams[kRecordsStream].Read(out, 4) || GetU32(out) != entries)
    return Damaged(why, "entry records");
  uint64_t position = 4, area = 4, reported = 0;
  state.forms.resize(manifest.entries.size());
  for (size_t e = 0; e < manifest.entries.size(); ++e) {
    if (!UnpackEntryTable(streams, manifest.entries[e], out, tablesSize, position, area,
                          manifest.containerSize, state.forms[e], why))
      return false;
    if (progress && position - reported >= kProgressStep) {
      progress(position, size);
      reported = position;
    }
  }
  if (position != size || area != manifest.containerSize) return Damaged(why, "entry records");
  // A stream that goes on past what the tables took is as damaged as one
  // that ends early.
  const std::pair<CCarrierStream, const char*> ends[] = {{kRecordsStream, "entry records"},
                                                         {kKindsStream, "chunk kinds"},
                                                         {kSizesStream, "chunk sizes"},
                                                         {kDiagonalsStream, "copy offsets"},
                                                         {kCoversStream, "covers"}};
  for (const auto& [stream, what] : ends)
    if (!streams[stream].Ended()) return Damaged(why, what);
  // The covers again, for the payload, unless the tables kept their runs:
  // started only once the tables' readers are gone, so that no more decoders
  // than streams are held at once.
  state.kept = std::move(streams.kept);
  state.keptSize = streams.keptSize;
  tableStreams.reset();
  if (!state.kept && !state.covers.Start(covers, sizes[kCoversStream], outOfMemory, why))
    return false;
  if (progress) progress(size, size);
  return true;
}
