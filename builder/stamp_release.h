#pragma once
// QelPatch.exe made from the stub the tools carry and a release.

#include <cstdint>
#include <string>

#include "pe/program_version.h"

// The stub the tools carry: QelPatch-stub.exe beside the running builder.
std::string DefaultStubPath();

// Writes the program carrying an existing release file (not a program:
// release_input.h), once the patcher would accept that release (names read
// in `codePage`) and QelPatch.exe can load it; its version resource says
// `version`.
bool StampReleaseFile(const std::string& stubPath, const std::string& releasePath,
                      const std::string& exePath, uint32_t codePage, const CProgramVersion& version,
                      std::string* why);
