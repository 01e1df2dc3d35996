#pragma once
// A representative release for the reliability suites: two packages rebuilt
// from pieces of the installed ones (one in a sub-folder), a package sent
// whole, a deflated archive entry in a sub-folder, a stored archive entry for
// a new file in two folders that do not exist yet, a stored archive partly
// copied from the installed file, and an entry "pair" beside an entry
// "pair.zip". Each file's old and new bytes are known, so a folder can be
// judged after any run: every file is old or new, never missing or partial.

#include <string>
#include <vector>

#include "tests/support/release_runs.h"

struct CReleaseFile {
  std::string name;
  bool installed = true;  // false: the old version is "no file"
  Bytes oldBytes;
  Bytes newBytes;
};

struct CRelease {
  std::vector<CReleaseFile> files;
  std::vector<CEntryPlan> entries;
  Bytes container;
};

// A package of dataSize bytes of data and its new version made of its pieces
// in another order with fresh bytes between them; the entry rebuilds it with
// copy chunks (no search: the pieces are known).
CPackagePair MakeShuffledPackagePair(const std::string& name, uint32_t dataSize, uint32_t seed,
                                     CEntryPlan& entry);

// The packages hold dataSize bytes of data each; the archive entries are a
// tenth of that.
CRelease MakeRepresentativeRelease(uint32_t dataSize, uint32_t seed);

// Writes every installed file of the old version below the folder.
void InstallOldVersion(const CRelease& release, const std::string& folder);

// How a folder stands after a run.
struct CFolderState {
  std::vector<std::string> problems;      // files that are neither old nor new, and strays
  std::vector<std::string> workingFiles;  // the patcher's working files, relative
  size_t newCount = 0;                    // files at their new version
  bool AllNew(const CRelease& release) const { return newCount == release.files.size(); }
};
CFolderState JudgeFolder(const CRelease& release, const std::string& folder);
