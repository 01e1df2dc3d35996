// The data a studio's program carries beside its release (RCDATA), found in
// the program's own image like the release is.
#include "platform/user.h"
#include "platform/win32/own_resource.h"

namespace platform {

bool FindProgramData(uint16_t id, const uint8_t*& data, uint32_t& size) {
  return FindOwnResource(RT_RCDATA, id, data, size);
}

}  // namespace platform
