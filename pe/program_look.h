#pragma once
// What a studio's QelPatch.exe carries besides its release and its version
// resource: its settings (RCDATA 137, engine/program_settings.h), its
// background (bitmap 130) and its icon (icon group 133). What is left empty
// stays the stub's; with all of it empty the program is stamped as
// QelPatch's own.

#include <cstdint>
#include <string>
#include <vector>

#include "pe/icon_file.h"
#include "pe/pe_image.h"
#include "pe/resource_tree.h"

struct CProgramLook {
  std::vector<uint8_t> settings;
  std::vector<uint8_t> background;  // the resource's bytes (bitmap_file.h)
  std::vector<CIconImage> icon;

  bool Empty() const { return settings.empty() && background.empty() && icon.empty(); }
};

// The resources of the program: the stub's (`items`, of the image `stub`),
// with the studio's icon and settings in the place of the stub's; the
// background is written over the stub's own bitmap. False, with `why`, for
// a stub without the icon group to replace.
bool LookResources(const uint8_t* stub, const std::vector<CPeResourceItem>& items,
                   const CProgramLook& look, std::vector<CResourceLeaf>& leaves, std::string* why);
