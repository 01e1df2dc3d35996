#include "pe/bitmap_file.h"

#include "base/byte_cursor.h"
#include "base/little_endian.h"
#include "base/refusal.h"

// The file: BITMAPFILEHEADER (14 bytes), then the bitmap's header, which
// begins with the 40 bytes of BITMAPINFOHEADER in every version Windows
// writes (40, 52, 56, 108 and 124 bytes):
//   u16 "BM", u32 file size, u32 reserved, u32 offset of the pixels
//   u32 header size, i32 width, i32 height (negative: rows top-down),
//   u16 planes (1), u16 bits per pixel, u32 compression, u32 image size,
//   i32 x and y pixels per metre, u32 colours used, u32 colours important
namespace {
constexpr uint16_t kBmpMagic = 0x4D42;  // "BM"
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint16_t kBitsPerPixel = 24;
constexpr uint32_t kUncompressed = 0;  // BI_RGB
constexpr uint32_t kRowBytes = (kBackgroundWidth * 3 + 3) / 4 * 4;
constexpr uint32_t kPixelBytes = kRowBytes * kBackgroundHeight;

bool IsInfoHeaderSize(uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

std::string CompressionName(uint32_t compression) {
  static const char* const kNames[] = {"BI_RGB",  "BI_RLE8", "BI_RLE4",          "BI_BITFIELDS",
                                       "BI_JPEG", "BI_PNG",  "BI_ALPHABITFIELDS"};
  return compression < sizeof kNames / sizeof kNames[0]
             ? kNames[compression]
             : "compression " + std::to_string(compression);
}
}  // namespace

bool ReadBackgroundFile(const std::string& path, const uint8_t* data, uint32_t size,
                        std::vector<uint8_t>& resource, std::string* why) {
  CByteCursor cursor(data, size);
  const uint16_t magic = cursor.ReadU16();
  cursor.Skip(8);  // the file's size, which writers disagree on, and reserved
  const uint32_t pixels = cursor.ReadU32();
  const uint32_t headerSize = cursor.ReadU32();
  const auto width = static_cast<int32_t>(cursor.ReadU32());
  const auto height = static_cast<int32_t>(cursor.ReadU32());
  const uint16_t planes = cursor.ReadU16();
  const uint16_t bits = cursor.ReadU16();
  const uint32_t compression = cursor.ReadU32();
  cursor.Skip(4);  // the image size, 0 for BI_RGB
  const uint32_t xPerMetre = cursor.ReadU32();
  const uint32_t yPerMetre = cursor.ReadU32();
  if (cursor.Failed() || magic != kBmpMagic || !IsInfoHeaderSize(headerSize) || planes != 1)
    return Refuse(why, path + ": not a BMP file");
  const int64_t rows = height < 0 ? -int64_t{height} : height;
  if (width != kBackgroundWidth || rows != kBackgroundHeight)
    return Refuse(why, path + ": " + std::to_string(width) + "x" + std::to_string(rows) +
                           " pixels, not " + std::to_string(kBackgroundWidth) + "x" +
                           std::to_string(kBackgroundHeight));
  if (bits != kBitsPerPixel)
    return Refuse(why, path + ": " + std::to_string(bits) + " bits per pixel, not 24");
  if (compression != kUncompressed)
    return Refuse(why, path + ": compressed (" + CompressionName(compression) + "), not BI_RGB");
  if (!cursor.Seek(pixels) || cursor.Remaining() < kPixelBytes)
    return Refuse(why, path + ": truncated: " + std::to_string(kPixelBytes) +
                           " bytes of pixels from byte " + std::to_string(pixels) +
                           ", the file has " + std::to_string(size));

  // The resource's header: BITMAPINFOHEADER, its fields as above.
  resource.clear();
  AppendU32(resource, kInfoHeaderSize);
  AppendU32(resource, kBackgroundWidth);
  AppendU32(resource, kBackgroundHeight);
  AppendU16(resource, 1);
  AppendU16(resource, kBitsPerPixel);
  AppendU32(resource, kUncompressed);
  AppendU32(resource, kPixelBytes);
  AppendU32(resource, xPerMetre);
  AppendU32(resource, yPerMetre);
  AppendU32(resource, 0);
  AppendU32(resource, 0);
  // The rows bottom-up, as the stub's own; their padding is zeros.
  resource.resize(kInfoHeaderSize + kPixelBytes, 0);
  const uint8_t* rowsFrom = cursor.Take(kPixelBytes);
  for (uint32_t row = 0; row < kBackgroundHeight; ++row) {
    const uint32_t from = height < 0 ? kBackgroundHeight - 1 - row : row;
    std::copy(rowsFrom + from * kRowBytes, rowsFrom + from * kRowBytes + kBackgroundWidth * 3,
              resource.begin() + kInfoHeaderSize + row * kRowBytes);
  }
  return true;
}
