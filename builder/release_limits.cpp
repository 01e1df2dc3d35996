#include "builder/release_limits.h"

#include "base/refusal.h"

bool LoadsInTheProgram(uint64_t fileSize, const CReleaseManifest& manifest, uint64_t sizeLimit,
                       std::string* why) {
  const bool compressed = manifest.carrying != CCarrying::kStored;
  if (compressed && manifest.containerSize > kCarriedContainerLimit)
    return Refuse(why, std::to_string(fileSize) + " bytes that unpack to " +
                           std::to_string(manifest.containerSize) + ", over the limit of " +
                           std::to_string(kCarriedContainerLimit) +
                           " bytes that the 32-bit QelPatch.exe can unpack (built again, the "
                           "release carries its container stored)");
  const uint64_t footprint = LoadFootprint(fileSize, manifest);
  if (footprint > sizeLimit)
    return Refuse(why, std::to_string(fileSize) + " bytes that unpack to " +
                           std::to_string(manifest.containerSize) + ", " +
                           std::to_string(footprint) + " bytes in memory, over the limit of " +
                           std::to_string(sizeLimit) +
                           " bytes that the 32-bit QelPatch.exe can load");
  return true;
}
