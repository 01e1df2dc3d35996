#pragma once
// The patch data container: one read-only byte range, little-endian.
//
//   offset  size  field
//   0       4     entryCount
//   4       ...   entryCount entries, back to back; nothing follows the last
//
// An entry is its entry record, its chunk table (chunkCount chunk records) and
// its payload area (payloadSize bytes). Entry record, 1100 bytes:
//
//   0       1024  name          relative file name, NUL inside the field
//   1024    33    digestBefore  MD5 text of the installed package's index + NUL
//                               (empty: the installed package is not checked)
//   1057    33    digestAfter   MD5 text of the rebuilt package's index + NUL
//   1090    2     reserved      arbitrary
//   1092    4     payloadSize   bytes in the payload area
//   1096    4     chunkCount    records in the chunk table
//
// Chunk record, 12 bytes:
//
//   0       1     flag          not 0: payload chunk; 0: copy chunk
//   1       3     reserved      arbitrary
//   4       4     offset        payload: absolute in the container;
//                               copy: absolute in the installed package
//   8       4     size          bytes of the chunk
//
// The rebuilt file is the concatenation of all chunks in table order. The
// first chunk is a payload chunk at the start of the payload area and the
// payload chunks lie there back to back, so the next entry record starts at
// first chunk's offset + payloadSize (the skip rule).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_cursor.h"

constexpr uint32_t kEntryRecordSize = 1100;
constexpr uint32_t kChunkRecordSize = 12;
constexpr uint32_t kNameFieldSize = 1024;
constexpr uint32_t kDigestFieldSize = 33;

// Where the entry record's fields start (the table above).
constexpr uint32_t kNameOffset = 0;
constexpr uint32_t kDigestBeforeOffset = 1024;
constexpr uint32_t kDigestAfterOffset = 1057;
constexpr uint32_t kEntryReservedOffset = 1090;
constexpr uint32_t kPayloadSizeOffset = 1092;
constexpr uint32_t kChunkCountOffset = 1096;

struct CEntryRecord {
  char name[kNameFieldSize];
  char digestBefore[kDigestFieldSize];
  char digestAfter[kDigestFieldSize];
  uint8_t reserved[2];
  uint32_t payloadSize;
  uint32_t chunkCount;
};
static_assert(sizeof(CEntryRecord) == kEntryRecordSize, "entry record is 1100 bytes");
static_assert(offsetof(CEntryRecord, digestBefore) == kDigestBeforeOffset &&
                  offsetof(CEntryRecord, digestAfter) == kDigestAfterOffset &&
                  offsetof(CEntryRecord, reserved) == kEntryReservedOffset &&
                  offsetof(CEntryRecord, payloadSize) == kPayloadSizeOffset &&
                  offsetof(CEntryRecord, chunkCount) == kChunkCountOffset,
              "the record's fields stand where the table says");

struct CChunkRecord {
  uint8_t flag;
  uint8_t reserved[3];
  uint32_t offset;
  uint32_t size;

  bool IsPayload() const { return flag != 0; }
};
static_assert(sizeof(CChunkRecord) == kChunkRecordSize, "chunk record is 12 bytes");

// Reads one record field by field; false (and a failed cursor) when the
// container ends first. The texts always end with a NUL inside their fields.
bool ReadEntryRecord(CByteCursor& cursor, CEntryRecord& record);
bool ReadChunkRecord(CByteCursor& cursor, CChunkRecord& record);

// Reads the entry's first chunk record and positions the cursor at the next
// entry record (the skip rule).
bool SkipEntry(CByteCursor& cursor, const CEntryRecord& record, CChunkRecord& firstChunk);

// Names are narrow texts in a code page (see base/path_text.h): the patcher
// reads them in the system's ANSI code page.

// The entry name's extension as the path splitter gives it: from the last
// '.' of its last component, dot included; empty when it has none or when it
// is longer than 7 characters (it cannot be ".pkg" then).
std::string NameExtension(const std::string& name, uint32_t codePage);

// A relative name that stays inside the installation folder: not empty, no
// ':' at all, no leading separator, no empty, "." or ".." component ('\' and
// '/' both separate), and not a ".temp_" working name of the patcher.
bool IsSafeRelativeName(const std::string& name, uint32_t codePage);

