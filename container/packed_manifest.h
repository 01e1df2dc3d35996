#pragma once
// The builder's packing of a manifest's lists (version 5): the entry
// records, removed and unchanged files, compressed after the manifest's
// fixed fields, which a game of many files makes the larger part of a small
// patch.

#include <cstdint>
#include <string>
#include <vector>

// `manifest` (a version 4 body and its trailer, as CManifestWriter writes
// it) as version 5 into `out` when that is smaller, else as it is. False,
// with `why`, when the compressor fails.
bool PackManifest(const std::vector<uint8_t>& manifest, std::vector<uint8_t>& out,
                  std::string* why);
