#pragma once
// A release file: the container (as it is, or compressed:
// carried_container.h), then its manifest, then the manifest's trailer. The manifest says what the
// patcher must end with: for each entry the size and digest of the file as installed after the
// patch, what it may copy from, and the digests of the container itself, so a damaged download is
// told from a damaged game before any file is touched. A file without the trailer is a bare
// container, as releases were before manifests.
//
// Manifest body, little-endian (offsets from its first byte):
//
//   offset  size  field
//   0       4     version        kManifestVersion
//   4       4     codePage       the ANSI code page the names were written
//                                for; 0: ASCII names only
//   8       4     entryCount     the container's
//   12      16    recordsDigest  of every entry record and chunk table, in
//                                container order (the entry count aside)
//   28      16    payloadDigest  of every payload area, in container order
//   44      ...   entryCount entry records of 56 bytes, in container order
//
// Version 2, written for a compressed container, has two fields more after
// entryCount, and the rest follows 8 bytes later:
//
//   12      4     carrying       CCarrying: 1, xz
//   16      4     containerSize  of the container once unpacked
//   20      16    recordsDigest
//   36      16    payloadDigest
//   52      ...   the entry records
//
// Version 3 (from builders that remove files and name versions) has the
// carrying fields of version 2 always (carrying 0: stored), two counts more,
// and what follows the entry records:
//
//   12      4     carrying
//   16      4     containerSize  0 when stored
//   20      16    recordsDigest
//   36      16    payloadDigest
//   52      4     removedCount
//   56      4     removedFolderCount
//   60      4     unchangedCount
//   64      ...   the entry records, then
//                 removedCount removed files: size (8), digest (16), name
//                 removedFolderCount removed folders: name
//                 unchangedCount unchanged files: size (8), name
//                 fromVersion, toVersion: texts
//
// Version 4 (from builders that carry the container as streams:
// stream_carrier.h) is version 3 with carrying 2, and entries that may carry
// differences.
//
// Version 5 is version 4 with its lists compressed (a game of many files
// lists every unchanged one):
//
//   0       64    as version 4, version 5
//   64      4     listsSize      of the lists unpacked
//   68      ...   the lists (the entry records and all that follows them in
//                 version 4), as an xz stream of LZMA2 without a check of its
//                 own (the manifest's digest covers it)
//
// A name is its length (2) and its bytes, in codePage, '/' or '\' between
// folders, as entry names; a text is its length (2) and its UTF-8 bytes.
// The removed files are the old version's files the new one lacks, each
// removed only when it still is that file (its size and digest); the removed
// folders are removed once empty, the deepest first. The unchanged files are
// the old version's files the release leaves as they are, but for those
// that would travel whole (small ones, and those the studio sends whole):
// with the entries' old sizes, they tell the old version from another.
//
// Entry record:
//
//   0       1     kind           0 delta package, 1 whole package, 2 archive
//   1       1     flags          bit 0: an installed file is replaced, and
//                                oldSize holds its size; bit 1: the entry
//                                copies from it, and copiedDigest is of the
//                                bytes it reads of it (installed_reads.h), in
//                                chunk order; bit 2 (version 4, with bit 1):
//                                its payload carries differences from it
//   2       6     reserved       0
//   8       8     oldSize
//   16      8     newSize        of the installed file after the patch (for
//                                an archive, the file unpacked from it)
//   24      16    newDigest      of that file
//   40      16    copiedDigest
//
// Trailer, the last 28 bytes of the release file:
//
//   0       16    manifestDigest of the manifest body
//   16      4     bodySize
//   20      8     magic          "QelMan01"
//
// Digests are CContentDigest's.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/byte_cursor.h"
#include "container/carried_container.h"
#include "container/entry_kind.h"
#include "container/patch_container.h"
#include "digest/content_digest.h"

constexpr uint32_t kManifestVersion = 1;
constexpr uint32_t kManifestCarryingVersion = 2;
constexpr uint32_t kManifestVersionsVersion = 3;
constexpr uint32_t kManifestStreamsVersion = 4;
constexpr uint32_t kManifestPackedVersion = 5;
// The most that version 5's lists unpack to.
constexpr uint32_t kManifestListsLimit = 256u << 20;
constexpr uint32_t kManifestEntrySize = 56;
constexpr char kManifestMagic[9] = "QelMan01";

struct CManifestEntry {
  CEntryKind kind = CEntryKind::kArchive;
  bool replaces = false;  // an installed file of oldSize bytes is replaced
  bool copies = false;    // copiedDigest is of the bytes the entry reads
  bool differs = false;   // its payload carries differences from the installed file
  uint64_t oldSize = 0;
  uint64_t newSize = 0;
  CDigest128 newDigest;
  CDigest128 copiedDigest;
};

// A file of the old version that the new one lacks.
struct CRemovedFile {
  std::string name;  // in the manifest's code page
  uint64_t size = 0;
  CDigest128 digest;
};

struct CReleaseManifest {
  uint32_t codePage = 0;
  CCarrying carrying = CCarrying::kStored;
  uint32_t containerSize = 0;  // unpacked; set when the container is compressed
  // Carried as streams: payloadDigest is of the payload with the
  // differences as they travel, the installed bytes not yet added.
  CDigest128 recordsDigest;
  CDigest128 payloadDigest;
  std::vector<CManifestEntry> entries;
  std::vector<CRemovedFile> removed;
  std::vector<std::string> removedFolders;  // in the manifest's code page
  // The old version's files the release leaves as they are: name (in the
  // manifest's code page) and size.
  std::vector<std::pair<std::string, uint64_t>> unchanged;
  std::string fromVersion;  // the versions' labels, UTF-8
  std::string toVersion;
};

