#pragma once
// Lays out patch data containers: entry record, chunk table, then the payload
// chunks' bytes in chunk order, each payload chunk's offset set to its bytes'
// absolute position and payloadSize to their total. The release builder and
// the tests write every container through this.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "container/release_manifest.h"

struct CChunkPlan {
  bool payload = true;
  uint32_t offset = 0;            // copy chunk: position in the installed file
  uint32_t size = 0;              // copy chunk: bytes to copy; borrowed payload: its size
  std::vector<uint8_t> bytes;     // payload chunk: its own bytes (size is theirs)
  const uint8_t* view = nullptr;  // payload chunk: borrowed bytes instead, when set

  static CChunkPlan Payload(std::vector<uint8_t> bytes);
  // Payload bytes the caller keeps valid until the container is written (a
  // mapped file): a release of gigabytes is never copied into memory.
  static CChunkPlan PayloadView(const uint8_t* data, uint32_t size);
  static CChunkPlan Copy(uint32_t offset, uint32_t size);

  uint32_t PayloadSize() const { return view ? size : static_cast<uint32_t>(bytes.size()); }
  const uint8_t* PayloadData() const { return view ? view : bytes.data(); }
};

// Receives the container's bytes in file order; false stops the writing.
using CByteSink = std::function<bool(const uint8_t* data, size_t size)>;

struct CEntryPlan {
  std::string name;
  std::string digestBefore;  // empty: the installed file is not checked
  std::string digestAfter;
  std::vector<CChunkPlan> chunks;
};

struct CWriterOptions {
  // Arbitrary non-zero bytes after each text's NUL, in the reserved fields
  // and as the payload flag, as real releases have; readers must ignore them.
  bool junk = false;
};

// The junk bytes' generator: deterministic, never zero.
class CJunk {
 public:
  uint8_t Next();
  void Fill(uint8_t* p, size_t n);

 private:
  uint32_t state_ = 0x9E3779B9u;
};

// Writes a container entry by entry, as the entries are made: nothing of an
// entry needs to stay in memory once it is written.
class CContainerStream {
 public:
  CContainerStream(const CByteSink& sink, CWriterOptions options = {})
      : sink_(sink), options_(options) {}

  // The entry count; a writer that knows it only at the end writes a
  // placeholder and overwrites the first 4 bytes.
  bool Begin(uint32_t entryCount, std::string* why);
  // False, with `why`, for an entry that cannot be laid out (see
  // CContainerWriter::Build) or one that would take the container past
  // 4 GiB - 1; nothing of it is written then. False also when the sink fails.
  bool Add(const CEntryPlan& entry, std::string* why);

  uint64_t Size() const { return at_; }
  uint32_t Count() const { return count_; }
  const CHeldSizes& Held() const { return held_; }
  // The digests a manifest records of what was written.
  const CContainerDigests& Digests() const { return digests_; }

  // The bytes an entry takes, or false, with `why`, when it cannot be laid out.
  static bool EntrySize(const CEntryPlan& entry, uint64_t& size, std::string* why);
  // The 4 bytes of the entry count.
  static void CountBytes(uint32_t count, uint8_t (&bytes)[4]);

 private:
  const CByteSink& sink_;
  CWriterOptions options_;
  CJunk junk_;
  uint64_t at_ = 0;
  uint32_t count_ = 0;
  CHeldSizes held_;
  CContainerDigests digests_;
};

class CContainerWriter {
 public:
  explicit CContainerWriter(CWriterOptions options = {}) : options_(options) {}

  void AddEntry(CEntryPlan entry) { entries_.push_back(std::move(entry)); }

  // The container's bytes. False, with `why`, when an entry cannot be laid
  // out: a name of 1024 bytes or more, a digest text of the wrong form, no
  // chunk, a copy chunk first, or a container over the 32-bit limits.
  bool Build(std::vector<uint8_t>& out, std::string* why) const;
  // The same bytes, handed to `sink` piece by piece. Refusals come before the
  // first byte; false also when the sink fails.
  bool Write(const CByteSink& sink, std::string* why) const;
  // The container's size, with the same refusals as Build.
  bool Size(uint64_t& total, std::string* why) const;

 private:
  CWriterOptions options_;
  std::vector<CEntryPlan> entries_;
};

// One version of a file, as the writer of a manifest reads it; `data` null:
// there is no such file.
struct CFileBytes {
  const uint8_t* data = nullptr;
  uint64_t size = 0;
};

// What the manifest records of an entry planned as `plan`: the installed file
// it replaces (`old`), the file it makes (`latest`; for an archive entry the
// file inside the archive) and the bytes it copies from the old one.
CManifestEntry DescribeEntry(const CEntryPlan& plan, CEntryKind kind, CFileBytes old,
                             CFileBytes latest);

// A whole release file in memory: the container of `entries` and the
// manifest that `files` describe (per entry, the installed file it replaces
// and the file it makes). False, with `why`, as CContainerWriter::Build.
struct CEntryFiles {
  CFileBytes old;
  CFileBytes latest;
};
bool BuildReleaseFile(const std::vector<CEntryPlan>& entries, const std::vector<CEntryFiles>& files,
                      uint32_t codePage, std::vector<uint8_t>& out, std::string* why,
                      CWriterOptions options = {});

// A release file carrying `container` xz-compressed, with `manifest` (which
// describes it) set to say so.
bool CompressedReleaseFile(const uint8_t* container, uint32_t size, CReleaseManifest manifest,
                           std::vector<uint8_t>& out, std::string* why,
                           const CPackProgress& progress = CPackProgress());
