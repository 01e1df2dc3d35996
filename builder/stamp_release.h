#pragma once
// QelPatch.exe made from the stub the tools carry and a release.

#include <string>

#include "builder/build_options.h"

// The stub the tools carry: QelPatch-stub.exe beside the running builder.
std::string DefaultStubPath();

// Writes the program (--exe) carrying an existing release file (--stamp; not
// a program: release_input.h), once the patcher would accept that release
// (names read in the --name-code-page) and QelPatch.exe can load it; its
// version resource and a studio's look are the options'.
bool StampReleaseFile(const CBuildOptions& options, std::string* why);
