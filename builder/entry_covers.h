#pragma once
// The chunks of an entry cut by its covers (container/cover_cuts.h), so
// that the carrier can send the covers in their place.

#include <cstdint>

#include "container/container_writer.h"

// Cuts `entry`, made from the installed file `old` of `oldSize` bytes, by
// its covers when its chunks are short enough for covers to pay; else leaves
// it as it is. The bytes it makes stay the same.
void CutAlongCovers(CEntryPlan& entry, const uint8_t* old, uint64_t oldSize);
