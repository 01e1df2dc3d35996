#include "tests/support/release_runs.h"

#include <gtest/gtest.h>

#include "base/path_text.h"
#include "container/stream_splitter.h"
#include "container/working_names.h"
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
  // New data: old pieces moved around with fresh bytes before each; the
  // recipe copies the pieces from the old package (data starts at 32).
  Bytes newData;
  std::vector<CChunkPlan> middle;
  const size_t pieces[][2] = {{12000, 3000}, {100, 5000}, {16000, 4000}, {6000, 1000}};
  for (const auto& piece : pieces) {
    Bytes fresh = RandomBytes(37, seed * 7 + static_cast<uint32_t>(piece[0]));
    newData.insert(newData.end(), fresh.begin(), fresh.end());
    newData.insert(newData.end(), oldData.begin() + piece[0],
                   oldData.begin() + piece[0] + piece[1]);
    middle.push_back(CChunkPlan::Payload(fresh));
    middle.push_back(
        CChunkPlan::Copy(static_cast<uint32_t>(32 + piece[0]), static_cast<uint32_t>(piece[1])));
  }
  pair.newPackage = MakePackage(newData, Records(31, seed + 1000));
  const Bytes& newBytes = pair.newPackage.bytes;
  pair.chunks.push_back(CChunkPlan::Payload(Bytes(newBytes.begin(), newBytes.begin() + 32)));
  pair.chunks.insert(pair.chunks.end(), middle.begin(), middle.end());
  pair.chunks.push_back(
      CChunkPlan::Payload(Bytes(newBytes.begin() + pair.newPackage.indexOffset, newBytes.end())));
  return pair;
}

CEntryPlan DeltaEntry(const CPackagePair& pair) {
  CEntryPlan entry;
  entry.name = pair.name;
  entry.digestBefore = IndexDigest(pair.oldPackage);
  entry.digestAfter = IndexDigest(pair.newPackage);
  entry.chunks = pair.chunks;
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

Bytes BuildRelease(const std::vector<CEntryPlan>& entries, const std::vector<CFileVersions>& files,
                   uint32_t codePage) {
  std::vector<CEntryFiles> pairs;
  for (const CFileVersions& file : files)
    pairs.push_back(
        {file.before ? CFileBytes{file.before->data(), file.before->size()} : CFileBytes{},
         CFileBytes{file.after.data(), file.after.size()}});
  Bytes release;
  std::string why;
  EXPECT_TRUE(BuildReleaseFile(entries, pairs, codePage, release, &why, CWriterOptions{true}))
      << why;
  return release;
}

Bytes CompressedRelease(const Bytes& release) {
  CReleaseView view;
  Bytes compressed;
  std::string why;
  EXPECT_TRUE(
      ReadReleaseFile(release.data(), release.size(), view, &why) &&
      CompressedReleaseFile(view.container, view.containerSize, view.manifest, compressed, &why))
      << why;
  return compressed;
}

Bytes StreamsRelease(const Bytes& release, const std::vector<CFileVersions>& files) {
  CReleaseView view;
  CPatchContainer container;
  std::vector<CFileBytes> olds;
  for (const CFileVersions& file : files)
    olds.push_back(file.before ? CFileBytes{file.before->data(), file.before->size()}
                               : CFileBytes{});
  Bytes carried;
  std::string why;
  EXPECT_TRUE(
      ReadReleaseFile(release.data(), release.size(), view, &why) &&
      ValidatePatchContainer(view.container, view.containerSize, kCodePageUtf8, &why, &container) &&
      StreamCarriedReleaseFile(container, olds, view.manifest, carried, &why))
      << why;
  return carried;
}

CRunOutcome RunWorker(const Bytes& container, const std::string& folder) {
  CTestHost& user = TestHost();
  user.hasSetting = true;
  user.setting = folder + "launcher.exe";
  user.results.clear();
  user.questionCaptions.clear();
  CPatchWorker worker(user, BytesOf(container));
  testing::internal::CaptureStdout();
  CPatchWorker::ThreadMain(&worker);
  CRunOutcome outcome;
  outcome.out = testing::internal::GetCapturedStdout();
  outcome.results = user.results;
  outcome.questions = user.questionCaptions;
  outcome.status = worker.Progress().GetStatusText();
  outcome.detail = user.outcome.detail;
  return outcome;
}

bool NoWorkingFilesLeft(const std::string& folder) {
  for (const std::string& name : ListFiles(folder))
    if (IsWorkingName(name, kCodePageUtf8)) return false;
  return true;
}
