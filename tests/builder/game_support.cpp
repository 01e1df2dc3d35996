#include "tests/builder/game_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/little_endian.h"
#include "base/path_text.h"
#include "container/release_loader.h"
#include "container/release_manifest.h"
#include "tests/support/temp_folder.h"

namespace {
class CDice {
 public:
  explicit CDice(uint32_t seed) : state_(seed * 2654435761u + 7) {}
  uint32_t Below(uint32_t bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) % bound;
  }

 private:
  uint32_t state_;
};

void Append(Bytes& out, const Bytes& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}
}  // namespace

CPackageVersions MakePackageVersions(uint32_t seed, size_t dataSize) {
  CDice dice(seed);
  const Bytes oldData = RandomBytes(dataSize, seed);
  std::vector<std::pair<size_t, size_t>> blocks;  // offset, size
  for (size_t at = 0; at < dataSize;) {
    size_t size = std::min<size_t>(dataSize - at, 500 + dice.Below(20000));
    blocks.push_back({at, size});
    at += size;
  }
  std::vector<Bytes> oldRecords;
  for (size_t i = 0; i < blocks.size(); ++i) {
    Bytes record = TextBytes("data/file" + std::to_string(i) + ".bin");
    Append(record, RandomBytes(12, seed * 100 + static_cast<uint32_t>(i)));
    oldRecords.push_back(record);
  }

  std::vector<size_t> order(blocks.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  for (size_t i = order.size(); i > 1; --i)
    std::swap(order[i - 1], order[dice.Below(static_cast<uint32_t>(i))]);
  Bytes newData;
  std::vector<Bytes> newRecords;
  for (size_t k = 0; k < order.size(); ++k) {
    const auto [at, size] = blocks[order[k]];
    Bytes block(oldData.begin() + at, oldData.begin() + at + size);
    Bytes record = oldRecords[order[k]];
    switch (dice.Below(6)) {
      case 0:  // replaced by new content
        block = RandomBytes(300 + dice.Below(5000), seed * 1000 + static_cast<uint32_t>(k));
        record.back() ^= 1;
        break;
      case 1:  // a few bytes edited
        for (int e = 0; e < 3; ++e) block[dice.Below(static_cast<uint32_t>(block.size()))] ^= 0xFF;
        record.back() ^= 2;
        break;
      default:
        break;
    }
    Append(newData, block);
    newRecords.push_back(record);
  }
  Append(newData, RandomBytes(3000, seed + 77));  // appended
  newRecords.push_back(TextBytes("data/appended.bin"));
  return {MakePackage(oldData, oldRecords).bytes, MakePackage(newData, newRecords).bytes};
}

Bytes TextOfSize(size_t size, uint32_t seed) {
  static const char* kWords[] = {"gate", "north", "camp", "dawn", "guard", "horn", "quest", "gold"};
  CDice dice(seed);
  std::string text;
  while (text.size() < size) {
    text += kWords[dice.Below(8)];
    text += dice.Below(10) == 0 ? "\n" : " ";
  }
  return TextBytes(text);
}

void WriteSparsePackage(const std::string& path, uint64_t size) {
  const uint64_t indexOffset = size - 12;
  Bytes header(32, 0);
  PutU32(&header[20], static_cast<uint32_t>(indexOffset));
  const Bytes index = {0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0, 0};
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(header.data()), 32);
  out.seekp(static_cast<std::streamoff>(indexOffset));
  out.write(reinterpret_cast<const char*>(index.data()), 12);
}

std::vector<std::pair<std::string, Bytes>> FolderContents(const std::string& folder) {
  std::vector<std::pair<std::string, Bytes>> contents;
  for (const std::string& name : ListFiles(folder))
    contents.push_back({name, ReadWholeFile(folder + "/" + name)});
  return contents;
}

Bytes ContainerOf(const Bytes& release) {
  CLoadedRelease loaded;
  CLoadRefusal refusal;
  std::string why;
  if (!LoadRelease(release.data(), release.size(), CLoadRules{kCodePageUtf8, 0}, loaded, refusal,
                   &why)) {
    ADD_FAILURE() << why;
    return {};
  }
  const CPatchContainer& tables = loaded.container;
  if (!tables.tablesOnly) return Bytes(tables.data, tables.data + tables.size);
  // Carried as streams: each entry's tables, then its payload area as it
  // travels.
  Bytes container(tables.data, tables.data + 4);
  for (const CContainerEntry& entry : tables.entries) {
    EXPECT_TRUE(loaded.HoldPayload(entry, refusal, &why)) << why;
    container.insert(container.end(), tables.data + entry.recordOffset,
                     tables.data + entry.tableOffset + entry.chunkCount * kChunkRecordSize);
    container.insert(container.end(), entry.payload, entry.payload + entry.payloadSize);
  }
  return container;
}
