#include "container/entry_kind.h"

bool IsPackageName(const std::string& name, uint32_t codePage) {
  return NameExtension(name, codePage) == ".pkg";
}

CEntryKind KindOf(const std::string& name, uint32_t chunkCount, uint32_t codePage) {
  if (!IsPackageName(name, codePage)) return CEntryKind::kArchive;
  return chunkCount > 1 ? CEntryKind::kDelta : CEntryKind::kWholePackage;
}
