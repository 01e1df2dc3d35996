#include "tests/support/zip_maker.h"

#include <zlib.h>

namespace {
void Put16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

Bytes RawDeflate(const Bytes& content) {
  z_stream stream = {};
  deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&stream, static_cast<uLong>(content.size())) + 16);
  stream.next_in = const_cast<Bytes::value_type*>(content.data());
  stream.avail_in = static_cast<uInt>(content.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}
}  // namespace

Bytes MakeZip(const std::string& entryName, const Bytes& content, bool deflate) {
  uint32_t crc = static_cast<uint32_t>(
      crc32(crc32(0, nullptr, 0), content.data(), static_cast<uInt>(content.size())));
  Bytes data = deflate ? RawDeflate(content) : content;
  uint32_t method = deflate ? 8 : 0;
  uint32_t nameLength = static_cast<uint32_t>(entryName.size());

  Bytes out;
  // Local file header.
  Put32(out, 0x04034b50);
  Put16(out, 20);  // version needed
  Put16(out, 0);   // flags
  Put16(out, method);
  Put32(out, 0);  // time, date
  Put32(out, crc);
  Put32(out, static_cast<uint32_t>(data.size()));
  Put32(out, static_cast<uint32_t>(content.size()));
  Put16(out, nameLength);
  Put16(out, 0);  // extra length
  out.insert(out.end(), entryName.begin(), entryName.end());
  out.insert(out.end(), data.begin(), data.end());

  uint32_t directoryOffset = static_cast<uint32_t>(out.size());
  Put32(out, 0x02014b50);
  Put16(out, 20);  // version made by
  Put16(out, 20);  // version needed
  Put16(out, 0);   // flags
  Put16(out, method);
  Put32(out, 0);  // time, date
  Put32(out, crc);
  Put32(out, static_cast<uint32_t>(data.size()));
  Put32(out, static_cast<uint32_t>(content.size()));
  Put16(out, nameLength);
  Put16(out, 0);  // extra length
  Put16(out, 0);  // comment length
  Put16(out, 0);  // disk
  Put16(out, 0);  // internal attributes
  Put32(out, 0);  // external attributes
  Put32(out, 0);  // local header offset
  out.insert(out.end(), entryName.begin(), entryName.end());
  uint32_t directorySize = static_cast<uint32_t>(out.size()) - directoryOffset;

  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  Put32(out, directorySize);
  Put32(out, directoryOffset);
  Put16(out, 0);  // comment length
  return out;
}
