#pragma once
// The builder's half of the streams carrier (stream_carrier.h): takes a
// container entry by entry, with the installed file each entry is made
// from, and hands each stream its bytes as they come. Whether an entry's
// payload travels as differences is chosen here, per entry, from what the
// bytes hold, without compressing anything to decide.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "container/container_writer.h"
#include "container/cover_cuts.h"
#include "container/stream_carrier.h"

class CStreamSplitter {
 public:
  using CSinks = std::array<CByteSink, kCarrierStreamCount>;

  explicit CStreamSplitter(const CSinks& sinks) : sinks_(sinks) {}

  bool Begin(uint32_t entryCount);
  // The entry of the validated `container` (a whole container, or one entry
  // alone as CContainerFileReader gives it), made from `old` (no data: no
  // installed file). `listed`, the manifest's entry, learns whether the
  // payload carries differences, and then what the entry reads. False when
  // a sink fails.
  bool Add(const CPatchContainer& container, const CContainerEntry& entry, CFileBytes old,
           CManifestEntry& listed);

  // The payload as it travels, for the manifest.
  CDigest128 PayloadDigest() const { return payload_.Final(); }

 private:
  bool Put(CCarrierStream stream, const uint8_t* data, size_t size) {
    return size == 0 || sinks_[stream](data, size);
  }
  bool PutVarint(CCarrierStream stream, uint64_t value);
  bool PutZeros(CCarrierStream stream, uint64_t count);

  const CSinks& sinks_;
  CContentDigest payload_;
  std::vector<uint8_t> scratch_;
};

// The compressor's settings for each stream: bytes that are mostly zeros,
// and varints, have no literal context to learn from; the kinds come in
// groups of four.
CPackTuning StreamTuning(uint32_t stream);

// A release file carrying the validated `container` as streams, each entry's
// differences taken against olds[i], with `manifest` (which describes the
// container) set to say so: for tests and benchmarks, in memory. False, with
// `why`, when the compressor fails.
bool StreamCarriedReleaseFile(const CPatchContainer& container, const std::vector<CFileBytes>& olds,
                              CReleaseManifest manifest, std::vector<uint8_t>& out,
                              std::string* why);
