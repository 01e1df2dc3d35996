#include "pe/resource_tree.h"

#include <algorithm>
#include <numeric>

#include "base/little_endian.h"
#include "pe/pe_format.h"

namespace {
constexpr uint32_t kDataAlignment = 8;

uint32_t Align(uint32_t value, uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

bool Before(const CResourceKey& a, const CResourceKey& b) {
  if (a.named != b.named) return a.named;
  return a.named ? a.name < b.name : a.id < b.id;
}

bool Same(const CResourceKey& a, const CResourceKey& b) {
  return !Before(a, b) && !Before(b, a);
}

// One directory of the tree: its entries' keys and what each leads to, a
// directory (`leaves` false) or a leaf, by index.
struct CDirectory {
  bool leaves = false;
  std::vector<std::pair<CResourceKey, size_t>> entries;
};
}  // namespace

std::vector<uint8_t> WriteResourceTree(const std::vector<CResourceLeaf>& leaves, uint32_t address,
                                       std::vector<uint32_t>& entries) {
  std::vector<size_t> order(leaves.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const CResourceLeaf &x = leaves[a], &y = leaves[b];
    if (!Same(x.type, y.type)) return Before(x.type, y.type);
    if (!Same(x.name, y.name)) return Before(x.name, y.name);
    return Before(x.language, y.language);
  });

  // The root, then each type's directory followed by its names' ones.
  std::vector<CDirectory> directories(1);
  size_t type = 0, name = 0;
  for (size_t k = 0; k < order.size(); ++k) {
    const CResourceLeaf& leaf = leaves[order[k]];
    const CResourceLeaf* last = k == 0 ? nullptr : &leaves[order[k - 1]];
    const bool newType = !last || !Same(last->type, leaf.type);
    if (newType) {
      directories[0].entries.push_back({leaf.type, directories.size()});
      type = directories.size();
      directories.emplace_back();
    }
    if (newType || !Same(last->name, leaf.name)) {
      directories[type].entries.push_back({leaf.name, directories.size()});
      name = directories.size();
      directories.emplace_back();
      directories[name].leaves = true;
    }
    directories[name].entries.push_back({leaf.language, k});
  }

  std::vector<uint32_t> at(directories.size());
  uint32_t size = 0;
  for (size_t d = 0; d < directories.size(); ++d) {
    at[d] = size;
    size += kResourceDirectorySize +
            kResourceEntrySize * static_cast<uint32_t>(directories[d].entries.size());
  }
  const uint32_t dataEntries = size;
  size += kResourceDataEntrySize * static_cast<uint32_t>(order.size());
  uint32_t names = size;
  for (const CDirectory& directory : directories)
    for (const auto& entry : directory.entries)
      if (entry.first.named) size += 2 + 2 * static_cast<uint32_t>(entry.first.name.size());
  std::vector<uint32_t> bytesAt(order.size());
  for (size_t k = 0; k < order.size(); ++k) {
    const CResourceLeaf& leaf = leaves[order[k]];
    if (!leaf.fresh) continue;
    size = Align(size, kDataAlignment);
    bytesAt[k] = size;
    size += static_cast<uint32_t>(leaf.bytes.size());
  }

  std::vector<uint8_t> tree(Align(size, kDataAlignment), 0);
  for (size_t d = 0; d < directories.size(); ++d) {
    const CDirectory& directory = directories[d];
    const auto named = std::count_if(directory.entries.begin(), directory.entries.end(),
                                     [](const auto& entry) { return entry.first.named; });
    uint8_t* header = &tree[at[d]];
    PutU16(header + kResourceNamedCountField, static_cast<uint16_t>(named));
    PutU16(header + kResourceNamedCountField + 2,
           static_cast<uint16_t>(directory.entries.size() - named));
    for (size_t e = 0; e < directory.entries.size(); ++e) {
      const auto& [key, index] = directory.entries[e];
      uint8_t* entry = header + kResourceDirectorySize + kResourceEntrySize * e;
      if (key.named) {
        PutU32(entry, kResourceHighBit | names);
        PutU16(&tree[names], static_cast<uint16_t>(key.name.size()));
        for (size_t c = 0; c < key.name.size(); ++c)
          PutU16(&tree[names + 2 + 2 * c], static_cast<uint16_t>(key.name[c]));
        names += 2 + 2 * static_cast<uint32_t>(key.name.size());
      } else {
        PutU32(entry, key.id);
      }
      PutU32(entry + 4, directory.leaves ? dataEntries + kResourceDataEntrySize * index
                                         : kResourceHighBit | at[index]);
    }
  }
  entries.assign(leaves.size(), 0);
  for (size_t k = 0; k < order.size(); ++k) {
    const CResourceLeaf& leaf = leaves[order[k]];
    const uint32_t entry = dataEntries + kResourceDataEntrySize * static_cast<uint32_t>(k);
    entries[order[k]] = entry;
    PutU32(&tree[entry], leaf.fresh ? address + bytesAt[k] : leaf.address);
    PutU32(&tree[entry + 4], leaf.fresh ? static_cast<uint32_t>(leaf.bytes.size()) : leaf.size);
    PutU32(&tree[entry + 8], leaf.codePage);
    if (leaf.fresh) std::copy(leaf.bytes.begin(), leaf.bytes.end(), tree.begin() + bytesAt[k]);
  }
  return tree;
}
