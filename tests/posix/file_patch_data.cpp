// The test twin of the Linux patcher takes its container from the file named
// by QELPATCH_TEST_DATA instead of its own executable, so one binary applies
// any release a test builds.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/embedded_data.h"

namespace platform {
bool FindPatchData(const uint8_t*& data, uint32_t& size) {
  const char* path = std::getenv("QELPATCH_TEST_DATA");
  if (path == nullptr) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  // Lives for the whole process, like an embedded resource.
  static std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
  data = bytes.data();
  size = static_cast<uint32_t>(bytes.size());
  return true;
}
}  // namespace platform
