// The data a studio's program carries beside its release (RCDATA), found in
// the program's own image like the release is.
#include "platform/user.h"
#include "platform/win32/windows_api.h"

namespace platform {

bool FindProgramData(uint16_t id, const uint8_t*& data, uint32_t& size) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), RT_RCDATA);
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(nullptr, found);
  if (loaded == nullptr) return false;
  size = SizeofResource(nullptr, found);
  data = static_cast<const uint8_t*>(LockResource(loaded));
  return data != nullptr;
}

}  // namespace platform
