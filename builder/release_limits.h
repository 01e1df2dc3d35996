#pragma once
// How large a release QelPatch.exe can carry. The release is a resource of
// the 32-bit program, so the whole of it is mapped into the process with the
// program's image; that image must fit below the system libraries in a user
// address space of 2 GiB. Under Wine the program starts and applies a release
// of 1,920 MiB and does not start with one of 1,984 MiB ("not enough memory";
// bench/load_limit/run). Real Windows keeps less room (its system libraries
// load from about 1.8 GiB down, and the heap and stacks need their share), so
// the limit leaves a margin of close to a gigabyte.

#include <algorithm>
#include <cstdint>
#include <string>

#include "container/release_manifest.h"
#include "container/stream_carrier.h"

constexpr uint64_t kReleaseSizeLimit = uint64_t{1} << 30;

// The largest block of unpacked container the program holds at once: a
// whole container unpacked from one xz stream, or, carried as streams, its
// tables, or one entry's payload area. The block needs room of its size
// in the 2 GiB address space the program has (it is not large-address-aware),
// beside its image. Under Wine it unpacked a container of 512 MiB
// (536,874,248 bytes) into one block and failed at 640 MiB, 768 MiB and
// 944 MiB. Real Windows scatters the system's libraries, libraries other
// programs inject, heaps and thread stacks over that space and leaves
// smaller free blocks than Wine, so the limit keeps a quarter below what
// loaded there. A release that would need more travels stored, mapped with
// the image as releases always were.
constexpr uint64_t kCarriedContainerLimit = uint64_t{384} << 20;
// The largest container the program takes carried as streams, which it
// never holds whole.
constexpr uint64_t kStreamsContainerLimit = uint64_t{1} << 30;

// What the program holds in memory for a release file of `fileSize` bytes:
// the file in its image and, when it carries its container compressed, what
// it holds of the unpacked container (all of it from one xz stream; from
// streams, `held`) and the decoders' dictionaries. Within kReleaseSizeLimit
// it needs no more room than a stored release of that limit, which is known
// to load.
inline uint64_t LoadFootprint(uint64_t fileSize, const CReleaseManifest& manifest,
                              const CHeldSizes& held) {
  if (manifest.carrying == CCarrying::kStored) return fileSize;
  if (manifest.carrying != CCarrying::kStreams)
    return fileSize + manifest.containerSize + UnpackMemory(manifest.containerSize);
  // A decoder each, with the builder's dictionary at most.
  const uint64_t decoders =
      kCarrierStreamCount *
      UnpackMemory(std::min<uint64_t>(manifest.containerSize, kPackDictionaryLimit));
  // And the covers' difference runs, kept from the tables to the payload.
  const uint64_t kept = std::min<uint64_t>(kCoversKeptLimit, manifest.containerSize);
  return fileSize + held.tables + held.largestPayload + decoders + kept;
}

// Whether the program loads a release file of `fileSize` bytes that
// `manifest` describes, whose container holds `held` at once: a compressed
// container within kCarriedContainerLimit (from streams, within
// kStreamsContainerLimit and each block held within kCarriedContainerLimit),
// and the footprint within `sizeLimit`. False, with `why` giving the sizes
// and the limit passed.
bool LoadsInTheProgram(uint64_t fileSize, const CReleaseManifest& manifest, const CHeldSizes& held,
                       uint64_t sizeLimit, std::string* why);

// The refusal of a release file over the limit, naming it and both sizes.
inline std::string OverReleaseLimit(const std::string& path, uint64_t size,
                                    uint64_t limit = kReleaseSizeLimit) {
  return path + ": " + std::to_string(size) + " bytes, over the limit of " + std::to_string(limit) +
         " bytes that the 32-bit QelPatch.exe can load";
}
