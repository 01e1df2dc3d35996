#pragma once
// The patch data that the executable carries: a read-only byte range valid
// for the whole process (on Windows the resource "DAT" 136).

#include <cstdint>

namespace platform {

// False when the executable carries none.
bool FindPatchData(const uint8_t*& data, uint32_t& size);

}  // namespace platform
