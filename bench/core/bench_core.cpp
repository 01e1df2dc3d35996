// Core benchmarks: MD5 throughput over a file, the package fingerprint of a
// large sparse package, and loading (validating) a large container.
//
//   qelpatch-bench-core md5 FILE
//   qelpatch-bench-core index PACKAGE
//   qelpatch-bench-core load
//   qelpatch-bench-core versions FOLDER COUNT   (COUNT files of 1 byte made
//                                               below FOLDER, then told by size)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "container/container_writer.h"
#include "container/patch_container.h"
#include "digest/digest_text.h"
#include "digest/md5.h"
#include "digest/package_index_digest.h"
#include "engine/install_dir.h"
#include "engine/installed_version.h"
#include "platform/files.h"

namespace {
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Bytes this process has read through read system calls so far.
long long BytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return -1;
}

int Md5File(const char* path) {
  platform::CFile file;
  if (!file.OpenRead(path)) return 1;
  std::vector<uint8_t> block(1 << 20);
  CMD5Hash md5;
  auto start = Clock::now();
  uint64_t total = 0;
  for (int64_t got;
       (got = file.ReadAt(total, block.data(), static_cast<uint32_t>(block.size()))) > 0;) {
    md5.Update(block.data(), static_cast<uint32_t>(got));
    total += static_cast<uint64_t>(got);
  }
  uint8_t digest[16];
  md5.GetDigest(digest);
  double ms = MillisecondsSince(start);
  std::printf("md5 %s  %.1f MiB in %.1f ms = %.0f MiB/s\n", DigestToHex(digest).c_str(),
              total / 1048576.0, ms, total / 1048576.0 / (ms / 1000));
  return 0;
}

int IndexDigest(const char* path) {
  GetPackageIndexDigest(path);  // warm the cache
  double best = 1e9;
  long long bytes = 0;
  std::string digest;
  for (int i = 0; i < 20; ++i) {
    long long before = BytesReadSoFar();
    auto start = Clock::now();
    digest = GetPackageIndexDigest(path);
    best = std::min(best, MillisecondsSince(start));
    bytes = BytesReadSoFar() - before;
  }
  std::printf("index digest %s  best of 20: %.2f ms, %lld bytes read per call\n", digest.c_str(),
              best, bytes);
  return 0;
}

int LoadContainer() {
  // About 48 MB in 10,000 chunks: 100 entries of 100 chunks, half of them copies.
  CContainerWriter writer;
  for (int e = 0; e < 100; ++e) {
    CEntryPlan entry;
    entry.name = "map" + std::to_string(e) + ".pkg";
    entry.digestBefore = std::string(32, 'a');
    entry.digestAfter = std::string(32, 'b');
    for (int c = 0; c < 100; ++c) {
      if (c % 2 == 0)
        entry.chunks.push_back(CChunkPlan::Payload(std::vector<uint8_t>(9600, uint8_t(c))));
      else
        entry.chunks.push_back(CChunkPlan::Copy(c * 4096u, 65536));
    }
    writer.AddEntry(std::move(entry));
  }
  std::vector<uint8_t> container;
  std::string why;
  if (!writer.Build(container, &why)) return 1;
  double best = 1e9;
  for (int i = 0; i < 50; ++i) {
    auto start = Clock::now();
    bool ok = ValidatePatchContainer(container.data(), static_cast<uint32_t>(container.size()),
                                     65001, &why);
    best = std::min(best, MillisecondsSince(start));
    if (!ok) return 1;
  }
  std::printf("validate %zu bytes, 10000 chunks: best of 50: %.3f ms\n", container.size(), best);
  return 0;
}
}  // namespace

// Telling the installed version by the sizes of COUNT unchanged files, in
// folders of 1,000: the first pass after making them, then a second.
int InstalledVersion(const std::string& folder, int count) {
  CReleaseManifest manifest;
  for (int i = 0; i < count; ++i) {
    const std::string name =
        "data/" + std::to_string(i / 1000) + "/file" + std::to_string(i) + ".dat";
    if (i % 1000 == 0) {
      platform::CreateFolder(folder + "/data");
      platform::CreateFolder(folder + "/" + name.substr(0, name.rfind('/')));
    }
    platform::CFile file;
    if (!file.Create(folder + "/" + name) || !file.Write("x", 1) || !file.Close()) return 1;
    manifest.unchanged.emplace_back(name, 1);
  }
  InstallDir = folder + "/";
  for (int pass = 1; pass <= 2; ++pass) {
    const Clock::time_point start = Clock::now();
    const std::string differs = OtherVersionFile(manifest, CPatchContainer());
    std::printf("pass %d: %d files told by size in %.1f ms%s\n", pass, count,
                MillisecondsSince(start), differs.empty() ? "" : (": " + differs).c_str());
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "md5") == 0) return Md5File(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "index") == 0) return IndexDigest(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "load") == 0) return LoadContainer();
  if (argc == 4 && std::strcmp(argv[1], "versions") == 0)
    return InstalledVersion(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr,
               "usage: qelpatch-bench-core md5 FILE | index PACKAGE | load | versions FOLDER "
               "COUNT\n");
  return 2;
}
