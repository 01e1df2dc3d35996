#pragma once
// The archives that real tools made at build time (make_tool_archives.py),
// the files they hold, and reading an entry whole.

#include <string>
#include <vector>

#include "archive/zip_file_reader.h"
#include "tests/support/package_file.h"
#include "tests/support/temp_folder.h"

// Every tool archive holds these four names.
const std::vector<std::string> kToolEntryNames = {"readme.txt", "data.bin", "empty.txt",
                                                  "Sub/Folder/Model.dat"};

inline std::string ToolArchive(const std::string& name) {
  return QELPATCH_TOOL_ARCHIVES + name;
}

inline Bytes ToolContent(const std::string& entryName) {
  return ReadWholeFile(QELPATCH_TOOL_ARCHIVES "content/" + entryName);
}

// Reads the open entry in requests of `request` bytes until Read gives 0 or
// less; returns that last result and appends the bytes to `out`.
inline int32_t ReadToEnd(CZipFileReader& reader, Bytes& out, int32_t request = 10240) {
  std::vector<uint8_t> buffer(static_cast<size_t>(request));
  for (;;) {
    int32_t count = reader.Read(buffer.data(), request);
    if (count <= 0) return count;
    out.insert(out.end(), buffer.begin(), buffer.begin() + count);
  }
}
