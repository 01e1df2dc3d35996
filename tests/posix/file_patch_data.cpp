// The test twin of the Linux patcher takes its container from the file named
// by QELPATCH_TEST_DATA instead of its own executable, so one binary applies
// any release a test builds.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/embedded_data.h"

namespace platform {
bool FindPatchData(const uint8_t*& data, uint32_t& size) {
  const char* path = std::getenv("QELPATCH_TEST_DATA");
  if (path == nullptr) return false;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  // Lives for the whole process, like an embedded resource; read in one
  // piece, so that the benchmarks time the patch, not the loading.
  static std::vector<uint8_t> bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  data = bytes.data();
  size = static_cast<uint32_t>(bytes.size());
  return true;
}
}  // namespace platform