// One entry of a validated container, as the validation found it: its texts
// (NUL-terminated, inside the container's bytes), its numbers, where its
// record and chunk table lie in `data`, where its payload area lies in the
// container, and that area's bytes while they are held.
struct CContainerEntry {
  const char* name;
  const char* digestBefore;
  const char* digestAfter;
  uint32_t payloadSize;
  uint32_t chunkCount;
  uint32_t recordOffset;
  uint32_t tableOffset;
  uint32_t payloadOffset;
  // Null while a container of its tables alone does not hold the area.
  const uint8_t* payload = nullptr;
};

// A container checked once and then walked through its entries, in order.
// `data` is the whole container, or its tables alone: every record and chunk
// table, with each payload area left out (the chunks' offsets still count
// them), whose entries' payload is unpacked one entry at a time.
struct CPatchContainer {
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  std::vector<CContainerEntry> entries;
  bool tablesOnly = false;
};

// The payload bytes at container offset `offset`, of an entry whose payload
// is held.
inline const uint8_t* PayloadAt(const CContainerEntry& entry, uint32_t offset) {
  return entry.payload + (offset - entry.payloadOffset);
}

// The chunks of a validated entry, in the order of its table, each with
// where its bytes stand in the file it makes. Every walk of an entry's
// chunks goes through one; a copy of it walks on from the same place
// without moving the original.
class CChunkWalk {
 public:
  // `entry` outlives the walk.
  CChunkWalk(const CPatchContainer& container, const CContainerEntry& entry);

  // The next chunk; false after the last one.
  bool Next(CChunkRecord& chunk);
  // Chunks not yet given by Next.
  uint32_t Left() const { return left_; }
  // Where the chunk Next gave last begins in the file the entry makes.
  uint64_t At() const { return at_; }
  // The bytes of that file the chunks given so far make.
  uint64_t Made() const { return next_; }
  // A payload chunk's bytes, of an entry whose payload is held.
  const uint8_t* PayloadOf(const CChunkRecord& chunk) const {
    return PayloadAt(*entry_, chunk.offset);
  }

 private:
  const CContainerEntry* entry_;
  CByteCursor table_;
  uint32_t left_;
  uint64_t at_ = 0;
  uint64_t next_ = 0;
};

// Whether the entry copies bytes from the installed file.
bool HasCopyChunks(const CPatchContainer& container, const CContainerEntry& entry);
// The size of the file the entry makes: all its chunks' sizes.
uint64_t MadeSize(const CPatchContainer& container, const CContainerEntry& entry);

// What of a container the patcher holds at once when it unpacks it one
// entry at a time: its tables (the entry count, every record and chunk
// table), and the largest entry's payload area.
struct CHeldSizes {
  uint64_t tables = 4;
  uint64_t largestPayload = 0;

  void Add(uint32_t chunkCount, uint32_t payloadSize) {
    tables += kEntryRecordSize + uint64_t{chunkCount} * kChunkRecordSize;
    if (payloadSize > largestPayload) largestPayload = payloadSize;
  }
};
CHeldSizes HeldSizesOf(const CPatchContainer& container);

// Checks the whole container once, before anything is touched: records and
// tables inside the range, texts NUL-terminated in their fields, at least one
// chunk per entry, the first a payload chunk at the start of the payload area,
// payload chunks back to back adding up to payloadSize, the last entry ending
// exactly at the container's size, and safe names, none naming a file twice
// (letter case and separators aside). On false, `why` says what. On true,
// `container` (when given) holds the bytes and the entries checked.
bool ValidatePatchContainer(const uint8_t* data, uint32_t size, uint32_t codePage, std::string* why,
                            CPatchContainer* container = nullptr);
// The same checks of a container's tables alone (data[0, size)), for a
// container of `containerSize` bytes: every payload area is left out of
// `data` and lies where the chunks' offsets say. The entries hold no payload.
bool ValidateContainerTables(const uint8_t* data, uint32_t size, uint32_t containerSize,
                             uint32_t codePage, std::string* why, CPatchContainer& container);
