#include "tests/support/package_file.h"

#include "base/little_endian.h"
#include "digest/digest_text.h"
#include "digest/md5.h"

CPackageImage MakePackage(const Bytes& data, const std::vector<Bytes>& records) {
  CPackageImage package;
  Bytes& out = package.bytes;
  out.assign(32, 0);
  out[0] = 'Q';
  out[1] = 'P';
  out[2] = 'K';
  out.insert(out.end(), data.begin(), data.end());
  package.indexOffset = static_cast<uint32_t>(out.size());
  PutU32(&out[20], package.indexOffset);
  size_t indexStart = out.size();
  AppendU32(out, 0);
  AppendU32(out, static_cast<uint32_t>(records.size()));
  AppendU32(out, 0);
  for (const Bytes& record : records) {
    AppendU32(out, static_cast<uint32_t>(record.size()));
    out.insert(out.end(), record.begin(), record.end());
  }
  package.indexSize = static_cast<uint32_t>(out.size() - indexStart);
  PutU32(&out[indexStart + 8], package.indexSize);
  return package;
}

Bytes RandomBytes(size_t size, uint32_t seed) {
  Bytes out(size);
  uint32_t state = seed * 2654435761u + 1;
  for (auto& b : out) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b = static_cast<uint8_t>(state);
  }
  return out;
}

Bytes TextBytes(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

std::string Md5Text(const uint8_t* data, size_t size) {
  CMD5Hash md5;
  while (size > 0) {
    uint32_t piece = size > 0x40000000 ? 0x40000000 : static_cast<uint32_t>(size);
    md5.Update(data, piece);
    data += piece;
    size -= piece;
  }
  uint8_t digest[16];
  md5.GetDigest(digest);
  return DigestToHex(digest);
}
