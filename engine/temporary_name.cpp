#include "engine/temporary_name.h"

std::string TemporaryName(const std::string& entryName) {
  size_t separator = entryName.find_last_of("\\/");
  size_t last = separator == std::string::npos ? 0 : separator + 1;
  return entryName.substr(0, last) + ".temp_" + entryName.substr(last);
}
