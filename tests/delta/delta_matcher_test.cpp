#include "delta/delta_matcher.h"

#include <gtest/gtest.h>

#include "tests/support/package_file.h"

namespace {
// The target as the pieces rebuild it, and checks on their form.
Bytes Rebuild(const Bytes& old, const Bytes& target, uint32_t start,
              const std::vector<CDeltaPiece>& pieces) {
  Bytes out(target.begin(), target.begin() + start);
  uint32_t at = start;
  for (const CDeltaPiece& piece : pieces) {
    EXPECT_GT(piece.size, 0u);
    if (piece.copy) {
      EXPECT_LE(uint64_t{piece.from} + piece.size, old.size());
      out.insert(out.end(), old.begin() + piece.from, old.begin() + piece.from + piece.size);
    } else {
      EXPECT_EQ(piece.from, at);  // literal runs are the target's own bytes, in place
      out.insert(out.end(), target.begin() + piece.from, target.begin() + piece.from + piece.size);
    }
    at += piece.size;
  }
  return out;
}

std::vector<CDeltaPiece> Delta(const Bytes& old, const Bytes& target, uint32_t start = 0) {
  return ComputeDelta(old.data(), static_cast<uint32_t>(old.size()), target.data(),
                      static_cast<uint32_t>(target.size()), start, {}, nullptr);
}

uint64_t Literal(const std::vector<CDeltaPiece>& pieces) {
  uint64_t bytes = 0;
  for (const CDeltaPiece& piece : pieces)
    if (!piece.copy) bytes += piece.size;
  return bytes;
}

Bytes Slice(const Bytes& bytes, size_t at, size_t size) {
  return Bytes(bytes.begin() + at, bytes.begin() + at + size);
}

Bytes Join(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}
}  // namespace

TEST(DeltaMatcher, IdenticalFilesAreOneCopy) {
  Bytes old = RandomBytes(300000, 1);
  auto pieces = Delta(old, old);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_TRUE(pieces[0].copy);
  EXPECT_EQ(pieces[0].from, 0u);
  EXPECT_EQ(pieces[0].size, old.size());
}

TEST(DeltaMatcher, MovedBlocksAreCopiedInTheNewOrder) {
  Bytes old = RandomBytes(200000, 2);
  // Blocks of the old file in reverse order, with new bytes between them.
  Bytes target = Join({Slice(old, 150000, 50000), RandomBytes(100, 3), Slice(old, 100000, 50000),
                       RandomBytes(100, 4), Slice(old, 0, 100000)});
  auto pieces = Delta(old, target);
  EXPECT_EQ(Rebuild(old, target, 0, pieces), target);
  std::vector<uint32_t> copies;
  for (const CDeltaPiece& piece : pieces)
    if (piece.copy) copies.push_back(piece.from);
  EXPECT_EQ(copies, (std::vector<uint32_t>{150000, 100000, 0}));
  EXPECT_EQ(Literal(pieces), 200u);
}

// Edits shorter than a hash window next to a copy: only the new bytes travel.
TEST(DeltaMatcher, SmallEditsCostOnlyTheirNewBytes) {
  const Bytes old = RandomBytes(100000, 5);
  const Bytes five = RandomBytes(5, 6);
  struct Case {
    const char* edit;
    Bytes target;
    uint64_t literal;
  } cases[] = {
      {"insertion", Join({Slice(old, 0, 50000), five, Slice(old, 50000, 50000)}), 5},
      {"deletion", Join({Slice(old, 0, 50000), Slice(old, 50007, 49993)}), 0},
      {"replacement", Join({Slice(old, 0, 50000), five, Slice(old, 50005, 49995)}), 5},
      {"longer replacement", Join({Slice(old, 0, 50000), five, Slice(old, 50003, 49997)}), 5},
      {"shorter replacement", Join({Slice(old, 0, 50000), five, Slice(old, 50040, 49960)}), 5},
  };
  for (const Case& c : cases) {
    auto pieces = Delta(old, c.target);
    EXPECT_EQ(Rebuild(old, c.target, 0, pieces), c.target) << c.edit;
    EXPECT_EQ(Literal(pieces), c.literal) << c.edit;
  }
}

// Inside a literal run a copy costs two chunk records, and one from no
// recent copy's neighbourhood four bytes more: under 29 bytes do not pay
// for them (these random bytes may lengthen a run by one), 29 do.
TEST(DeltaMatcher, RunsTooShortToPayForTheirRecordsStayLiteral) {
  Bytes old = RandomBytes(10000, 7);
  for (uint32_t run : {27u, 29u}) {
    Bytes target = Join({RandomBytes(500, 8), Slice(old, 4000, run), RandomBytes(500, 9)});
    auto pieces = Delta(old, target);
    EXPECT_EQ(Rebuild(old, target, 0, pieces), target);
    EXPECT_EQ(pieces.size(), run == 27 ? 1u : 3u) << run;
  }
}

TEST(DeltaMatcher, StartLeavesTheHeadOutOfThePieces) {
  Bytes old = RandomBytes(50000, 10);
  auto pieces = Delta(old, old, 32);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_TRUE(pieces[0].copy);
  EXPECT_EQ(pieces[0].from, 32u);  // not extended backward into the head
  EXPECT_EQ(pieces[0].size, old.size() - 32);
}

