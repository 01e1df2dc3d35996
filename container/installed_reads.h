#pragma once
// What an entry reads of the installed file, in the order of its chunks: the
// bytes each copy chunk copies and, for an entry whose payload travels as
// differences, the installed bytes each payload chunk's differences are added
// to. A payload chunk's differences run along the diagonal of the copy chunk
// before it, over the part of the chunk that falls inside the installed
// file's `oldSize` bytes; the rest of the chunk, and every payload chunk
// before the first copy (the file's header, which readers of a release take
// as it is), travel as they are. The builder, the
// comparison and the run all walk an entry's reads through this one rule.

#include <cstdint>
#include <functional>

#include "container/patch_container.h"

struct CInstalledRead {
  bool copy = false;  // a copy chunk's bytes; else a difference run
  uint64_t from = 0;  // where the bytes stand in the installed file
  uint32_t size = 0;
  uint32_t payload = 0;  // a difference run: where its bytes stand in the container
};

// Hands each read to `read` in chunk order, difference runs only when
// `differs`; false as soon as `read` returns false.
bool ForEachInstalledRead(const CPatchContainer& container, const CContainerEntry& entry,
                          bool differs, uint64_t oldSize,
                          const std::function<bool(const CInstalledRead&)>& read);

// The difference run of a payload chunk of `size` bytes at `at` in the file
// made, on `diagonal`, inside an installed file of `oldSize` bytes: the
// chunk's bytes [first, first + length) are differences. False when none is.
bool DifferenceRun(uint64_t at, uint32_t size, int64_t diagonal, uint64_t oldSize, uint32_t& first,
                   uint32_t& length);
