// libFuzzer target: the input is a Windows program. The PE reader parses it
// and looks up the patch data resource; it is taken as a stamped QelPatch.exe
// (ReleaseInExe, LooksLikeExe) and as a stub, into which a small release is
// stamped. Nothing may be read outside the input, what the reader hands out
// lies inside it, every refusal says why, and a stamped program gives its
// release back.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pe/exe_stamp.h"
#include "pe/pe_image.h"

namespace {
void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "pe fuzzer: %s\n", what);
  std::abort();
}

bool Inside(uint32_t size, uint64_t offset, uint32_t length) {
  return offset + length <= size;
}

// Compared as numbers: a pointer outside the input is the fault looked for.
bool Inside(const uint8_t* data, uint32_t size, const uint8_t* part, uint32_t length) {
  const uintptr_t start = reinterpret_cast<uintptr_t>(data);
  const uintptr_t at = reinterpret_cast<uintptr_t>(part);
  return at >= start && Inside(size, at - start, length);
}

void ReadAsImage(const uint8_t* data, uint32_t size) {
  CPeImage image;
  std::string why;
  if (!image.Parse(data, size, &why)) {
    Check(!why.empty(), "image refused without a reason");
    return;
  }
  for (const CPeSection& section : image.Sections())
    Check(section.rawSize == 0 || Inside(size, section.rawOffset, section.rawSize),
          "section data outside the input");
  CPeResource resource;
  if (image.FindResource("DAT", 136, 1042, resource, &why)) {
    Check(Inside(size, resource.fileOffset, resource.size), "resource data outside the input");
    Check(Inside(size, resource.entryOffset, 16), "data entry outside the input");
  }
}

// The stamped program is read back as the builder's --show reads it.
void StampAndReadBack(const uint8_t* data, uint32_t size) {
  CExeStamper stamper;
  std::string why;
  if (!stamper.Open(data, size, &why)) {
    Check(!why.empty(), "stub refused without a reason");
    return;
  }
  static const uint8_t kRelease[] = {1, 0, 0, 0, 'r', 'e', 'l', 'e', 'a', 's', 'e'};
  stamper.AddRelease(kRelease, sizeof kRelease);
  std::vector<uint8_t> exe;
  uint32_t tail = 0;
  if (!stamper.Finish(exe, tail, nullptr)) return;
  Check(exe.size() == stamper.ReleaseOffset(), "head does not end where the release starts");
  exe.insert(exe.end(), kRelease, kRelease + sizeof kRelease);
  exe.insert(exe.end(), tail, 0);
  const uint8_t* release = nullptr;
  uint32_t releaseSize = 0;
  Check(LooksLikeExe(exe.data(), exe.size()), "stamped program does not look like one");
  Check(ReleaseInExe(exe.data(), static_cast<uint32_t>(exe.size()), release, releaseSize, &why),
        "stamped program refused");
  Check(std::vector<uint8_t>(release, release + releaseSize) ==
            std::vector<uint8_t>(kRelease, kRelease + sizeof kRelease),
        "stamped program gives back another release");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  const uint32_t size32 = static_cast<uint32_t>(size);
  ReadAsImage(data, size32);
  LooksLikeExe(data, size);
  const uint8_t* release = nullptr;
  uint32_t releaseSize = 0;
  std::string why;
  if (ReleaseInExe(data, size32, release, releaseSize, &why))
    Check(Inside(data, size32, release, releaseSize), "release outside the input");
  else
    Check(!why.empty(), "program refused without a reason");
  StampAndReadBack(data, size32);
  return 0;
}
