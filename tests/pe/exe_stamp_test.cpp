// The stamper on a small PE32 stub (tests/support/pe_stub.h): the release
// goes in and comes back out, the checksum holds over pieces of any size, and
// damaged, signed or foreign stubs are refused without a read out of bounds.
// The real stub is checked against an independent PE reader in
// tests/e2e/stamped_exe.sh.
#include "pe/exe_stamp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "base/little_endian.h"
#include "tests/support/pe_stub.h"

namespace {
using Bytes = std::vector<uint8_t>;

const size_t kPe = kStubPe, kOptional = kStubOptional, kSections = kStubSections, kTree = kStubTree;

bool Stamp(const Bytes& stub, const Bytes& release, Bytes& exe, std::string& why,
           size_t piece = SIZE_MAX) {
  CExeStamper stamper;
  if (!stamper.Open(stub.data(), static_cast<uint32_t>(stub.size()), &why)) return false;
  for (size_t at = 0; at < release.size(); at += piece)
    stamper.AddRelease(&release[at], std::min(piece, release.size() - at));
  uint32_t tail = 0;
  if (!stamper.Finish(exe, tail, &why)) return false;
  exe.insert(exe.end(), release.begin(), release.end());
  exe.insert(exe.end(), tail, 0);
  return true;
}

Bytes RandomRelease(size_t size) {
  std::mt19937 random(static_cast<uint32_t>(size));
  Bytes release(size);
  for (uint8_t& b : release) b = static_cast<uint8_t>(random());
  return release;
}
}  // namespace

TEST(ExeStamp, TheReleaseGoesInAndComesBackWithTheChecksumOverAnyPieces) {
  const Bytes stub = MakeTestStub(StubMarker());
  for (size_t size : {size_t{1}, size_t{4}, size_t{511}, size_t{512}, size_t{70001}}) {
    const Bytes release = RandomRelease(size);
    Bytes whole, pieces;
    std::string why;
    ASSERT_TRUE(Stamp(stub, release, whole, why)) << why;
    ASSERT_TRUE(Stamp(stub, release, pieces, why, 333)) << why;
    EXPECT_EQ(whole, pieces) << size;
    EXPECT_EQ(whole.size() % 0x200, 0u);
    EXPECT_EQ(GetU16(&whole[kPe + 6]), 2u) << "one section more";
    EXPECT_EQ(GetU32(&whole[kOptional + 56]), 0x2000u + (size + 0xFFF) / 0x1000 * 0x1000);

    const uint8_t* inside = nullptr;
    uint32_t insideSize = 0;
    ASSERT_TRUE(
        ReleaseInExe(whole.data(), static_cast<uint32_t>(whole.size()), inside, insideSize, &why))
        << why;
    EXPECT_EQ(Bytes(inside, inside + insideSize), release);

    // The checksum: the words with the field as zero, end-around carry, plus the length.
    Bytes zeroed = whole;
    PutU32(&zeroed[kOptional + 64], 0);
    uint64_t sum = 0;
    for (size_t i = 0; i < zeroed.size(); i += 2) {
      sum += GetU16(&zeroed[i]);
      sum = (sum & 0xFFFF) + (sum >> 16);
    }
    EXPECT_EQ(GetU32(&whole[kOptional + 64]), sum + zeroed.size());
  }
}

TEST(ExeStamp, RefusesSignedForeignAndOtherVersionStubsAndSurvivesEveryTruncation) {
  std::string why;
  Bytes exe;
  Bytes signedStub = MakeTestStub(StubMarker());
  PutU32(&signedStub[kOptional + 96 + 4 * 8], 0x400);
  PutU32(&signedStub[kOptional + 96 + 4 * 8 + 4], 0x100);
  EXPECT_FALSE(Stamp(signedStub, {1, 2}, exe, why));
  EXPECT_NE(why.find("the stub is signed"), std::string::npos) << why;
  EXPECT_FALSE(Stamp(MakeTestStub("QelPatch stub 0.0.1"), {1, 2}, exe, why));
  EXPECT_NE(why.find("not of this builder's version"), std::string::npos) << why;
  EXPECT_FALSE(Stamp(MakeTestStub("PKWARE"), {1, 2}, exe, why));
  EXPECT_NE(why.find("already carries a release"), std::string::npos) << why;
  Bytes console = MakeTestStub(StubMarker());
  PutU16(&console[kOptional + 68], 3);
  // Its own reason, not the one left by the refusal before.
  EXPECT_FALSE(Stamp(console, {1, 2}, exe, why));
  EXPECT_EQ(why, "not a QelPatch stub (not a window program)");

  // Cut anywhere, or with any one byte of the headers and the tree changed,
  // the stub is refused or stamped, never read out of bounds.
  const Bytes stub = MakeTestStub(StubMarker());
  for (size_t size = 0; size < stub.size(); ++size)
    Stamp(Bytes(stub.begin(), stub.begin() + static_cast<std::ptrdiff_t>(size)), {1}, exe, why);
  for (size_t at = 0; at < 0x300; ++at) {
    Bytes damaged = stub;
    damaged[at] ^= 0xA5;
    if (Stamp(damaged, {1}, exe, why)) {
      const uint8_t* inside = nullptr;
      uint32_t insideSize = 0;
      ReleaseInExe(exe.data(), static_cast<uint32_t>(exe.size()), inside, insideSize, &why);
    }
  }
}

// Layouts the fuzzer found: each is refused by the reader and the stamper
// with its own reason.
TEST(ExeStamp, DamagedLayoutsAreRefusedWithTheirReason) {
  struct Damage {
    const char* what;
    std::function<void(Bytes&)> apply;
    const char* why;
  };
  const Damage damages[] = {
      // The stamper padded the stub to 256 MiB.
      {"file alignment past 64 KiB", [](Bytes& b) { PutU32(&b[kOptional + 36], 0x10000000); },
       "damaged PE headers"},
      // An empty resource in a section without file data had its file offset
      // taken unchecked, and the release pointed past the program's end.
      {"empty resource in a section without file data",
       [](Bytes& b) {
         PutU16(&b[kPe + 6], 2);
         std::memcpy(&b[kSections + 40], ".bss", 4);
         PutU32(&b[kSections + 40 + 8], 0x1000);
         PutU32(&b[kSections + 40 + 12], 0x3000);
         PutU32(&b[kSections + 40 + 20], 0x7FFFFFF0);
         PutU32(&b[kTree + 0x48], 0x3000);
         PutU32(&b[kTree + 0x4C], 0);
       },
       "a resource's data lies outside the file"},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    Bytes stub = MakeTestStub(StubMarker());
    damage.apply(stub);
    const uint8_t* inside = nullptr;
    uint32_t insideSize = 0;
    std::string why;
    EXPECT_FALSE(
        ReleaseInExe(stub.data(), static_cast<uint32_t>(stub.size()), inside, insideSize, &why));
    EXPECT_EQ(why, damage.why);
    Bytes exe;
    EXPECT_FALSE(Stamp(stub, {1}, exe, why));
    EXPECT_EQ(why, "not a QelPatch stub (" + std::string(damage.why) + ")");
  }
}
