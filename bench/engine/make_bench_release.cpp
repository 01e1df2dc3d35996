// Makes an old and a new package of SIZE MiB and a release between them:
//
//   qelpatch-bench-release DIR SIZE_MIB PIECES [PAYLOAD_PERCENT [in-order]]
//
// DIR/old/big.pkg, DIR/new/big.pkg, DIR/release.qpd. The new package is
// PIECES pieces of the old one in shuffled order, each followed by fresh
// bytes, so that PAYLOAD_PERCENT of it (default 5) travels in the release and
// the rest is copied. With PIECES 1 the one copy chunk covers the whole copied
// share. "in-order" keeps the pieces in their old order, as in recompiled
// code, where a few new bytes come every few hundred.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/little_endian.h"
#include "container/container_writer.h"
#include "digest/package_index_digest.h"

namespace {

// Header (index offset at 20), then data, then an index of `records` records.
void AppendIndex(std::vector<uint8_t>& file, uint32_t records, std::mt19937& random) {
  PutU32(&file[20], static_cast<uint32_t>(file.size()));
  size_t start = file.size();
  file.resize(start + 12);
  PutU32(&file[start + 4], records);
  for (uint32_t i = 0; i < records; ++i) {
    size_t at = file.size();
    uint32_t length = 60 + random() % 60;
    file.resize(at + 4 + length);
    PutU32(&file[at], length);
    for (uint32_t j = 0; j < length; ++j) file[at + 4 + j] = static_cast<uint8_t>(random());
  }
  PutU32(&file[start + 8], static_cast<uint32_t>(file.size() - start));
}

bool Save(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return out.good();
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(
        stderr, "usage: qelpatch-bench-release DIR SIZE_MIB PIECES [PAYLOAD_PERCENT [in-order]]\n");
    return 2;
  }
  std::string dir = argv[1];
  size_t size = std::strtoull(argv[2], nullptr, 10) << 20;
  uint32_t pieces = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  double payloadShare = (argc > 4 ? std::atof(argv[4]) : 5.0) / 100.0;
  mkdir((dir + "/old").c_str(), 0755);
  mkdir((dir + "/new").c_str(), 0755);

  std::mt19937 random(42);
  std::vector<uint8_t> oldFile(32 + size);
  for (size_t i = 32; i + 4 <= oldFile.size(); i += 4) PutU32(&oldFile[i], random());
  size_t oldDataEnd = oldFile.size();
  AppendIndex(oldFile, 2000, random);

  // New data: pieces of the old data in shuffled order with fresh bytes after each.
  size_t pieceSize = static_cast<size_t>(size * (1 - payloadShare) / pieces);
  size_t freshSize = static_cast<size_t>(size * payloadShare / pieces);
  std::vector<size_t> order(pieces);
  for (uint32_t i = 0; i < pieces; ++i) order[i] = i;
  if (argc <= 5 || std::string(argv[5]) != "in-order")
    std::shuffle(order.begin(), order.end(), random);

  std::vector<uint8_t> newFile(32, 0);
  CEntryPlan entry;
  entry.name = "big.pkg";
  for (uint32_t i = 0; i < pieces; ++i) {
    size_t from = 32 + order[i] * pieceSize;
    if (from + pieceSize > oldDataEnd) from = oldDataEnd - pieceSize;
    newFile.insert(newFile.end(), oldFile.begin() + from, oldFile.begin() + from + pieceSize);
    entry.chunks.push_back(
        CChunkPlan::Copy(static_cast<uint32_t>(from), static_cast<uint32_t>(pieceSize)));
    std::vector<uint8_t> fresh(freshSize);
    for (auto& b : fresh) b = static_cast<uint8_t>(random());
    newFile.insert(newFile.end(), fresh.begin(), fresh.end());
    entry.chunks.push_back(CChunkPlan::Payload(std::move(fresh)));
  }
  size_t indexAt = newFile.size();
  AppendIndex(newFile, 2100, random);
  entry.chunks.insert(entry.chunks.begin(), CChunkPlan::Payload(std::vector<uint8_t>(
                                                newFile.begin(), newFile.begin() + 32)));
  entry.chunks.push_back(
      CChunkPlan::Payload(std::vector<uint8_t>(newFile.begin() + indexAt, newFile.end())));

  if (!Save(dir + "/old/big.pkg", oldFile) || !Save(dir + "/new/big.pkg", newFile)) return 1;
  entry.digestBefore = GetPackageIndexDigest(dir + "/old/big.pkg");
  entry.digestAfter = GetPackageIndexDigest(dir + "/new/big.pkg");
  // The release as the builder writes it, and its bare container as older
  // releases were, so one patcher shows what the manifest's checks cost.
  CContainerWriter writer;
  writer.AddEntry(entry);
  std::vector<uint8_t> container;
  std::vector<uint8_t> release;
  std::string why;
  if (!writer.Build(container, &why) ||
      !BuildReleaseFile({entry},
                        {{{oldFile.data(), oldFile.size()}, {newFile.data(), newFile.size()}}}, 0,
                        release, &why) ||
      !Save(dir + "/release-bare.qpd", container) || !Save(dir + "/release.qpd", release)) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
  }
  std::printf("old %zu bytes, new %zu bytes, release %zu bytes, %u copy chunks\n", oldFile.size(),
              newFile.size(), container.size(), pieces);
  return 0;
}
