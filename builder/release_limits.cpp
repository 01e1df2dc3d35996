#include "builder/release_limits.h"

#include "base/refusal.h"

bool LoadsInTheProgram(uint64_t fileSize, const CReleaseManifest& manifest, const CHeldSizes& held,
                       uint64_t sizeLimit, std::string* why) {
  const std::string unpacks =
      std::to_string(fileSize) + " bytes that unpack to " + std::to_string(manifest.containerSize);
  const char kStoredAgain[] = " (built again, the release carries its container stored)";
  if (manifest.carrying == CCarrying::kStreams) {
    if (manifest.containerSize > kStreamsContainerLimit)
      return Refuse(why, unpacks + ", over the limit of " + std::to_string(kStreamsContainerLimit) +
                             " bytes that the 32-bit QelPatch.exe can unpack" + kStoredAgain);
    const uint64_t block = std::max(held.tables, held.largestPayload);
    if (block > kCarriedContainerLimit)
      return Refuse(why,
                    unpacks + ", of which it holds " + std::to_string(block) +
                        " at once, over the limit of " + std::to_string(kCarriedContainerLimit) +
                        " bytes that the 32-bit QelPatch.exe can unpack at once" + kStoredAgain);
  } else if (manifest.carrying != CCarrying::kStored &&
             manifest.containerSize > kCarriedContainerLimit) {
    return Refuse(why, unpacks + ", over the limit of " + std::to_string(kCarriedContainerLimit) +
                           " bytes that the 32-bit QelPatch.exe can unpack" + kStoredAgain);
  }
  const uint64_t footprint = LoadFootprint(fileSize, manifest, held);
  if (footprint > sizeLimit)
    return Refuse(why, unpacks + ", " + std::to_string(footprint) +
                           " bytes in memory, over the limit of " + std::to_string(sizeLimit) +
                           " bytes that the 32-bit QelPatch.exe can load");
  return true;
}
