// Makes a package of the format's largest size, 4 GiB - 1 bytes, its new
// version and the release between them, sparse where the data does not
// matter (the files hold a few megabytes of real bytes):
//
//   qelpatch-bench-limit DIR
//
// DIR/old/big.pkg, DIR/new/big.pkg, DIR/release.qpd. The new package is its
// header, a 2 GiB copy, a 25 MiB payload chunk, a copy of the old package's
// last 4 KiB (reaching its last byte), a copy filling up to the index, and
// its new index.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/little_endian.h"
#include "container/container_writer.h"
#include "digest/package_index_digest.h"

namespace {
constexpr uint64_t kSize = 0xFFFFFFFFull;
constexpr uint32_t kIndexSize = 4096;
constexpr uint32_t kBlock = 1 << 20;

std::vector<uint8_t> Random(size_t size, std::mt19937& random) {
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

// A header whose word at 20 is the index offset, and an index of one record
// filling kIndexSize bytes.
std::vector<uint8_t> Header() {
  std::vector<uint8_t> header(32, 0);
  PutU32(&header[20], static_cast<uint32_t>(kSize - kIndexSize));
  return header;
}

std::vector<uint8_t> Index(std::mt19937& random) {
  std::vector<uint8_t> index = Random(kIndexSize, random);
  PutU32(&index[0], 0);
  PutU32(&index[4], 1);
  PutU32(&index[8], kIndexSize);
  PutU32(&index[12], kIndexSize - 16);
  return index;
}

bool WriteAt(int fd, uint64_t at, const std::vector<uint8_t>& bytes) {
  return pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)) ==
         static_cast<ssize_t>(bytes.size());
}

// Copies old [from, from + size) to new at `to`, leaving holes for zeros.
bool Copy(int in, int out, uint64_t from, uint64_t to, uint64_t size) {
  std::vector<uint8_t> block(kBlock);
  for (uint64_t done = 0; done < size;) {
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(kBlock, size - done));
    if (pread(in, block.data(), piece, static_cast<off_t>(from + done)) !=
        static_cast<ssize_t>(piece))
      return false;
    bool zero = true;
    for (size_t i = 0; i < piece && zero; ++i) zero = block[i] == 0;
    if (!zero && pwrite(out, block.data(), piece, static_cast<off_t>(to + done)) !=
                     static_cast<ssize_t>(piece))
      return false;
    done += piece;
  }
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qelpatch-bench-limit DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  mkdir((dir + "/old").c_str(), 0755);
  mkdir((dir + "/new").c_str(), 0755);
  std::mt19937 random(4);
  const std::string oldPath = dir + "/old/big.pkg", newPath = dir + "/new/big.pkg";
  const int oldFd = open(oldPath.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  const int newFd = open(newPath.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (oldFd < 0 || newFd < 0 || ftruncate(oldFd, kSize) != 0 || ftruncate(newFd, kSize) != 0)
    return 1;
  // Old: the header, a megabyte of data at the start and one at 3 GiB, the index.
  const uint64_t middle = uint64_t{3} << 30;
  if (!WriteAt(oldFd, 0, Header()) || !WriteAt(oldFd, 32, Random(kBlock, random)) ||
      !WriteAt(oldFd, middle, Random(kBlock, random)) ||
      !WriteAt(oldFd, kSize - kIndexSize, Index(random)))
    return 1;

  CEntryPlan entry;
  entry.name = "big.pkg";
  const std::vector<uint8_t> header = Header(), fresh = Random(25 << 20, random),
                             index = Index(random);
  const uint64_t firstCopy = uint64_t{2} << 30, tail = 4096;
  uint64_t at = 0;
  entry.chunks.push_back(CChunkPlan::PayloadView(header.data(), 32));
  WriteAt(newFd, at, header);
  at += 32;
  entry.chunks.push_back(CChunkPlan::Copy(32, static_cast<uint32_t>(firstCopy)));
  if (!Copy(oldFd, newFd, 32, at, firstCopy)) return 1;
  at += firstCopy;
  entry.chunks.push_back(
      CChunkPlan::PayloadView(fresh.data(), static_cast<uint32_t>(fresh.size())));
  WriteAt(newFd, at, fresh);
  at += fresh.size();
  entry.chunks.push_back(CChunkPlan::Copy(static_cast<uint32_t>(kSize - tail), tail));
  if (!Copy(oldFd, newFd, kSize - tail, at, tail)) return 1;
  at += tail;
  const uint64_t fill = kSize - kIndexSize - at;
  const uint64_t fillFrom = middle - (fill - kBlock);  // ends past the data at 3 GiB
  entry.chunks.push_back(
      CChunkPlan::Copy(static_cast<uint32_t>(fillFrom), static_cast<uint32_t>(fill)));
  if (!Copy(oldFd, newFd, fillFrom, at, fill)) return 1;
  at += fill;
  entry.chunks.push_back(CChunkPlan::PayloadView(index.data(), kIndexSize));
  WriteAt(newFd, at, index);
  entry.digestBefore = GetPackageIndexDigest(oldPath);
  entry.digestAfter = GetPackageIndexDigest(newPath);
  // The release with its manifest (the digests need both packages read whole)
  // and its bare container, so one patcher shows what the checks cost.
  void* oldMap = mmap(nullptr, kSize, PROT_READ, MAP_SHARED, oldFd, 0);
  void* newMap = mmap(nullptr, kSize, PROT_READ, MAP_SHARED, newFd, 0);
  if (oldMap == MAP_FAILED || newMap == MAP_FAILED) return 1;
  CContainerWriter writer;
  writer.AddEntry(entry);
  std::vector<uint8_t> container;
  std::vector<uint8_t> release;
  std::string why;
  if (!writer.Build(container, &why) ||
      !BuildReleaseFile({entry},
                        {{{static_cast<const uint8_t*>(oldMap), kSize},
                          {static_cast<const uint8_t*>(newMap), kSize}}},
                        0, release, &why)) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
  }
  close(oldFd);
  close(newFd);
  for (const auto& [name, bytes] : {std::make_pair("/release-bare.qpd", &container),
                                    std::make_pair("/release.qpd", &release)}) {
    FILE* out = std::fopen((dir + name).c_str(), "wb");
    if (!out || std::fwrite(bytes->data(), 1, bytes->size(), out) != bytes->size()) return 1;
    std::fclose(out);
  }
  std::printf("packages of %llu bytes, release %zu bytes\n", static_cast<unsigned long long>(kSize),
              release.size());
  return 0;
}
