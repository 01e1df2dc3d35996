#pragma once
// The container carried as separate streams (CCarrying::kStreams), each
// compressed on its own: a container's records, chunk kinds, sizes, copy
// offsets and payload are unlike one another, and each compresses best
// among its own kind. The patcher undoes the streams into exactly the
// container the builder made, in two steps so that it never holds all of
// it: the records and chunk tables up front, then each entry's payload area
// as the run reaches it. An entry whose payload travels as differences from
// the installed file (installed_reads.h) then has its installed bytes added.
//
// Carrier, little-endian:
//
//   0       4     streamCount     kCarrierStreamCount
//   4       ...   per stream: rawSize (8), packedSize (8)
//   ...           the streams' packed bytes, back to back, in stream order;
//                 each an xz stream of LZMA2 without a check of its own (the
//                 manifest's digests check what the carrier unpacks to), or
//                 nothing for a stream of no bytes
//
// The streams, as they are before they are compressed:
//
//   records      entryCount (4), then every entry record (1100 bytes)
//   kinds        per entry its form (1 byte, CPayloadForm), then per chunk
//                the first 4 bytes of its chunk record (flag, reserved)
//   sizes        per chunk its size, as a varint; of an entry carried as
//                covers, only the chunks before its first copy, then per
//                cover its length
//   diagonals    per copy chunk (of an entry carried as covers, per cover)
//                its diagonal (its offset in the installed file less its
//                place in the file made) less the one before it (0 before
//                the first), zigzag varint
//   literals     the payload bytes that travel as they are
//   differences  each difference run's bytes less the installed bytes they
//                lie on, byte by byte modulo 256 (installed_reads.h says
//                where the runs lie)
//   covers       the same of the entries carried as covers, with as many
//                zeros as each copy chunk copies in its place, so that the
//                chunks are told again from them (cover_cuts.h)
//
// A carrier written before covers had six streams, the last five with no
// entry carried as covers; it still loads.
// A varint is 7 bits a byte, lowest first, the high bit set on all but the
// last byte; zigzag maps 0, -1, 1, -2 ... to 0, 1, 2, 3 ...

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "container/patch_container.h"
#include "container/release_manifest.h"

enum CCarrierStream : uint32_t {
  kRecordsStream,
  kKindsStream,
  kSizesStream,
  kDiagonalsStream,
  kLiteralsStream,
  kDifferencesStream,
  kCoversStream,
  kCarrierStreamCount,
};
constexpr uint32_t kCarrierStreamsBeforeCovers = kCoversStream;

enum class CPayloadForm : uint8_t {
  kLiteral = 0,      // every payload byte as it is
  kDifferences = 1,  // difference runs along the neighbouring copy's diagonal
  kCovers = 2,       // the same, the chunk table told by them
};

constexpr uint32_t CarrierHeadSize(uint32_t streams) {
  return 4 + streams * 16;
}
constexpr uint32_t kCarrierHeadSize = CarrierHeadSize(kCarrierStreamCount);

struct CCarrierStreamSize {
  uint64_t raw = 0;
  uint64_t packed = 0;
};
using CCarrierSizes = std::array<CCarrierStreamSize, kCarrierStreamCount>;

void AppendVarint(std::vector<uint8_t>& out, uint64_t value);
inline uint64_t Zigzag(int64_t value) {
  return (static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63);
}
inline int64_t Unzigzag(uint64_t value) {
  return static_cast<int64_t>(value >> 1) ^ -static_cast<int64_t>(value & 1);
}

// The head of a carrier with these streams' sizes.
std::vector<uint8_t> CarrierHead(const CCarrierSizes& sizes);

// The payload of a carrier, unpacked one entry at a time as the run reaches
// each, in container order, so that no more than one entry's payload area is
// held at once. Its difference runs are left as they travel.
class CCarrierPayload {
 public:
  CCarrierPayload();
  ~CCarrierPayload();
  CCarrierPayload(const CCarrierPayload&) = delete;
  CCarrierPayload& operator=(const CCarrierPayload&) = delete;

  // Unpacks the payload area of tables.entries[index] (and of the entries
  // before it not yet taken) into memory that Held() gives until the next
  // Take. False, with `why`, for an entry before the last one taken, for a
  // damaged stream, or with `outOfMemory` set when the area's memory could
  // not be had.
  bool Take(const CPatchContainer& tables, size_t index, bool& outOfMemory, std::string* why);
  uint8_t* Held() const;
  // How tables.entries[index]'s payload travels.
  CPayloadForm FormOf(size_t index) const;
  // Unpacks every entry not yet taken: true when the streams end with the
  // last and the payload as it travels has the manifest's payload digest.
  bool Finish(const CPatchContainer& tables, std::string* why);

 private:
  struct CState;
  std::unique_ptr<CState> state_;
  friend bool UnpackCarrierTables(const uint8_t*, uint64_t, const CReleaseManifest&,
                                  std::unique_ptr<uint8_t[]>&, uint32_t&,
                                  std::unique_ptr<CCarrierPayload>&, bool&, std::string*,
                                  const CUnpackProgress&, uint64_t);
};

// Undoes the carrier `carried` of the container that `manifest` describes
// (its entries give each installed file's size): into `tables` of
// `tablesSize` bytes the container's records and chunk tables, its payload
// areas left out (ValidateContainerTables), and `payload` ready to unpack
// those. False, with `why`, for a damaged carrier, or with `outOfMemory` set
// when memory could not be had. `progress` hears of the tables' bytes made.
// Up to `coversKept` bytes of the covers' difference runs are kept for the
// payload; past that, the payload unpacks the covers again.
bool UnpackCarrierTables(const uint8_t* carried, uint64_t carriedSize,
                         const CReleaseManifest& manifest, std::unique_ptr<uint8_t[]>& tables,
                         uint32_t& tablesSize, std::unique_ptr<CCarrierPayload>& payload,
                         bool& outOfMemory, std::string* why, const CUnpackProgress& progress = {},
                         uint64_t coversKept = kCoversKeptLimit);
