#include "engine/installed_version.h"

#include "engine/install_dir.h"
#include "platform/files.h"

namespace {
std::string Differs(const std::string& name, bool found, uint64_t size, uint64_t wanted) {
  if (!found) return name + ": missing";
  return name + ": " + std::to_string(size) + " bytes, not " + std::to_string(wanted);
}
}  // namespace

std::string OtherVersionFile(const CReleaseManifest& manifest, const CPatchContainer& container) {
  for (const auto& [name, wanted] : manifest.unchanged) {
    uint64_t size = 0;
    const bool found = platform::FileSizeOf(InstallDir + name, size);
    if (!found || size != wanted) return Differs(name, found, size, wanted);
  }
  for (size_t i = 0; i < container.entries.size(); ++i) {
    const CManifestEntry& listed = manifest.entries[i];
    if (!listed.copies) continue;
    const std::string name = container.entries[i].name;
    uint64_t size = 0;
    const bool found = platform::FileSizeOf(InstallDir + name, size);
    if (!found || (size != listed.oldSize && size != listed.newSize))
      return Differs(name, found, size, listed.oldSize);
  }
  return std::string();
}

std::string OtherVersionReason(const std::vector<std::string>& served, const std::string& latest) {
  // "1.0", "1.0 or 1.1", "1.0, 1.1 or 1.2".
  std::string versions;
  for (size_t i = 0; i < served.size(); ++i)
    versions += (i == 0 ? "" : i + 1 == served.size() ? " or " : ", ") + served[i];
  return "This patch updates version " + versions + " to " + latest +
         "; the game folder holds another version";
}
