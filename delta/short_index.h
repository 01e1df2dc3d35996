#pragma once
// Where short runs of the new file stand in the old file: for runs of 2, 8
// and 16 bytes, tables from a run's bytes (hashed, apart from the direct
// table of 2-byte runs) to one old position that holds them. They find the
// copies shorter than the block index's windows: those filling a gap between
// two copies (paying from 1 byte) or ending a literal run (from 13).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class CShortIndex {
 public:
  CShortIndex(const uint8_t* old, uint32_t oldSize);

  // Calls visit(position) with the old position of each table of runs of
  // `shortest` bytes or more for the runs starting at `at` (`left` bytes to
  // the end of the new file), shortest first; the positions still need
  // checking.
  template <class Visit>
  void ForEachCandidate(const uint8_t* at, uint32_t left, uint32_t shortest, Visit&& visit) const {
    for (const CTable& table : tables_) {
      if (table.run < shortest) continue;
      if (left < table.run) return;
      const uint32_t position = table.slots[table.SlotOf(at)];
      if (position != kEmpty) visit(position);
    }
  }

  // Fetches the slots for the runs at `at` into the cache ahead of their
  // lookup.
  void Prefetch(const uint8_t* at, uint32_t left, uint32_t shortest) const {
    for (const CTable& table : tables_) {
      if (table.run < shortest) continue;
      if (left < table.run) return;
      __builtin_prefetch(&table.slots[table.SlotOf(at)]);
    }
  }

  // Runs at most this long are looked for.
  static constexpr uint32_t kLongestRun = 16;

 private:
  static constexpr uint32_t kEmpty = UINT32_MAX;
  struct CTable {
    uint32_t run;
    uint32_t step;  // every step-th old position is entered
    int shift;      // the slot is the top bits of the hash
    std::vector<uint32_t> slots;
    size_t SlotOf(const uint8_t* at) const {
      uint64_t head = 0, tail = 0;
      std::memcpy(&head, at, run < 8 ? run : 8);
      if (run == 2) return head;
      uint64_t hash = head * 0x9E3779B97F4A7C15ull;
      if (run > 8) {
        std::memcpy(&tail, at + 8, 8);
        hash = (hash ^ (hash >> 31) ^ tail) * 0xBF58476D1CE4E5B9ull;
      }
      return static_cast<size_t>(hash >> shift);
    }
  };
  std::vector<CTable> tables_;
};
