#pragma once
// What the builder tells a studio's QelPatch.exe about its game, as the
// program's resource RCDATA 137: the title its window and result box show,
// where its game stores the installation path, and whether the background
// and the icon are the studio's own (which --show reports). A program
// without the resource is QelPatch's own: the window "Qel_ManualPatch", the
// box "QelPatch", and the two locations the system's language chooses from.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/install_dir.h"

// The longest title, in UTF-16 units.
constexpr size_t kTitleLength = 100;

struct CProgramSettings {
  std::string title;  // UTF-8; empty: QelPatch's own
  bool namesInstallPath = false;
  CInstallPathLocation installPath;
  bool ownBackground = false;
  bool ownIcon = false;
};

// The resource's bytes.
std::vector<uint8_t> ProgramSettingsBytes(const CProgramSettings& settings);
// The settings the bytes hold; false, with `why`, and `settings` left as it
// was, for bytes that are not such a resource.
bool ReadProgramSettings(const uint8_t* data, uint32_t size, CProgramSettings& settings,
                         std::string* why);
