#pragma once
// How an entry travels, told from the container alone. A package (".pkg", the
// extension as the path splitter gives it) rebuilt from pieces of the
// installed one has two chunks or more and is checked by both index digests;
// a package sent whole is one payload chunk; any other file is a one-entry
// zip archive named as the entry. Every pass of the patcher and the builder
// asks this, so the rule is written once.

#include <cstdint>
#include <string>

#include "container/patch_container.h"

enum class CEntryKind { kDelta, kWholePackage, kArchive };

bool IsPackageName(const std::string& name, uint32_t codePage);
CEntryKind KindOf(const std::string& name, uint32_t chunkCount, uint32_t codePage);
inline CEntryKind KindOf(const CContainerEntry& entry, uint32_t codePage) {
  return KindOf(entry.name, entry.chunkCount, codePage);
}
