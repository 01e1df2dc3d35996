#include "tests/reliability/reliability_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "base/path_text.h"
#include "container/patch_container.h"
#include "container/working_names.h"
#include "tests/support/zip_maker.h"

namespace {
std::vector<Bytes> IndexRecords(uint32_t count, uint32_t seed) {
  std::vector<Bytes> records;
  for (uint32_t i = 0; i < count; ++i)
    records.push_back(RandomBytes(20 + (seed + i) % 50, seed + i));
  return records;
}

Bytes Slice(const Bytes& bytes, size_t from, size_t to) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

// Game-like text: compresses well, as real configuration and script files do.
Bytes TextLines(size_t size, uint32_t seed) {
  std::string text;
  for (uint32_t line = 0; text.size() < size; ++line)
    text +=
        "entry" + std::to_string(line) + "=" + std::to_string((line * 2654435761u) ^ seed) + "\n";
  text.resize(size);
  return TextBytes(text);
}

// Whole-file reads in one piece: the kill tests judge megabytes per run.
Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  Bytes bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

}  // namespace

CPackagePair MakeShuffledPackagePair(const std::string& name, uint32_t dataSize, uint32_t seed,
                                     CEntryPlan& entry) {
  constexpr uint32_t kPieces = 8;
  // The new data takes seven of the old pieces, in this order.
  const uint32_t order[] = {5, 2, 7, 0, 3, 6, 1};
  CPackagePair pair;
  pair.name = name;
  Bytes oldData = RandomBytes(dataSize, seed);
  pair.oldPackage = MakePackage(oldData, IndexRecords(30, seed));

  Bytes newData;
  std::vector<CChunkPlan> middle;
  for (uint32_t i = 0; i < sizeof order / sizeof order[0]; ++i) {
    Bytes fresh = RandomBytes(37 + i * 11, seed * 7 + i);
    uint32_t from = dataSize / kPieces * order[i];
    uint32_t to = order[i] == kPieces - 1 ? dataSize : from + dataSize / kPieces;
    newData.insert(newData.end(), fresh.begin(), fresh.end());
    newData.insert(newData.end(), oldData.begin() + from, oldData.begin() + to);
    middle.push_back(CChunkPlan::Payload(fresh));
    // The old package's data starts after its 32-byte header.
    middle.push_back(CChunkPlan::Copy(32 + from, to - from));
  }
  pair.newPackage = MakePackage(newData, IndexRecords(31, seed + 1000));

  const Bytes& rebuilt = pair.newPackage.bytes;
  entry = CEntryPlan();
  entry.name = name;
  entry.digestBefore = IndexDigest(pair.oldPackage);
  entry.digestAfter = IndexDigest(pair.newPackage);
  entry.chunks.push_back(CChunkPlan::Payload(Slice(rebuilt, 0, 32)));
  entry.chunks.insert(entry.chunks.end(), middle.begin(), middle.end());
  entry.chunks.push_back(
      CChunkPlan::Payload(Slice(rebuilt, pair.newPackage.indexOffset, rebuilt.size())));
  return pair;
}

