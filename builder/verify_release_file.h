#pragma once
// qelpatch-build --verify (CTask::kVerify): whether a release file or a
// QelPatch.exe turns the old game folder into the new one.

#include <string>

#include "builder/build_options.h"

// False, with `why` saying that it does not and why (the first file that
// differs, or why the patcher refuses the release there).
bool VerifyReleaseFile(const CBuildOptions& options, std::string* why);
