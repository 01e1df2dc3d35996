#pragma once
// A resource of the running program's own image: its memory belongs to the
// loaded image and stays valid until exit.
#include <cstdint>

#include "platform/win32/windows_api.h"

namespace platform {

inline bool FindOwnResource(LPCSTR type, uint16_t id, const uint8_t*& data, uint32_t& size) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(nullptr, found);
  if (loaded == nullptr) return false;
  size = SizeofResource(nullptr, found);
  data = static_cast<const uint8_t*>(LockResource(loaded));
  return data != nullptr;
}

}  // namespace platform
