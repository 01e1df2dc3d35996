// Measures the zip reader for bench/archive/run.sh.
//
//   qelpatch-bench-archive read ARCHIVE ENTRY    reads the entry through Read in
//                                                10240-byte requests, as unpacking does
//   qelpatch-bench-archive unpack ARCHIVE ENTRY OUT  UnpackArchiveEntry(ARCHIVE, ENTRY, OUT)
//   qelpatch-bench-archive idle                  does nothing: the memory baseline

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/unpack_archive_entry.h"
#include "archive/zip_file_reader.h"

namespace {
int ReadEntry(const char* archive, const char* entry) {
  auto start = std::chrono::steady_clock::now();
  CZipFileReader reader;
  if (!reader.Open(archive) || !reader.OpenEntry(entry)) {
    std::fprintf(stderr, "cannot open %s in %s\n", entry, archive);
    return 1;
  }
  std::vector<uint8_t> buffer(10240);
  int64_t total = 0;
  int32_t count;
  while ((count = reader.Read(buffer.data(), 10240)) > 0) total += count;
  bool crcMatches = reader.CloseEntry();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("read %lld bytes in %.3f s: %.1f MiB/s, CRC %s\n", static_cast<long long>(total),
              seconds, total / seconds / (1 << 20), crcMatches ? "ok" : "BAD");
  return count == 0 && crcMatches ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "read") == 0) return ReadEntry(argv[2], argv[3]);
  if (argc == 5 && std::strcmp(argv[1], "unpack") == 0)
    return UnpackArchiveEntry(argv[2], argv[3], argv[4]).outcome == CUnpackOutcome::kUnpacked ? 0
                                                                                              : 1;
  if (argc == 2 && std::strcmp(argv[1], "idle") == 0) return 0;
  std::fprintf(stderr, "usage: %s read ARCHIVE ENTRY | unpack ARCHIVE ENTRY OUT | idle\n", argv[0]);
  return 2;
}
