#include "pe/program_look.h"

#include <algorithm>

#include "base/refusal.h"
#include "pe/pe_format.h"
#include "resources/resource_ids.h"

namespace {
CResourceLeaf NewLeaf(uint32_t type, uint32_t id, const CResourceKey& language,
                      std::vector<uint8_t> bytes) {
  CResourceLeaf leaf;
  leaf.type = CResourceKey::Number(type);
  leaf.name = CResourceKey::Number(id);
  leaf.language = language;
  leaf.fresh = true;
  leaf.bytes = std::move(bytes);
  return leaf;
}

CResourceLeaf KeptLeaf(const CPeResourceItem& item) {
  CResourceLeaf leaf;
  leaf.type = item.type;
  leaf.name = item.name;
  leaf.language = item.language;
  leaf.address = item.data.address;
  leaf.size = item.data.size;
  leaf.codePage = item.data.codePage;
  return leaf;
}

bool IsIconGroup(const CPeResourceItem& item) {
  return item.type.Is(kResourceIconGroup) && item.name.Is(IDI_QELPATCH);
}
}  // namespace

bool LookResources(const uint8_t* stub, const std::vector<CPeResourceItem>& items,
                   const CProgramLook& look, std::vector<CResourceLeaf>& leaves, std::string* why) {
  // The stub's icon group and the icons it names give way to the studio's.
  const auto group = std::find_if(items.begin(), items.end(), IsIconGroup);
  std::vector<uint16_t> replaced;
  if (!look.icon.empty() && (group == items.end() || !IconGroupIds(stub + group->data.fileOffset,
                                                                   group->data.size, replaced)))
    return Refuse(why, "the stub has no icon group 133");
  leaves.clear();
  std::vector<uint32_t> iconsKept;
  for (const CPeResourceItem& item : items) {
    const bool icon = item.type.Is(kResourceIcon);
    const bool replacedIcon =
        icon && !item.name.named &&
        std::find(replaced.begin(), replaced.end(), item.name.id) != replaced.end();
    if (replacedIcon || (!look.icon.empty() && IsIconGroup(item))) continue;
    if (!look.settings.empty() && item.type.Is(kResourceData) && item.name.Is(IDR_PROGRAM_SETTINGS))
      continue;
    if (icon) iconsKept.push_back(item.name.id);
    leaves.push_back(KeptLeaf(item));
  }
  if (!look.icon.empty()) {
    // Numbered from 1, past the numbers of icons the stub keeps.
    std::vector<uint16_t> ids;
    for (uint32_t id = 1; ids.size() < look.icon.size(); ++id) {
      if (std::find(iconsKept.begin(), iconsKept.end(), id) != iconsKept.end()) continue;
      leaves.push_back(NewLeaf(kResourceIcon, id, group->language, look.icon[ids.size()].bytes));
      ids.push_back(static_cast<uint16_t>(id));
    }
    leaves.push_back(
        NewLeaf(kResourceIconGroup, IDI_QELPATCH, group->language, IconGroupBytes(look.icon, ids)));
  }
  if (!look.settings.empty())
    leaves.push_back(NewLeaf(kResourceData, IDR_PROGRAM_SETTINGS, CResourceKey(), look.settings));
  return true;
}
