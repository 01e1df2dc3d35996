#pragma once
// The old version's files that the new one lacks, as the run finds them
// installed. A file that still is the old version's (its size and digest)
// is removed once every new file is installed; one the player changed is
// the player's now, and stays; one already gone needs nothing. The old
// version's folders that the new one lacks go once they are empty, the
// deepest first; a folder that holds the player's files stays.

#include <string>
#include <vector>

#include "container/release_manifest.h"
#include "engine/patch_progress.h"

struct CRemovalPlan {
  std::vector<std::string> files;    // names below InstallDir, UTF-8
  std::vector<std::string> changed;  // left as they are, named when the run completes
  std::vector<std::string> folders;  // the deepest first
};

// Reads the manifest's removed files below InstallDir; `progress` names
// each while it is read.
CRemovalPlan PlanRemovals(const CReleaseManifest& manifest, CPatchProgress& progress);
