#pragma once
// One-entry zip archives as a release carries them, stored or deflated with
// zlib, for tests that need an archive inside a container.

#include <string>

#include "tests/support/package_file.h"

Bytes MakeZip(const std::string& entryName, const Bytes& content, bool deflate);
