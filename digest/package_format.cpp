#include "digest/package_format.h"

#include "base/byte_cursor.h"
#include "base/refusal.h"

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
  cursor.Skip(kRecordCountField);
  const uint32_t recordCount = cursor.ReadU32();
  cursor.Skip(kIndexHeaderSize - kRecordCountField - 4);
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
