#include "pe/icon_file.h"

#include <cstring>

#include "base/byte_cursor.h"
#include "base/little_endian.h"
#include "base/refusal.h"

// The file and the group resource share their layout but for each entry's
// last field:
//   u16 reserved (0), u16 type (1: icons, 2: cursors), u16 image count
// then per image, in the file 16 bytes, in the group 14:
//   u8 width, u8 height, u8 colours, u8 reserved, u16 planes,
//   u16 bits per pixel, u32 the image's bytes,
//   then u32 where the file holds them, or u16 the icon resource's number
namespace {
constexpr uint16_t kIconType = 1;
constexpr uint16_t kCursorType = 2;
constexpr uint32_t kBitmapHeaderSize = 40;
constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool IsImage(const std::vector<uint8_t>& bytes) {
  return (bytes.size() >= sizeof kPngSignature &&
          std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0) ||
         (bytes.size() >= kBitmapHeaderSize && GetU32(bytes.data()) == kBitmapHeaderSize);
}
}  // namespace

bool ReadIconFile(const std::string& path, const uint8_t* data, uint32_t size,
                  std::vector<CIconImage>& images, std::string* why) {
  CByteCursor cursor(data, size);
  const uint16_t reserved = cursor.ReadU16();
  const uint16_t type = cursor.ReadU16();
  const uint16_t count = cursor.ReadU16();
  if (cursor.Failed() || reserved != 0 || (type != kIconType && type != kCursorType))
    return Refuse(why, path + ": not an icon file (.ico)");
  if (type == kCursorType) return Refuse(why, path + ": a cursor, not an icon");
  if (count == 0) return Refuse(why, path + ": an icon file of no images");
  images.assign(count, CIconImage());
  // Each image has bytes of its own: images laid over each other would make
  // a program many times the file's size.
  uint64_t claimed = 0;
  for (uint16_t i = 0; i < count; ++i) {
    CIconImage& image = images[i];
    image.width = cursor.ReadU8();
    image.height = cursor.ReadU8();
    image.colours = cursor.ReadU8();
    cursor.ReadU8();
    image.planes = cursor.ReadU16();
    image.bitsPerPixel = cursor.ReadU16();
    const uint32_t bytes = cursor.ReadU32();
    const uint32_t offset = cursor.ReadU32();
    if (cursor.Failed())
      return Refuse(why, path + ": truncated: a directory of " + std::to_string(count) +
                             " images, the file has " + std::to_string(size) + " bytes");
    CByteCursor at(data, size);
    const uint8_t* from = at.Seek(offset) ? at.Take(bytes) : nullptr;
    const std::string which = "image " + std::to_string(i + 1);
    if (!from) return Refuse(why, path + ": " + which + " lies past the end of the file");
    claimed += bytes;
    if (claimed > size) return Refuse(why, path + ": " + which + " overlaps another");
    image.bytes.assign(from, from + bytes);
    if (!IsImage(image.bytes))
      return Refuse(why, path + ": " + which + " is neither a bitmap nor a PNG");
  }
  return true;
}

std::vector<uint8_t> IconGroupBytes(const std::vector<CIconImage>& images,
                                    const std::vector<uint16_t>& ids) {
  std::vector<uint8_t> group;
  AppendU16(group, 0);
  AppendU16(group, kIconType);
  AppendU16(group, static_cast<uint16_t>(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    const CIconImage& image = images[i];
    group.insert(group.end(), {image.width, image.height, image.colours, 0});
    AppendU16(group, image.planes);
    AppendU16(group, image.bitsPerPixel);
    AppendU32(group, static_cast<uint32_t>(image.bytes.size()));
    AppendU16(group, ids[i]);
  }
  return group;
}

bool IconGroupIds(const uint8_t* data, uint32_t size, std::vector<uint16_t>& ids) {
  CByteCursor cursor(data, size);
  cursor.Skip(4);
  const uint16_t count = cursor.ReadU16();
  ids.clear();
  for (uint16_t i = 0; i < count && cursor.Skip(12); ++i) ids.push_back(cursor.ReadU16());
  return !cursor.Failed();
}