CRelease MakeRepresentativeRelease(uint32_t dataSize, uint32_t seed) {
  CRelease release;
  auto addDelta = [&](const std::string& name, uint32_t packageSeed) {
    CEntryPlan entry;
    CPackagePair pair = MakeShuffledPackagePair(name, dataSize, packageSeed, entry);
    release.files.push_back({name, true, pair.oldPackage.bytes, pair.newPackage.bytes});
    release.entries.push_back(entry);
  };
  addDelta("a.pkg", seed + 1);
  Bytes whole = MakePackage(RandomBytes(dataSize / 2, seed + 2), IndexRecords(5, seed + 2)).bytes;
  release.files.push_back(
      {"whole.pkg", true, MakePackage(RandomBytes(dataSize / 3, seed + 3), {}).bytes, whole});
  release.entries.push_back(WholeEntry("whole.pkg", whole));
  Bytes setupOld = TextLines(dataSize / 10, seed + 4);
  Bytes setupNew = TextLines(dataSize / 10 + 333, seed + 5);
  release.files.push_back({"conf/setup.ini", true, setupOld, setupNew});
  release.entries.push_back(ArchiveEntry("conf/setup.ini", setupNew, true));
  addDelta("maps/b.pkg", seed + 6);
  Bytes readme = TextLines(dataSize / 20 + 1, seed + 7);
  release.files.push_back({"docs/en/readme.txt", false, {}, readme});
  release.entries.push_back(ArchiveEntry("docs/en/readme.txt", readme, false));

  // A film with ten bytes inserted: stored, its data copied from the
  // installed file around the new bytes.
  Bytes movieOld = RandomBytes(dataSize / 4, seed + 8);
  const uint32_t cut = static_cast<uint32_t>(movieOld.size() / 2);
  Bytes inserted = RandomBytes(10, seed + 9);
  Bytes movieNew = Slice(movieOld, 0, cut);
  movieNew.insert(movieNew.end(), inserted.begin(), inserted.end());
  movieNew.insert(movieNew.end(), movieOld.begin() + cut, movieOld.end());
  release.files.push_back({"movie.bik", true, movieOld, movieNew});
  release.entries.push_back(
      StoredWithCopiesEntry("movie.bik", movieNew,
                            {CChunkPlan::Copy(0, cut), CChunkPlan::Payload(inserted),
                             CChunkPlan::Copy(cut, static_cast<uint32_t>(movieOld.size()) - cut)}));

  // An entry named like the other's archive would be.
  for (const char* name : {"pair", "pair.zip"}) {
    Bytes before = TextLines(dataSize / 50 + 7, seed + 10 + static_cast<uint32_t>(*name));
    Bytes after = TextLines(dataSize / 40 + 3, seed + 20 + static_cast<uint32_t>(name[4]));
    release.files.push_back({name, true, before, after});
    release.entries.push_back(ArchiveEntry(name, after, std::string(name) == "pair"));
  }
  release.container = BuildContainer(release.entries);

  // The packages' entries rebuild exactly the new bytes.
  for (size_t i = 0; i < release.entries.size(); ++i) {
    if (release.entries[i].chunks.size() < 2 ||
        NameExtension(release.files[i].name, kCodePageUtf8) != ".pkg")
      continue;
    const CReleaseFile& file = release.files[i];
    Bytes rebuilt;
    for (const CChunkPlan& chunk : release.entries[i].chunks) {
      if (chunk.payload)
        rebuilt.insert(rebuilt.end(), chunk.bytes.begin(), chunk.bytes.end());
      else
        rebuilt.insert(rebuilt.end(), file.oldBytes.begin() + chunk.offset,
                       file.oldBytes.begin() + chunk.offset + chunk.size);
    }
    EXPECT_EQ(rebuilt, file.newBytes) << file.name;
  }
  return release;
}

void InstallOldVersion(const CRelease& release, const std::string& folder) {
  for (const CReleaseFile& file : release.files)
    if (file.installed) WriteWholeFile(folder + file.name, file.oldBytes);
}

CFolderState JudgeFolder(const CRelease& release, const std::string& folder) {
  CFolderState state;
  std::set<std::string> known;
  for (const CReleaseFile& file : release.files) {
    known.insert(file.name);
    if (!PathExists(folder + file.name)) {
      if (file.installed) state.problems.push_back(file.name + " is missing");
      continue;
    }
    Bytes now = ReadFile(folder + file.name);
    if (now == file.newBytes)
      ++state.newCount;
    else if (!file.installed || now != file.oldBytes)
      state.problems.push_back(file.name + " is neither old nor new (" +
                               std::to_string(now.size()) + " bytes)");
  }
  for (const std::string& name : ListFiles(folder)) {
    if (IsWorkingName(name, kCodePageUtf8))
      state.workingFiles.push_back(name);
    else if (!known.count(name))
      state.problems.push_back("stray file " + name);
  }
  return state;
}
