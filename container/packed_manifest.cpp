#include "container/packed_manifest.h"

#include "base/little_endian.h"
#include "container/carried_container.h"
#include "container/release_manifest.h"
#include "container/trailed_body.h"

namespace {
// Version 4's fixed fields, which version 5 keeps as they are.
constexpr uint32_t kFixedSize = 64;
}  // namespace

bool PackManifest(const std::vector<uint8_t>& manifest, std::vector<uint8_t>& out,
                  std::string* why) {
  out = manifest;
  if (manifest.size() < kFixedSize + kTrailerSize ||
      GetU32(manifest.data()) != kManifestStreamsVersion)
    return true;
  const size_t bodySize = manifest.size() - kTrailerSize;
  const uint8_t* lists = manifest.data() + kFixedSize;
  const size_t listsSize = bodySize - kFixedSize;
  if (listsSize > kManifestListsLimit) return true;
  std::vector<uint8_t> body(manifest.begin(), manifest.begin() + kFixedSize);
  PutU32(body.data(), kManifestPackedVersion);
  AppendU32(body, static_cast<uint32_t>(listsSize));
  if (!PackContainer(lists, listsSize, body, why)) return false;
  if (body.size() + kTrailerSize < manifest.size()) out = Trailed(std::move(body), kManifestMagic);
  return true;
}
