#pragma once
// One-entry zip archives as a release carries them, stored or deflated with
// zlib, for tests that need an archive inside a container.

#include <string>

#include "container/container_writer.h"
#include "tests/support/package_file.h"

Bytes MakeZip(const std::string& entryName, const Bytes& content, bool deflate);

// The entry of a file that travels as a stored archive whose data is partly
// copied from the installed file: `pieces` make the new content, each a copy
// chunk (of the old file) or a payload chunk.
CEntryPlan StoredWithCopiesEntry(const std::string& name, const Bytes& content,
                                 const std::vector<CChunkPlan>& pieces);
