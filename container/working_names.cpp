#include "container/working_names.h"

#include "base/path_text.h"

namespace {
const char kWorkingPrefix[] = ".temp_";

std::string WithPrefix(const std::string& entryName, uint32_t codePage, const std::string& prefix) {
  size_t last = LastComponentStart(entryName, codePage);
  return entryName.substr(0, last) + prefix + entryName.substr(last);
}
}  // namespace

std::string TemporaryName(const std::string& entryName, uint32_t codePage) {
  return WithPrefix(entryName, codePage, kWorkingPrefix);
}

std::string UnpackedName(const std::string& entryName, uint32_t codePage) {
  return WithPrefix(entryName, codePage, std::string(kWorkingPrefix) + kWorkingPrefix);
}

bool IsWorkingName(const std::string& name, uint32_t codePage) {
  return name.compare(LastComponentStart(name, codePage), sizeof kWorkingPrefix - 1,
                      kWorkingPrefix) == 0;
}
