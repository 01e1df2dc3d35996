#pragma once
// The release the running program carries (on Windows the resource "DAT"
// 136), for the front ends that apply it: only they link the embedded data.

#include "engine/patch_worker.h"
#include "platform/embedded_data.h"

// Null when the program carries none.
inline CReleaseBytes CarriedRelease() {
  CReleaseBytes release;
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  if (platform::FindPatchData(data, size)) release = CReleaseBytes{data, size};
  return release;
}
