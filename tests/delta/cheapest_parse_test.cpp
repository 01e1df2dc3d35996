#include "delta/cheapest_parse.h"

#include <gtest/gtest.h>

namespace {
// A stretch described as runs: a near copy, a far copy, both (the same bytes
// from two places) or new bytes. Each run's copy comes from its own place.
enum class CRun { kNear, kFar, kBoth, kNew };

struct CStretch {
  CCopyTrack near, far;
  uint32_t size = 0;
};

CStretch Make(const std::vector<std::pair<CRun, uint32_t>>& runs) {
  CStretch s;
  uint32_t place = 0;
  for (const auto& [run, length] : runs) {
    place += 1000;
    for (uint32_t k = 0; k < length; ++k) {
      const bool near = run == CRun::kNear || run == CRun::kBoth;
      const bool far = run == CRun::kFar || run == CRun::kBoth;
      s.near.length.push_back(near ? length - k : 0);
      s.near.from.push_back(place + k);
      s.far.length.push_back(far ? length - k : 0);
      s.far.from.push_back(place + 500 + k);
    }
    s.size += length;
  }
  return s;
}
}  // namespace

// The costs: 12 bytes a record and 1 a literal byte, 4 more for a far copy;
// ties go to fewer copies, then to near ones.
TEST(CheapestParse, CopiesWhereTheyPay) {
  using R = CRun;
  struct Case {
    const char* what;
    std::vector<std::pair<CRun, uint32_t>> runs;
    size_t copies;
    uint32_t literal;
  } cases[] = {
      {"a 1-byte gap filled by a near copy", {{R::kNear, 40}, {R::kNear, 1}, {R::kNear, 40}}, 3, 0},
      {"a 1-byte gap of new bytes", {{R::kNear, 40}, {R::kNew, 1}, {R::kNear, 40}}, 2, 1},
      {"a 4-byte gap only a far copy fills", {{R::kNear, 40}, {R::kFar, 4}, {R::kNear, 40}}, 2, 4},
      {"a 5-byte gap only a far copy fills", {{R::kNear, 40}, {R::kFar, 5}, {R::kNear, 40}}, 3, 0},
      {"12 bytes ending a literal run", {{R::kNew, 30}, {R::kNear, 12}}, 0, 42},
      {"13 bytes ending a literal run", {{R::kNew, 30}, {R::kNear, 13}}, 1, 30},
      {"13 bytes starting a literal run", {{R::kNear, 13}, {R::kNew, 30}}, 1, 30},
      {"16 far bytes ending a literal run", {{R::kNew, 30}, {R::kFar, 16}}, 0, 46},
      {"17 far bytes ending a literal run", {{R::kNew, 30}, {R::kFar, 17}}, 1, 30},
      {"24 bytes inside a literal run", {{R::kNew, 30}, {R::kNear, 24}, {R::kNew, 30}}, 0, 84},
      {"25 bytes inside a literal run", {{R::kNew, 30}, {R::kNear, 25}, {R::kNew, 30}}, 1, 60},
  };
  for (const Case& c : cases) {
    const CStretch s = Make(c.runs);
    std::vector<CDeltaPiece> pieces;
    CCheapestParse parse;
    parse.Append(s.near, s.far, 0, s.size, CParseState::kAfterCopy, pieces);
    size_t copies = 0;
    uint32_t literal = 0, at = 0;
    for (const CDeltaPiece& piece : pieces) {
      copies += piece.copy;
      if (!piece.copy) {
        literal += piece.size;
        EXPECT_EQ(piece.from, at) << c.what;
      } else {
        const CCopyTrack& track = s.near.length[at] >= piece.size ? s.near : s.far;
        EXPECT_EQ(piece.from, track.from[at]) << c.what;
      }
      at += piece.size;
    }
    EXPECT_EQ(at, s.size) << c.what;
    EXPECT_EQ(copies, c.copies) << c.what;
    EXPECT_EQ(literal, c.literal) << c.what;
  }
}

// The same bytes near and far: the near copy, which the patcher reads with
// the copies around it.
TEST(CheapestParse, NearCopiesWinTies) {
  const CStretch s = Make({{CRun::kBoth, 40}});
  std::vector<CDeltaPiece> pieces;
  CCheapestParse().Append(s.near, s.far, 0, s.size, CParseState::kAfterCopy, pieces);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].from, s.near.from[0]);
}
