#pragma once
// The fingerprint of a package: the MD5 text of its index (index header and
// all records as stored, package_format.h), never of its data.

#include <cstdint>
#include <string>

#include "digest/package_format.h"

// Of the package file at `path`; an empty text when it cannot be opened. A
// damaged package ends the digest at its first short read, with some text.
std::string GetPackageIndexDigest(const std::string& path);

// Of a package in memory whose layout was read.
std::string GetPackageIndexDigest(const uint8_t* package, const CPackageLayout& layout);
