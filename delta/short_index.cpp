#include "delta/short_index.h"

#include <algorithm>

namespace {
// Entered positions per table at most (and as many slots, a power of two):
// 512 MiB of slots for the two hashed tables at most, whatever the file's size.
constexpr uint64_t kPositionBudget = uint64_t{1} << 26;
// Runs of 2 bytes fill most gaps; 3 and 4 add little beside 8 and 16.
constexpr uint32_t kRuns[] = {2, 8, 16};
}  // namespace

CShortIndex::CShortIndex(const uint8_t* old, uint32_t oldSize) {
  for (uint32_t run : kRuns) {
    if (oldSize < run) break;
    const uint64_t positions = oldSize - run + 1;
    CTable table{run, 1, 64, {}};
    while (positions / table.step > kPositionBudget) table.step *= 2;
    if (run == 2) {
      table.slots.assign(size_t{1} << 16, kEmpty);
    } else {
      // One slot for one or two entered positions.
      size_t slots = 2;
      while (slots * 2 <= positions / table.step && slots < kPositionBudget) slots *= 2;
      table.shift = 64 - __builtin_ctzll(slots);
      table.slots.assign(slots, kEmpty);
    }
    for (uint64_t p = 0; p < positions; p += table.step)
      table.slots[table.SlotOf(old + p)] = static_cast<uint32_t>(p);
    tables_.push_back(std::move(table));
  }
}
