#include "builder/program_look.h"

#include <algorithm>

#include "engine/program_settings.h"
#include "pe/bitmap_file.h"
#include "platform/mapped_file.h"

namespace {
// A file's first 4 GiB: far more than a background or an icon holds.
uint32_t SizeOf(const CMappedFile& file) {
  return static_cast<uint32_t>(std::min<uint64_t>(file.Size(), UINT32_MAX));
}
}  // namespace

void AddLookInputs(const CBuildOptions& options, CTaskPaths& paths) {
  if (!options.backgroundPath.empty())
    paths.inputs.push_back({options.backgroundPath, "the background (--background)"});
  if (!options.iconPath.empty()) paths.inputs.push_back({options.iconPath, "the icon (--icon)"});
}

bool LoadProgramLook(const CBuildOptions& options, CProgramLook& look, std::string* why) {
  look = CProgramLook();
  CProgramSettings settings;
  settings.title = options.title;
  settings.namesInstallPath = options.namesInstallPath;
  settings.installPath = options.installPath;
  settings.ownBackground = !options.backgroundPath.empty();
  settings.ownIcon = !options.iconPath.empty();
  if (settings.ownBackground) {
    CMappedFile file;
    if (!file.Open(options.backgroundPath, why) ||
        !ReadBackgroundFile(options.backgroundPath, file.Data(), SizeOf(file), look.background,
                            why))
      return false;
  }
  if (settings.ownIcon) {
    CMappedFile file;
    if (!file.Open(options.iconPath, why) ||
        !ReadIconFile(options.iconPath, file.Data(), SizeOf(file), look.icon, why))
      return false;
  }
  if (!settings.title.empty() || settings.namesInstallPath || settings.ownBackground ||
      settings.ownIcon)
    look.settings = ProgramSettingsBytes(settings);
  return true;
}
