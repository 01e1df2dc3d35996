// The stamper on a small PE32 stub made here: the release goes in and comes
// back out, the checksum holds over pieces of any size, and damaged, signed or
// foreign stubs are refused without a read out of bounds. The real stub is
// checked against an independent PE reader in tests/e2e/stamped_exe.sh.
#include "pe/exe_stamp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "base/little_endian.h"

namespace {
using Bytes = std::vector<uint8_t>;

const size_t kPe = 0x40, kOptional = kPe + 24, kSections = kOptional + 224, kTree = 0x200;

// Headers, one section ".rsrc" at 0x1000 holding the tree DAT / 136 / 1042
// with the marker as its data.
Bytes MakeStub(const std::string& marker) {
  Bytes b(0x400, 0);
  b[0] = 'M', b[1] = 'Z';
  PutU32(&b[0x3C], kPe);
  std::memcpy(&b[kPe], "PE\0\0", 4);
  PutU16(&b[kPe + 4], 0x14C);
  PutU16(&b[kPe + 6], 1);
  PutU16(&b[kPe + 20], 224);
  PutU16(&b[kOptional], 0x10B);
  PutU32(&b[kOptional + 32], 0x1000);
  PutU32(&b[kOptional + 36], 0x200);
  PutU32(&b[kOptional + 56], 0x2000);
  PutU32(&b[kOptional + 60], 0x200);
  PutU16(&b[kOptional + 68], 2);
  PutU32(&b[kOptional + 92], 16);
  PutU32(&b[kOptional + 96 + 2 * 8], 0x1000);
  PutU32(&b[kOptional + 96 + 2 * 8 + 4], 0x60 + static_cast<uint32_t>(marker.size()));
  std::memcpy(&b[kSections], ".rsrc", 5);
  PutU32(&b[kSections + 8], 0x200);
  PutU32(&b[kSections + 12], 0x1000);
  PutU32(&b[kSections + 16], 0x200);
  PutU32(&b[kSections + 20], 0x200);
  PutU32(&b[kSections + 36], 0x40000040);
  PutU16(&b[kTree + 12], 1);  // the type, by name
  PutU32(&b[kTree + 16], 0x80000058);
  PutU32(&b[kTree + 20], 0x80000018);
  PutU16(&b[kTree + 0x18 + 14], 1);  // the number
  PutU32(&b[kTree + 0x28], 136);
  PutU32(&b[kTree + 0x2C], 0x80000030);
  PutU16(&b[kTree + 0x30 + 14], 1);  // the language
  PutU32(&b[kTree + 0x40], 1042);
  PutU32(&b[kTree + 0x44], 0x48);
  PutU32(&b[kTree + 0x48], 0x1060);
  PutU32(&b[kTree + 0x4C], static_cast<uint32_t>(marker.size()));
  PutU16(&b[kTree + 0x58], 3);
  for (int i = 0; i < 3; ++i) PutU16(&b[kTree + 0x5A + 2 * i], static_cast<uint8_t>("DAT"[i]));
  std::memcpy(&b[kTree + 0x60], marker.data(), marker.size());
  return b;
}

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
  const Bytes stub = MakeStub(StubMarker());
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
  Bytes signedStub = MakeStub(StubMarker());
  PutU32(&signedStub[kOptional + 96 + 4 * 8], 0x400);
  PutU32(&signedStub[kOptional + 96 + 4 * 8 + 4], 0x100);
  EXPECT_FALSE(Stamp(signedStub, {1, 2}, exe, why));
  EXPECT_NE(why.find("the stub is signed"), std::string::npos) << why;
  EXPECT_FALSE(Stamp(MakeStub("QelPatch stub 0.0.1"), {1, 2}, exe, why));
  EXPECT_NE(why.find("not of this builder's version"), std::string::npos) << why;
  EXPECT_FALSE(Stamp(MakeStub("PKWARE"), {1, 2}, exe, why));
  EXPECT_NE(why.find("already carries a release"), std::string::npos) << why;
  Bytes console = MakeStub(StubMarker());
  PutU16(&console[kOptional + 68], 3);
  // Its own reason, not the one left by the refusal before.
  EXPECT_FALSE(Stamp(console, {1, 2}, exe, why));
  EXPECT_EQ(why, "not a QelPatch stub (not a window program)");

  // Cut anywhere, or with any one byte of the headers and the tree changed,
  // the stub is refused or stamped, never read out of bounds.
  const Bytes stub = MakeStub(StubMarker());
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
    Bytes stub = MakeStub(StubMarker());
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
