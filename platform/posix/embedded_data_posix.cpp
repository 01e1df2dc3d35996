#include "platform/embedded_data.h"

// Laid into a read-only section of the executable by embedded_data.S.
extern "C" const uint8_t qelpatch_data_begin[];
extern "C" const uint8_t qelpatch_data_end[];

namespace platform {

bool FindPatchData(const uint8_t*& data, uint32_t& size) {
  data = qelpatch_data_begin;
  size = static_cast<uint32_t>(qelpatch_data_end - qelpatch_data_begin);
  return true;
}

}  // namespace platform
