#pragma once
#include <string>

// The fingerprint of a package: the MD5 text of its index (index header and
// all records as stored), never of its data. Empty text when the file cannot
// be opened; then the line "LocalFile: <path> is not exist!!" goes to
// standard output.
std::string GetPackageIndexDigest(const std::string& path);
