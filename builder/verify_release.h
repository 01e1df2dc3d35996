#pragma once
// Whether a release turns the old game folder into the new one: its entries
// are applied by the patcher's own engine to copies of the files they
// replace, in a scratch folder made beside the outputs and removed after,
// and of the files it removes, so that the old folder never changes; then
// every file of the new folder is compared byte for byte with what the old
// folder would hold, and every file of the old folder only must be gone or
// kept by the studio's choice.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "builder/game_folder.h"
#include "builder/release_input.h"

struct CVerifyCase {
  std::string oldFolder;
  std::string newFolder;
  // Both folders listed under the rules the release was built with.
  const CGameFolder* oldListing = nullptr;
  const CGameFolder* newListing = nullptr;
  const CReleaseInput* release = nullptr;
  uint32_t codePage = 0;      // of the names, when the release names none
  std::string scratchBeside;  // the folder that receives the scratch folder
  // Files of the old folder only that stay installed (--keep).
  std::vector<std::string> keep;
  // Hears each file made and compared, with how many are.
  std::function<void(uint64_t compared)> progress;
};

// False, with `why` naming the first file that differs (or why the patcher
// refuses the release there).
bool VerifyRelease(const CVerifyCase& check, std::string* why);

// Whether this system's patcher can name the release's files: a release
// for another code page than the system's is applied on a UTF-8 system only
// (Linux). False, with `why`.
bool CanVerifyHere(const CReleaseInput& release, uint32_t codePage, std::string* why);
