#pragma once
// The names of the new folder's files as a release carries them: each one a
// name Windows can hold in every part, one the players' code page holds and
// reads back unchanged, shorter than 1024 bytes, not a working name of the
// patcher, and no two names of one file on Windows (letter case aside, or the
// same bytes in the code page).

#include <string>

#include "builder/record_spool.h"
#include "container/name_code_page.h"

// The spelling Windows compares names in: letter case aside, in every script.
std::u32string FoldedForWindows(const std::string& name);

// Checks the names `names` holds (sorted, UTF-8) in their order: the first
// name that breaks a rule is refused, with `why` naming the file (both files
// for a clash), but a name that does not read back only once no two names
// clash. The names are read twice, and a few bytes are kept per name: their
// spellings' hashes, which tell the few names that may clash.
bool CheckReleaseNames(const std::string& folder, const CRecordSpool& names,
                       const CNameEncoder& encoder, std::string* why);
