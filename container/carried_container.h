#pragma once
// How a release file carries its container: as it is, or compressed with xz
// (LZMA2 at preset 9, one stream, no check of its own: the manifest's digests
// check what it unpacks to). Compression cuts what players download several
// times; the patcher unpacks the container once at start, into memory that
// lasts as long as the process, and reads it from there as it would read
// the container in place.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class CCarrying : uint32_t {
  kStored = 0,
  kXz = 1,
  kStreams = 2,  // stream_carrier.h
};

// The dictionary for a container of `size` bytes: the smallest power of two
// that holds it, from 4 KiB up to preset 9's 64 MiB. A container smaller
// than preset 9's dictionary loses nothing by a smaller one, and its
// unpacking needs that much less memory.
uint32_t DictionaryFor(uint64_t size);

// Memory that unpacking a container of `size` bytes needs besides the
// container itself.
uint64_t UnpackMemory(uint64_t size);

// The largest dictionary the builder packs with. LZMA2 at preset 9 needs
// about ten times its dictionary to pack (673 MiB with preset 9's own 64 MiB,
// 185 MiB with 16 MiB), so the builder's memory stays that of a container of
// 16 MiB whatever the game, and a container larger than that loses only the
// repeats more than 16 MiB apart: of the benchmarks' releases none grew, and
// the swc pair of bench/release/real_pairs by 1,372 bytes of 6.8 MB. The
// patcher unpacks with the dictionary the release names, so releases packed
// with a larger one still apply.
constexpr uint32_t kPackDictionaryLimit = 16u << 20;

// The most of the covers' difference runs (stream_carrier.h) that the
// patcher keeps from unpacking the tables to the payload, rather than unpack
// the covers twice.
constexpr uint64_t kCoversKeptLimit = uint64_t{32} << 20;

// Hears how far a packing has come: `read` bytes of the input taken in.
using CPackProgress = std::function<void(uint64_t read)>;

// Receives the compressed bytes in order; false stops the packing.
using CPackOutput = std::function<bool(const uint8_t* data, size_t size)>;

// LZMA2's literal context and position bits, set to what the bytes are
// like: preset 9's suit text and code; bytes that are mostly zeros, or
// varints, do better with no context.
struct CPackTuning {
  uint32_t lc = 3;
  uint32_t lp = 0;
  uint32_t pb = 2;
  uint32_t niceLength = 0;  // 0: the preset's
  // Blocks packed at once, each on its own thread, for a large stream: each
  // starts afresh, so a few cost little. How the stream is cut depends on
  // its size alone, never on the machine.
  uint32_t blocks = 1;
};

// Packs a container of `size` bytes handed in piece by piece, in order, as
// it is read: the result depends on nothing but the bytes, not on how they
// were cut.
class CContainerPacker {
 public:
  CContainerPacker(uint64_t size, const CPackOutput& output,
                   const CPackProgress& progress = CPackProgress(), CPackTuning tuning = {});
  ~CContainerPacker();
  CContainerPacker(const CContainerPacker&) = delete;
  CContainerPacker& operator=(const CContainerPacker&) = delete;

  // False once the compressor or the output failed; Finish tells why.
  bool Take(const uint8_t* data, size_t size);
  // The rest of the compressed bytes, once the container's last piece came.
  // False, with `why`, when the compressor failed (out of memory) or the
  // output did, here or in a Take before.
  bool Finish(std::string* why);

 private:
  bool Code(const uint8_t* data, size_t size, bool last);

  struct CState;
  std::unique_ptr<CState> state_;
  CPackOutput output_;
  CPackProgress progress_;
};

// Appends the compressed form of data[0, size) to `out`; false, with `why`,
// when the compressor fails (out of memory).
bool PackContainer(const uint8_t* data, uint64_t size, std::vector<uint8_t>& out, std::string* why,
                   const CPackProgress& progress = CPackProgress());

// Hears how far an unpacking has come: `unpacked` bytes of `size`, from 0 on.
using CUnpackProgress = std::function<void(uint64_t unpacked, uint64_t size)>;

// Unpacks `carried` into out[0, size): it must unpack to exactly `size`
// bytes, using the dictionary the size allows at most. False, with `why`,
// for damaged data, or with `outOfMemory` set when the decoder's memory
// could not be had. `progress`, when set, hears of every mebibyte.
bool UnpackContainer(const uint8_t* carried, uint64_t carriedSize, uint8_t* out, uint64_t size,
                     bool& outOfMemory, std::string* why, const CUnpackProgress& progress = {});
