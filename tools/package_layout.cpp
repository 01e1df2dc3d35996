#include "tools/package_layout.h"

#include "base/byte_cursor.h"
#include "digest/digest_text.h"
#include "digest/md5.h"

namespace {
constexpr uint32_t kIndexOffsetField = 20;
constexpr uint32_t kIndexHeaderSize = 12;

bool Refuse(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}
}  // namespace

bool ReadPackageLayout(const uint8_t* data, uint64_t size, CPackageLayout& layout,
                       std::string* why) {
  if (size > UINT32_MAX) return Refuse(why, "4 GiB or more, over the release format's limit");
  if (size < kPackageHeaderSize) return Refuse(why, "shorter than the 32-byte package header");
  CByteCursor cursor(data, static_cast<uint32_t>(size));
  cursor.Seek(kIndexOffsetField);
  const uint32_t indexOffset = cursor.ReadU32();
  if (!cursor.Seek(indexOffset) || cursor.Remaining() < kIndexHeaderSize)
    return Refuse(why, "its index (at offset " + std::to_string(indexOffset) +
                           ") lies past the end of the file");
  cursor.Skip(4);
  const uint32_t recordCount = cursor.ReadU32();
  cursor.Skip(4);
  for (uint32_t i = 0; i < recordCount; ++i) {
    const uint32_t length = cursor.ReadU32();
    if (!cursor.Skip(length))
      return Refuse(why, "index record " + std::to_string(i) + " of " +
                             std::to_string(recordCount) + " runs past the end of the file");
  }
  layout.indexOffset = indexOffset;
  layout.indexSize = cursor.Tell() - indexOffset;
  return true;
}

std::string PackageIndexDigest(const uint8_t* data, const CPackageLayout& layout) {
  CMD5Hash md5;
  md5.Update(data + layout.indexOffset, layout.indexSize);
  uint8_t digest[16];
  md5.GetDigest(digest);
  return DigestToHex(digest);
}
