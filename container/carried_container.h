#pragma once
// How a release file carries its container: as it is, or compressed with xz
// (LZMA2 at preset 9, one stream, no check of its own: the manifest's digests
// check what it unpacks to). Compression cuts what players download several
// times; the patcher unpacks the container once at start, into memory that
// lasts as long as the process, and reads it from there as it would read
// the container in place.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class CCarrying : uint32_t {
  kStored = 0,
  kXz = 1,
};

// The dictionary for a container of `size` bytes: the smallest power of two
// that holds it, from 4 KiB up to preset 9's 64 MiB. A container smaller
// than preset 9's dictionary loses nothing by a smaller one, and its
// unpacking needs that much less memory.
uint32_t DictionaryFor(uint64_t size);

// Memory that unpacking a container of `size` bytes needs besides the
// container itself.
uint64_t UnpackMemory(uint64_t size);

// Hears how far a packing has come: `read` bytes of the input taken in.
using CPackProgress = std::function<void(uint64_t read)>;

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
