#pragma once
#include <string>

// Turns the zip archive at `path` into the bytes of its entry `entryName`,
// under the same path. The archive is first moved to path + ".zip" (a file
// left there by an earlier run is removed first) and that file is gone on
// return. True only when the archive opened, the entry was found, read to its
// end without a failure and its CRC-32 matched; on false nothing is left at
// `path` (a started output file is removed).
bool UnpackArchiveEntry(const std::string& path, const std::string& entryName);
