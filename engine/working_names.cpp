#include "engine/working_names.h"

#include "base/path_text.h"
#include "platform/files.h"

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

bool CreateEntryFolders(const std::string& installDir, const std::string& entryName,
                        uint32_t codePage) {
  for (size_t separator = NextSeparator(entryName, 0, codePage); separator != std::string::npos;
       separator = NextSeparator(entryName, separator + 1, codePage)) {
    if (!platform::CreateFolder(installDir + entryName.substr(0, separator))) return false;
  }
  return true;
}
