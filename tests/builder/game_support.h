#pragma once
// Game folders made of real files for the builder's end-to-end tests.

#include <string>
#include <vector>

#include "tests/support/package_file.h"

struct CPackageVersions {
  Bytes old;
  Bytes latest;
};

// Two versions of a package: the new one is the old one's blocks in a
// shuffled order (so its copies run in every order), some blocks replaced by
// fresh bytes, some edited in a few bytes, and its index partly rewritten.
CPackageVersions MakePackageVersions(uint32_t seed, size_t dataSize = 200000);

// A text of about `size` bytes that deflates well.
Bytes TextOfSize(size_t size, uint32_t seed);

// Writes a sparse package of `size` bytes: a header, zeros, and an empty
// index at its end. No disk space is used for the zeros.
void WriteSparsePackage(const std::string& path, uint64_t size);

// The file names and bytes below a folder, for comparing whole folders.
std::vector<std::pair<std::string, Bytes>> FolderContents(const std::string& folder);

// The container of a release file, without the manifest that follows it;
// carried as streams, with its payload as it travels.
Bytes ContainerOf(const Bytes& release);
