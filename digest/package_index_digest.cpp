#include "digest/package_index_digest.h"

#include <algorithm>
#include <vector>

#include "base/byte_cursor.h"
#include "digest/digest_text.h"
#include "digest/md5.h"
#include "platform/files.h"

// A damaged package (offsets or lengths past its end, a huge record count)
// ends the digest at the first short read: the work is bounded by the file's
// size and so is the memory, one fixed block.

namespace {
constexpr uint32_t kBlockSize = 64 * 1024;

uint32_t Word(const uint8_t* p, uint32_t at) {
  CByteCursor cursor(p + at, 4);
  return cursor.ReadU32();
}

// Sequential reads from a position of the file through one block.
class CSequentialReader {
 public:
  CSequentialReader(platform::CFile& file, uint64_t position)
      : file_(file), position_(position), block_(kBlockSize) {}

  // Reads up to n bytes; fewer only at the end of the file or on an error.
  uint32_t Read(uint8_t* out, uint32_t n) {
    uint32_t got = 0;
    while (got < n) {
      if (next_ == filled_ && !Refill()) break;
      uint32_t take = std::min(n - got, filled_ - next_);
      std::copy(&block_[next_], &block_[next_] + take, out + got);
      next_ += take;
      got += take;
    }
    return got;
  }

  // Feeds the next n bytes to the digest; false when fewer were there.
  bool Digest(CMD5Checksum& md5, uint32_t n) {
    while (n != 0) {
      if (next_ == filled_ && !Refill()) return false;
      uint32_t take = std::min(n, filled_ - next_);
      md5.Update(&block_[next_], take);
      next_ += take;
      n -= take;
    }
    return true;
  }

 private:
  bool Refill() {
    int64_t got = file_.ReadAt(position_, block_.data(), kBlockSize);
    if (got <= 0) return false;
    position_ += static_cast<uint64_t>(got);
    next_ = 0;
    filled_ = static_cast<uint32_t>(got);
    return true;
  }

  platform::CFile& file_;
  uint64_t position_;
  std::vector<uint8_t> block_;
  uint32_t next_ = 0;
  uint32_t filled_ = 0;
};
}  // namespace

std::string GetPackageIndexDigest(const std::string& path) {
  CMD5Hash md5;
  platform::CFile file;
  if (!file.OpenRead(path)) return std::string();

  uint8_t header[kPackageHeaderSize] = {};
  uint8_t indexHeader[kIndexHeaderSize] = {};
  if (file.ReadAt(0, header, kPackageHeaderSize) != kPackageHeaderSize) {
    // Too short for a header: the digest of an empty index header.
    md5.Update(indexHeader, kIndexHeaderSize);
  } else {
    CSequentialReader reader(file, Word(header, kIndexOffsetField));
    uint32_t got = reader.Read(indexHeader, kIndexHeaderSize);
    md5.Update(indexHeader, got);
    uint32_t count = got == kIndexHeaderSize ? Word(indexHeader, kRecordCountField) : 0;
    for (uint32_t i = 0; i < count; ++i) {
      uint8_t length[kRecordLengthSize] = {};
      got = reader.Read(length, kRecordLengthSize);
      md5.Update(length, got);
      if (got != kRecordLengthSize || !reader.Digest(md5, Word(length, 0))) break;
    }
  }
  file.Close();

  uint8_t digest[16];
  md5.GetDigest(digest);
  return DigestToHex(digest);
}

std::string GetPackageIndexDigest(const uint8_t* package, const CPackageLayout& layout) {
  CMD5Hash md5;
  md5.Update(package + layout.indexOffset, layout.indexSize);
  uint8_t digest[16];
  md5.GetDigest(digest);
  return DigestToHex(digest);
}
