#include "tests/support/test_patch_data.h"

#include "platform/embedded_data.h"

namespace {
const std::vector<uint8_t>* g_container = nullptr;
}

void SetTestPatchData(const std::vector<uint8_t>* container) {
  g_container = container;
}

namespace platform {
bool FindPatchData(const uint8_t*& data, uint32_t& size) {
  if (g_container == nullptr) return false;
  data = g_container->data();
  size = static_cast<uint32_t>(g_container->size());
  return true;
}
}  // namespace platform
