#pragma once
// A game folder and a release that turns its old version into the new one,
// made of real files: packages with copy chunks in any order, a package sent
// whole, and an archive entry in a sub-folder.

#include <string>
#include <vector>

#include "container/container_writer.h"
#include "engine/patch_worker.h"
#include "tests/support/package_file.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_host.h"

struct CPackagePair {
  std::string name;
  CPackageImage oldPackage;
  CPackageImage newPackage;
  std::vector<CChunkPlan> chunks;  // rebuilds the new package from the old
};

// A new package made of the old one's pieces (in a shuffled order) and new
// bytes, with the recipe that rebuilds it, and the delta entry carrying it.
CPackagePair MakePackagePair(const std::string& name, uint32_t seed);
CEntryPlan DeltaEntry(const CPackagePair& pair);
CEntryPlan WholeEntry(const std::string& name, const Bytes& content);
CEntryPlan ArchiveEntry(const std::string& name, const Bytes& content, bool deflate);

std::string IndexDigest(const CPackageImage& package);
Bytes BuildContainer(const std::vector<CEntryPlan>& entries);

// One file of a release, as its entry finds and leaves it: `before` null for
// a new file.
struct CFileVersions {
  const Bytes* before;
  Bytes after;
};
// A release file as the builder writes it: the container of `entries` and
// the manifest that `files` (one per entry, in order) describe.
Bytes BuildRelease(const std::vector<CEntryPlan>& entries, const std::vector<CFileVersions>& files,
                   uint32_t codePage = 0);
// The same release with its container carried compressed: in one xz
// stream, or as streams with differences from files[i].before.
Bytes CompressedRelease(const Bytes& release);
Bytes StreamsRelease(const Bytes& release, const std::vector<CFileVersions>& files);

struct CRunOutcome {
  std::vector<uintptr_t> results;
  std::string out;  // standard output
  std::vector<std::string> questions;
  std::string status;  // the status line when the run ended
  std::string detail;  // what lies behind a failure's reason
};

// One whole run of the worker on this thread, with the installation folder
// coming from the stored setting.
CRunOutcome RunWorker(const Bytes& container, const std::string& folder);

// No working file (a last part starting ".temp_") anywhere below the folder.
bool NoWorkingFilesLeft(const std::string& folder);
