#pragma once
// Checks a release exactly as the patcher does before it touches a file, and
// lists its entries: name, kind, chunk count, payload and copied bytes, and
// both digests.

#include <cstdint>
#include <string>

// Writes the listing to `out`. False, with `why`, when the release cannot be
// read or the patcher would refuse it.
bool ShowRelease(const std::string& path, std::string& out, std::string* why);
