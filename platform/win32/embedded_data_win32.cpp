// The patch data container travels as the resource "DAT" 136 of the executable
// itself. Its memory belongs to the loaded image and stays valid until exit.
#include "platform/embedded_data.h"
#include "platform/win32/windows_api.h"
#include "resources/resource_ids.h"

namespace platform {

bool FindPatchData(const uint8_t*& data, uint32_t& size) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_PATCH_DATA), RT_PATCH_DATA);
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(nullptr, found);
  if (loaded == nullptr) return false;
  size = SizeofResource(nullptr, found);
  data = static_cast<const uint8_t*>(LockResource(loaded));
  return data != nullptr;
}

}  // namespace platform
