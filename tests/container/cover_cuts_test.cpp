// The chunks a cover's differences tell: the rule the builder cuts by and
// the patcher reads back, however the bytes come.
#include "container/cover_cuts.h"

#include <gtest/gtest.h>

namespace {
using Bytes = std::vector<uint8_t>;

Bytes Zeros(size_t n) {
  return Bytes(n, 0);
}
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Cuts `differences` handed whole, a byte at a time, and with each zero run
// as TakeZeros: false when any way fails or they disagree.
bool Cut(const Bytes& differences, uint32_t beyond, std::vector<CCoverCut>& cuts) {
  std::vector<CCoverCut> whole, bytes, runs;
  CCoverCutter first(whole), second(bytes), third(runs);
  first.Take(differences.data(), differences.size());
  for (uint8_t byte : differences) second.Take(&byte, 1);
  for (size_t at = 0; at < differences.size();) {
    size_t end = at;
    while (end < differences.size() && differences[end] == 0) ++end;
    if (end == at) {
      third.Take(&differences[at], 1);
      ++end;
    } else {
      third.TakeZeros(end - at);
    }
    at = end;
  }
  const bool ended = first.End(beyond);
  if (second.End(beyond) != ended || third.End(beyond) != ended || whole != bytes || whole != runs)
    return false;
  cuts = whole;
  return ended;
}
}  // namespace

TEST(CoverCuts, ZeroRunsOfTheLeastLengthAreCopiesAndTheRestPayload) {
  const uint32_t least = kCoverCopyLeast;
  const struct {
    const char* what;
    Bytes differences;
    uint32_t beyond;
    bool cut;
    std::vector<CCoverCut> cuts;
  } cases[] = {
      {"a short zero run stays payload",
       Zeros(20) + Bytes{1} + Zeros(least - 1) + Bytes{2},
       0,
       true,
       {{true, 20}, {false, least + 1}}},
      {"a long one is a copy",
       Zeros(20) + Bytes{1} + Zeros(least) + Bytes{2},
       0,
       true,
       {{true, 20}, {false, 1}, {true, least}, {false, 1}}},
      {"the cover's first run is a copy however short",
       Zeros(1) + Bytes{7, 7},
       0,
       true,
       {{true, 1}, {false, 2}}},
      {"past the installed file after a copy: payload",
       Zeros(20) + Bytes{3} + Zeros(least),
       5,
       true,
       {{true, 20}, {false, 1}, {true, least}, {false, 5}}},
      {"past it after payload: the same payload",
       Zeros(20) + Bytes{3} + Zeros(4),
       5,
       true,
       {{true, 20}, {false, 10}}},
      {"a cover that does not start with a copy", Bytes{1} + Zeros(20), 0, false, {}},
      {"a cover with nothing over the installed file", Bytes{}, 8, false, {}},
  };
  for (const auto& c : cases) {
    std::vector<CCoverCut> cuts;
    EXPECT_EQ(Cut(c.differences, c.beyond, cuts), c.cut) << c.what;
    if (c.cut) {
      EXPECT_EQ(cuts, c.cuts) << c.what;
    }
  }
}
