#include "tests/support/release_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/test_patch_data.h"
#include "tests/support/zip_maker.h"

namespace {
std::vector<Bytes> Records(uint32_t count, uint32_t seed) {
  std::vector<Bytes> records;
  for (uint32_t i = 0; i < count; ++i)
    records.push_back(RandomBytes(20 + (seed + i) % 50, seed + i));
  return records;
}
}  // namespace

CPackagePair MakePackagePair(const std::string& name, uint32_t seed) {
  CPackagePair pair;
  pair.name = name;
  Bytes oldData = RandomBytes(20000, seed);
  pair.oldPackage = MakePackage(oldData, Records(30, seed));
  // New data: old pieces moved around with fresh bytes between them.
  Bytes newData;
  const size_t pieces[][2] = {{12000, 3000}, {100, 5000}, {16000, 4000}, {6000, 1000}};
  for (const auto& piece : pieces) {
    Bytes fresh = RandomBytes(37, seed * 7 + static_cast<uint32_t>(piece[0]));
    newData.insert(newData.end(), fresh.begin(), fresh.end());
    newData.insert(newData.end(), oldData.begin() + piece[0],
                   oldData.begin() + piece[0] + piece[1]);
  }
  pair.newPackage = MakePackage(newData, Records(31, seed + 1000));
  return pair;
}

CEntryPlan DeltaEntry(const CPackagePair& pair) {
  // Naive but exact: copy every 64-byte run of NEW that stands at the same
  // place in OLD's data area, found by searching OLD.
  const Bytes& oldBytes = pair.oldPackage.bytes;
  const Bytes& newBytes = pair.newPackage.bytes;
  CEntryPlan entry;
  entry.name = pair.name;
  entry.digestBefore = IndexDigest(pair.oldPackage);
  entry.digestAfter = IndexDigest(pair.newPackage);
  entry.chunks.push_back(CChunkPlan::Payload(Bytes(newBytes.begin(), newBytes.begin() + 32)));
  Bytes pending;
  auto flush = [&] {
    if (!pending.empty()) entry.chunks.push_back(CChunkPlan::Payload(pending));
    pending.clear();
  };
  size_t at = 32;
  while (at < newBytes.size()) {
    size_t length = std::min<size_t>(64, newBytes.size() - at);
    auto found = length == 64 ? std::search(oldBytes.begin() + 32, oldBytes.end(),
                                            newBytes.begin() + at, newBytes.begin() + at + 64)
                              : oldBytes.end();
    if (found == oldBytes.end()) {
      pending.push_back(newBytes[at++]);
      continue;
    }
    size_t from = static_cast<size_t>(found - oldBytes.begin());
    size_t run = 64;
    while (at + run < newBytes.size() && from + run < oldBytes.size() &&
           newBytes[at + run] == oldBytes[from + run])
      ++run;
    flush();
    entry.chunks.push_back(
        CChunkPlan::Copy(static_cast<uint32_t>(from), static_cast<uint32_t>(run)));
    at += run;
  }
  flush();
  return entry;
}

CEntryPlan WholeEntry(const std::string& name, const Bytes& content) {
  CEntryPlan entry;
  entry.name = name;
  entry.chunks.push_back(CChunkPlan::Payload(content));
  return entry;
}

CEntryPlan ArchiveEntry(const std::string& name, const Bytes& content, bool deflate) {
  return WholeEntry(name, MakeZip(name, content, deflate));
}

std::string IndexDigest(const CPackageImage& package) {
  return Md5Text(package.bytes.data() + package.indexOffset, package.indexSize);
}

Bytes BuildContainer(const std::vector<CEntryPlan>& entries) {
  CContainerWriter writer(CWriterOptions{true});
  for (const auto& entry : entries) writer.AddEntry(entry);
  Bytes out;
  std::string why;
  EXPECT_TRUE(writer.Build(out, &why)) << why;
  return out;
}

CRunOutcome RunWorker(const Bytes& container, const std::string& folder) {
  CTestUser& user = TestUser();
  user.hasSetting = true;
  user.setting = folder + "launcher.exe";
  user.results.clear();
  user.questionCaptions.clear();
  SetTestPatchData(&container);
  CPatchWorker worker;
  testing::internal::CaptureStdout();
  CPatchWorker::ThreadMain(&worker);
  CRunOutcome outcome;
  outcome.out = testing::internal::GetCapturedStdout();
  outcome.results = user.results;
  outcome.questions = user.questionCaptions;
  SetTestPatchData(nullptr);
  return outcome;
}

bool NoWorkingFilesLeft(const std::string& folder) {
  for (const std::string& name : ListFiles(folder)) {
    if (name.find(".temp_") != std::string::npos) return false;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".zip") == 0) return false;
  }
  return true;
}
