#include "tests/support/zip_maker.h"

#include "archive/zip_writer.h"

Bytes MakeZip(const std::string& entryName, const Bytes& content, bool deflate) {
  Bytes data = content;
  if (deflate) DeflateRaw(content.data(), content.size(), UINT64_MAX, data);
  CZipFraming framing =
      MakeZipFraming(entryName, deflate ? kZipMethodDeflated : kZipMethodStored,
                     Crc32(content.data(), content.size()), static_cast<uint32_t>(data.size()),
                     static_cast<uint32_t>(content.size()));
  Bytes out = framing.localHeader;
  out.insert(out.end(), data.begin(), data.end());
  out.insert(out.end(), framing.trailer.begin(), framing.trailer.end());
  return out;
}

CEntryPlan StoredWithCopiesEntry(const std::string& name, const Bytes& content,
                                 const std::vector<CChunkPlan>& pieces) {
  const uint32_t size = static_cast<uint32_t>(content.size());
  CZipFraming framing =
      MakeZipFraming(name, kZipMethodStored, Crc32(content.data(), content.size()), size, size);
  CEntryPlan entry;
  entry.name = name;
  entry.chunks.push_back(CChunkPlan::Payload(framing.localHeader));
  entry.chunks.insert(entry.chunks.end(), pieces.begin(), pieces.end());
  entry.chunks.push_back(CChunkPlan::Payload(framing.trailer));
  return entry;
}