TEST(DeltaMatcher, TinyAndEmptyInputs) {
  const Bytes some = RandomBytes(1000, 11);
  for (const auto& [old, target] : {std::pair<Bytes, Bytes>{{}, some},
                                    {some, {}},
                                    {some, Slice(some, 0, 20)},
                                    {Slice(some, 0, 20), some}}) {
    auto pieces = Delta(old, target);
    EXPECT_EQ(Rebuild(old, target, 0, pieces), target);
  }
}

// Long runs of one value: every place matches everywhere, and the result is
// still a handful of pieces.
TEST(DeltaMatcher, RepetitiveDataGivesFewPieces) {
  Bytes old(2 << 20, 0);
  Bytes target = Join({Bytes(3 << 19, 0), RandomBytes(1000, 12), Bytes(1 << 20, 0)});
  auto pieces = Delta(old, target);
  EXPECT_EQ(Rebuild(old, target, 0, pieces), target);
  EXPECT_LE(pieces.size(), 4u);
  EXPECT_EQ(Literal(pieces), 1000u);
}

// Random edits of every kind, in many combinations: the pieces always
// rebuild the target, and only the inserted bytes travel as literals (plus a
// little where an edit cuts a run too short to copy).
TEST(DeltaMatcher, RandomEditsRoundTrip) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    const Bytes old = RandomBytes(20000 + seed * 977, seed * 13);
    Bytes target;
    uint64_t fresh = 0;
    uint32_t state = seed;
    auto next = [&state](uint32_t bound) {
      state = state * 1103515245u + 12345u;
      return (state >> 8) % bound;
    };
    while (target.size() < old.size()) {
      if (next(3) == 0) {
        Bytes added = RandomBytes(1 + next(200), seed * 1000 + static_cast<uint32_t>(fresh));
        fresh += added.size();
        target.insert(target.end(), added.begin(), added.end());
      } else {
        size_t size = 40 + next(3000);
        size_t at = next(static_cast<uint32_t>(old.size() - size));
        target.insert(target.end(), old.begin() + at, old.begin() + at + size);
      }
    }
    auto pieces = Delta(old, target);
    EXPECT_EQ(Rebuild(old, target, 0, pieces), target) << "seed " << seed;
    EXPECT_LE(Literal(pieces), fresh + fresh / 10 + 64) << "seed " << seed;
  }
}

// An index-like region: 48-byte records, each with its first byte changed,
// in a new order. Each 47-byte run must be found on its own.
TEST(DeltaMatcher, DenseRangesFindShortRunsTheCoarseStepMisses) {
  const Bytes old = RandomBytes(1 << 20, 14);
  const uint32_t oldSize = static_cast<uint32_t>(old.size());
  const uint32_t region = oldSize - 48000;
  Bytes target;
  for (uint32_t record = 0; record < 1000; ++record) {
    const uint32_t at = region + (record * 617 % 1000) * 48;
    target.insert(target.end(), old.begin() + at, old.begin() + at + 48);
    target[target.size() - 48] ^= 0x5A;
  }
  const uint32_t targetSize = static_cast<uint32_t>(target.size());
  const CBlockIndex coarse(old.data(), oldSize, {{0, oldSize, 64}});
  const CBlockIndex dense(old.data(), oldSize, {{region, oldSize, 1}, {0, oldSize, 64}});
  auto coarsePieces =
      MatchAgainstOld(old.data(), oldSize, coarse, target.data(), targetSize, 0, nullptr);
  auto densePieces =
      MatchAgainstOld(old.data(), oldSize, dense, target.data(), targetSize, 0, nullptr);
  EXPECT_EQ(Rebuild(old, target, 0, coarsePieces), target);
  EXPECT_EQ(Rebuild(old, target, 0, densePieces), target);
  // Only the changed bytes (fewer when a changed byte happens to stand in
  // the old file where a copy just beside it, or a recent copy's diagonal,
  // points).
  EXPECT_LE(Literal(densePieces), 1000u);
  EXPECT_GE(Literal(densePieces), 970u);
  EXPECT_GT(Literal(coarsePieces), 10000u);
}

// Recompiled code: one to three bytes differ every few dozen. The runs
// between them are copied, however short, along the diagonal; the changed
// bytes could come only from far places, whose records cost more than they
// save, so they stay literal; and the last copy ends at the file's last byte.
TEST(DeltaMatcher, RecompiledCodeIsCopiedBetweenItsChangedBytes) {
  const Bytes old = RandomBytes(1 << 20, 20);
  Bytes target = old;
  uint64_t changedBytes = 0;
  uint32_t state = 21;
  for (size_t at = 100; at + 200 < target.size();) {
    state = state * 1103515245u + 12345u;
    const uint32_t changed = 1 + (state >> 8) % 3;
    for (uint32_t k = 0; k < changed; ++k) target[at + k] ^= 0xA5;
    changedBytes += changed;
    at += changed + 30 + (state >> 16) % 30;
  }
  auto pieces = Delta(old, target);
  EXPECT_EQ(Rebuild(old, target, 0, pieces), target);
  EXPECT_EQ(Literal(pieces), changedBytes);
  ASSERT_TRUE(pieces.back().copy);
  EXPECT_EQ(pieces.back().from + pieces.back().size, old.size());
}
