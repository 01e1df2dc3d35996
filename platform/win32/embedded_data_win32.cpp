// The patch data container travels as the resource "DAT" 136 of the executable
// itself. Its memory belongs to the loaded image and stays valid until exit.
#include "platform/embedded_data.h"
#include "platform/win32/own_resource.h"
#include "resources/resource_ids.h"

namespace platform {

bool FindPatchData(const uint8_t*& data, uint32_t& size) {
  return FindOwnResource(RT_PATCH_DATA, IDR_PATCH_DATA, data, size);
}

}  // namespace platform