class CCarrierPayload;

// The two digests of a container, fed as it is written or read.
class CContainerDigests {
 public:
  void Records(const uint8_t* data, size_t size) { records_.Update(data, size); }
  void Payload(const uint8_t* data, size_t size) { payload_.Update(data, size); }
  CDigest128 RecordsDigest() const { return records_.Final(); }
  CDigest128 PayloadDigest() const { return payload_.Final(); }

  // Both digests of a validated container; of its tables alone, the
  // records digest only.
  static CContainerDigests Of(const CPatchContainer& container);

 private:
  CContentDigest records_;
  CContentDigest payload_;
};

// A release file taken apart: the container's bytes, and the manifest when
// the file has one.
struct CReleaseView {
  const uint8_t* container = nullptr;
  uint32_t containerSize = 0;
  bool hasManifest = false;
  CReleaseManifest manifest;
  uint64_t carriedSize = 0;  // the container's bytes in the file
  // The unpacked container, when the file carries it compressed; carried as
  // streams, its tables alone (`container`, `containerSize`), whose payload
  // areas `payload` unpacks one entry at a time.
  std::unique_ptr<uint8_t[]> unpacked;
  std::shared_ptr<CCarrierPayload> payload;
  bool outOfMemory = false;  // why ReadReleaseFile failed, when so
};

// Finds the container and the manifest in a release file's bytes, and unpacks
// a compressed container (carried as streams, its tables, and `payload` set
// for the rest). False, with `why`, when the trailer is there but the
// manifest is damaged (its digest, version, size or fields), the compressed
// container is damaged, or there is no memory to unpack it (`outOfMemory`);
// a file without the trailer is a bare container. `unpacking` hears how far
// the unpacking has come; `coversKept` is UnpackCarrierTables'.
bool ReadReleaseFile(const uint8_t* data, uint64_t size, CReleaseView& release, std::string* why,
                     const CUnpackProgress& unpacking = {}, uint64_t coversKept = kCoversKeptLimit);
// ReadReleaseFile without the unpacking: the manifest, and where the
// container lies (`carriedSize`; `container` too when it is stored).
bool ReadReleaseManifest(const uint8_t* data, uint64_t size, CReleaseView& release,
                         std::string* why);

// Whether the manifest belongs to the validated container: one entry record
// per entry, of its kind, sizes of the files made (new or rebuilt, the
// larger) whose sum fits 64 bits, both container digests equal (of a
// container's tables alone, the records digest), and removed and unchanged
// files and removed folders of safe names that no entry makes. False, with
// `why`.
bool CheckManifest(const CReleaseManifest& manifest, const CPatchContainer& container,
                   uint32_t codePage, std::string* why);

// The manifest body and trailer that follow the container in a release file:
// version 4 for a container carried as streams, 3 when it removes files or
// names versions, else 1 for a container as it is, 2 for a compressed one.
std::vector<uint8_t> ManifestBytes(const CReleaseManifest& manifest);

// The sizes of a manifest's lists.
struct CManifestCounts {
  uint32_t entries = 0;
  uint32_t removed = 0;
  uint32_t removedFolders = 0;
  uint32_t unchanged = 0;
};

// Writes the bytes ManifestBytes gives piece by piece, for a builder that
// keeps the lists on the disk until the manifest is written: `head` holds all
// but the lists, whose sizes `counts` gives; then come the entries, the
// removed files, the removed folders and the unchanged files, in that order
// and each as many as told, and Finish.
class CManifestWriter {
 public:
  using CSink = std::function<bool(const uint8_t* data, size_t size)>;

  CManifestWriter(const CReleaseManifest& head, const CManifestCounts& counts, const CSink& sink);

  void Entry(const CManifestEntry& entry);
  void Removed(const CRemovedFile& file);
  void RemovedFolder(const std::string& name);
  void Unchanged(const std::string& name, uint64_t size);
  // The versions' labels and the trailer. False when the sink failed, or the
  // lists were not handed in as told.
  bool Finish();

 private:
  // Whether a piece of the list `list` (0 entries, 1 removed files, ...) may
  // come now; notes that it came.
  bool Next(int list);
  // Hands the piece written so far to the sink, digested; the next begins.
  void Put();

  const CReleaseManifest& head_;
  const CSink& sink_;
  bool versions_;
  uint32_t left_[4];  // pieces still to come, per list
  std::vector<uint8_t> piece_;
  CContentDigest digest_;
  uint32_t bodySize_ = 0;
  bool failed_ = false;
};

// One record of the manifest's lists in its layout, written and read back,
// for a builder that keeps them on the disk until the manifest is written.
void AppendManifestEntry(std::vector<uint8_t>& out, const CManifestEntry& entry);
bool ReadManifestEntry(CByteCursor& cursor, CManifestEntry& entry, std::string* why);
void AppendRemovedFile(std::vector<uint8_t>& out, const CRemovedFile& file);
void ReadRemovedFile(CByteCursor& cursor, CRemovedFile& file);
void AppendUnchangedFile(std::vector<uint8_t>& out, const std::string& name, uint64_t size);
void ReadUnchangedFile(CByteCursor& cursor, std::string& name, uint64_t& size);
