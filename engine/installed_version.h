#pragma once
// Whether the installed game is the version a release updates (or already
// the one it makes), told from sizes alone before anything is asked or
// written: every file the release leaves as it is has its old size, and
// every file an entry copies from has its old or its new size. Files that
// travel whole (settings files, and those the studio sends whole) may be the
// player's edits: they tell nothing, and the builder lists none of them. A
// release without the old version's sizes (of an older builder) is taken as
// it comes.

#include <string>
#include <vector>

#include "container/patch_container.h"
#include "container/release_manifest.h"

// Empty when the game is of the release's versions; otherwise what differs,
// naming the first file ("data/a.pkg: 1200 bytes, not 1000").
std::string OtherVersionFile(const CReleaseManifest& manifest, const CPatchContainer& container);

// The failure line of a game of another version than those `served`, each
// updated to `latest`.
std::string OtherVersionReason(const std::vector<std::string>& served, const std::string& latest);
