#pragma once
// The file --show, --stamp and --verify take: a release file or a
// QelPatch.exe carrying one (signed or not), told apart by the whole of
// their make-up, never by the first bytes: a release of 23,117 entries
// begins with "MZ" as programs do.

#include <cstdint>
#include <string>
#include <vector>

#include "container/patch_container.h"
#include "container/release_manifest.h"
#include "platform/mapped_file.h"

// One step of a release (the whole of a release of one step).
struct CInputStep {
  uint64_t size = 0;          // its bytes in the release
  CPatchContainer container;  // as the patcher validated it
  CReleaseView release;
};

struct CReleaseInput {
  CMappedFile file;
  bool program = false;           // QelPatch.exe; otherwise a release file
  const uint8_t* data = nullptr;  // the release's bytes, inside the file
  uint64_t size = 0;
  std::vector<CInputStep> steps;  // the oldest version's first
};

// Maps the file and checks the release exactly as the patcher will, names
// read in `codePage` unless its manifest names one. False, with `why` naming
// the file: it cannot be read, is neither form, or the patcher would refuse
// the release.
bool OpenReleaseInput(const std::string& path, uint32_t codePage, CReleaseInput& input,
                      std::string* why);

// The release the builder has just written to `path` (a program when
// `program` is set), for checking it: the file is mapped, the release and
// each step's manifest found in it, and the steps' containers are the ones
// written (`containers` validated from their own bytes, which must outlive
// `input`), so nothing is unpacked; the patcher's engine unpacks and checks
// them on its run. False, with `why`, for a file that cannot be read or is
// over `sizeLimit`.
bool OpenWrittenRelease(const std::string& path, bool program,
                        const std::vector<CPatchContainer>& containers, uint64_t sizeLimit,
                        CReleaseInput& input, std::string* why);
