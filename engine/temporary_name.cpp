#include "engine/temporary_name.h"

#include "platform/platform.h"

bool CreateEntryFolders(const std::string& installDir, const std::string& entryName) {
  for (size_t separator = entryName.find_first_of("\\/"); separator != std::string::npos;
       separator = entryName.find_first_of("\\/", separator + 1)) {
    if (!platform::CreateFolder(installDir + entryName.substr(0, separator))) return false;
  }
  return true;
}

std::string TemporaryName(const std::string& entryName) {
  size_t separator = entryName.find_last_of("\\/");
  size_t last = separator == std::string::npos ? 0 : separator + 1;
  return entryName.substr(0, last) + ".temp_" + entryName.substr(last);
}
