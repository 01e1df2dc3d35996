// libFuzzer target: the input is an archive file; it is opened, and every
// entry of its directory is opened, read to its end and closed.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "archive/zip_file_reader.h"
#include "platform/files.h"

namespace {
// One file per process, so parallel fuzzing jobs do not meet; removed at exit.
struct CArchiveFile {
  CArchiveFile()
      : path((std::filesystem::temp_directory_path() /
              ("qelpatch-fuzz-" + std::to_string(::getpid()) + ".zip"))
                 .string()) {}
  ~CArchiveFile() { platform::DeleteFile(path); }
  const std::string path;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const CArchiveFile archive;
  const std::string& path = archive.path;
  platform::CFile file;
  if (!file.Create(path) || !file.Write(data, static_cast<uint32_t>(size)) || !file.Close())
    return 0;

  CZipFileReader reader;
  if (reader.Open(path)) {
    static uint8_t buffer[10240];
    for (size_t i = 0; i < reader.Entries().size(); ++i) {
      if (!reader.OpenEntry(reader.Entries()[i]->name)) continue;
      while (reader.Read(buffer, sizeof buffer) > 0) {
      }
      reader.CloseEntry();
    }
    reader.Close();
  }
  return 0;
}
