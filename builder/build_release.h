#pragma once
// A build of qelpatch-build (CTask::kBuild): the release that turns the old
// game folder into the new one, written to the release file, the program or
// both; given several old folders, one step from each to the next, chained
// (release_chain.h). The folders are listed once and each file planned once; the
// container is compressed when that makes the release smaller and
// QelPatch.exe can still load it, and otherwise only the archives are
// deflated again. What was written is checked by the patcher's engine before
// it replaces any output.

#include <cstdint>
#include <string>
#include <vector>

#include "builder/build_options.h"
#include "builder/progress_bar.h"
#include "builder/release_builder.h"

// One step: from an old folder to the next one given.
struct CBuiltStep {
  std::string oldFolder;
  std::string newFolder;
  CReleaseCounts counts;
  // Files of the old folder the new one lacks: how many the step removes,
  // and those it leaves installed.
  uint32_t removed = 0;
  std::vector<std::string> kept;
  bool compressed = false;
  uint64_t containerSize = 0;
  uint64_t compressedSize = 0;  // the step's bytes, when compressed
};

struct CBuiltRelease {
  // In the order they were found, each once; those found before a failure
  // are kept.
  std::vector<std::string> warnings;
  std::vector<CBuiltStep> steps;  // the oldest folder's first
};

// Builds, checks and commits the outputs `options` name, the release no
// larger than `sizeLimit` bytes (kReleaseSizeLimit for QelPatch.exe). False,
// with `why` naming the file, for a refusal; no output is changed then.
bool BuildRelease(const CBuildOptions& options, uint64_t sizeLimit, CProgressBar& progress,
                  CBuiltRelease& built, std::string* why);
