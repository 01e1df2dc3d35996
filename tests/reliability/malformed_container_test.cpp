// Whole runs of the worker on containers changed one field at a time, cut at
// every length, and mutated at random. A container that fails validation is
// refused before any file is touched; one that stays valid is applied, and
// then every file is old, new, or exactly what the changed container
// describes and verifies, never partial, with no working file left.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>

#include "base/byte_cursor.h"
#include "base/path_text.h"
#include "container/patch_container.h"
#include "container/working_names.h"
#include "tests/reliability/container_mutations_support.h"
#include "tests/reliability/reliability_support.h"
#include "tests/support/fault_hook.h"

namespace {
using platform::FileOp;

// The index digest of a package image held in memory, for well-formed
// packages; "-" (never a digest) when the index runs past the end.
std::string IndexDigestOf(const Bytes& package) {
  if (package.size() < 32) return "-";
  CByteCursor header(package.data() + 20, 4);
  uint32_t indexOffset = header.ReadU32();
  if (indexOffset > package.size()) return "-";
  CByteCursor index(package.data() + indexOffset,
                    static_cast<uint32_t>(package.size() - indexOffset));
  index.ReadU32();
  uint32_t count = index.ReadU32();
  index.ReadU32();
  for (uint32_t i = 0; i < count && !index.Failed(); ++i) index.Skip(index.ReadU32());
  if (index.Failed()) return "-";
  return Md5Text(package.data() + indexOffset, index.Tell());
}

// The file's bytes, read through the platform layer with the name's own
// bytes (as the patcher opens it); false when no regular file is there.
bool ReadInstalled(const std::string& path, Bytes& bytes) {
  platform::CFile file;
  if (!file.OpenRead(path)) return false;
  int64_t size = file.Size();
  if (size < 0) return false;
  bytes.resize(static_cast<size_t>(size));
  return size == 0 || file.ReadAt(0, bytes.data(), static_cast<uint32_t>(size)) == size;
}

// Whether the folder's file system tells letter cases apart.
bool CaseSensitive(const CTempFolder& folder) {
  WriteWholeFile(folder / "case", TextBytes("x"));
  return !PathExists(folder / "CASE");
}

std::string Folded(std::string name, bool caseSensitive) {
  if (!caseSensitive)
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// One file that the release or the changed container names, and what it may
// hold after the run.
struct CModelFile {
  std::string path;
  bool named = false;    // the container has an entry for it
  bool existed = false;  // it stood there before the run
  Bytes before;
  std::vector<Bytes> contents;
};

// The files a valid (changed) container may leave: each as it was, at the
// release's new version, or, for a ".pkg" entry, the bytes its chunks make
// where the entry's own digest check (two or more chunks) passes. Names that
// differ only in case are one file where the file system ignores case.
std::map<std::string, CModelFile> Model(const CRelease& release, const Bytes& container,
                                        const std::string& folder, bool caseSensitive) {
  std::map<std::string, CModelFile> model;
  auto at = [&](const std::string& name) -> CModelFile& {
    auto found = model.find(Folded(name, caseSensitive));
    if (found != model.end()) return found->second;
    CModelFile& m = model[Folded(name, caseSensitive)];
    m.path = folder + name;
    m.existed = ReadInstalled(m.path, m.before);
    if (m.existed) m.contents.push_back(m.before);
    return m;
  };
  for (const CReleaseFile& file : release.files) at(file.name).contents.push_back(file.newBytes);
  CByteCursor cursor(container.data(), static_cast<uint32_t>(container.size()));
  const uint32_t count = cursor.ReadU32();
  for (uint32_t e = 0; e < count; ++e) {
    CEntryRecord record;
    ReadEntryRecord(cursor, record);
    CModelFile& m = at(record.name);
    m.named = true;
    Bytes rebuilt;
    bool possible = true;
    uint32_t next = cursor.Tell();
    for (uint32_t c = 0; c < record.chunkCount; ++c) {
      CChunkRecord chunk;
      ReadChunkRecord(cursor, chunk);
      const Bytes& from = chunk.IsPayload() ? container : m.before;
      uint64_t end = uint64_t{chunk.offset} + chunk.size;
      if ((!chunk.IsPayload() && !m.existed) || end > from.size()) {
        possible = false;
        continue;
      }
      rebuilt.insert(rebuilt.end(), from.begin() + chunk.offset, from.begin() + end);
      if (chunk.IsPayload()) next = static_cast<uint32_t>(end);
    }
    cursor.Seek(next);
    if (NameExtension(record.name, platform::AnsiCodePage()) != ".pkg" || !possible) continue;
    if (record.chunkCount > 1 && IndexDigestOf(rebuilt) != record.digestAfter) continue;
    m.contents.push_back(rebuilt);
  }
  return model;
}

class MalformedContainer : public testing::Test {
 protected:
  void SetUp() override {
    ResetTestHost();
    release_ = MakeRepresentativeRelease(1600, 90);
    InstallOldVersion(release_, refusedFolder_.Path());
    CTempFolder probe;
    caseSensitive_ = CaseSensitive(probe);
  }
  void TearDown() override {
    CFolderState state = JudgeFolder(release_, refusedFolder_.Path());
    EXPECT_TRUE(state.problems.empty() && state.workingFiles.empty() && state.newCount == 0)
        << "the folder of the refused containers changed";
  }

  // Refused: failure, and not one file operation (each one of the core asks
  // the hook first). The shared folder is judged once at the end as well.
  void CheckRefused(const CMutant& mutant) {
    ++refused_;
    uint64_t operations = 0;
    CScopedFaultHook hook([&](FileOp, const std::string&) {
      ++operations;
      return platform::Fault::None;
    });
    // Straight to the worker: a refused container prints nothing to capture.
    CTestHost& user = TestHost();
    user.hasSetting = true;
    user.setting = refusedFolder_ / "launcher.exe";
    user.results.clear();
    CPatchWorker worker(user, BytesOf(mutant.container));
    CPatchWorker::ThreadMain(&worker);
    if (user.results == std::vector<uintptr_t>{0} && operations == 0) return;
    ADD_FAILURE() << mutant.what << ": refused container, yet " << operations
                  << " file operations and results " << user.results.size();
    ++failures_;
  }

  // Still valid: applied on a fresh folder, and judged by the model.
  void CheckApplied(const CMutant& mutant) {
    ++applied_;
    CTempFolder folder;
    InstallOldVersion(release_, folder.Path());
    std::map<std::string, CModelFile> model =
        Model(release_, mutant.container, folder.Path(), caseSensitive_);
    CRunOutcome run = RunWorker(mutant.container, folder.Path());

    std::string problems;
    bool everyEntryChanged = true;
    size_t files = 0;
    for (const auto& item : model) {
      const CModelFile& m = item.second;
      Bytes now;
      if (!ReadInstalled(m.path, now)) {
        if (m.existed) problems += item.first + " missing; ";
        if (m.named) everyEntryChanged = false;
        continue;
      }
      ++files;
      if (std::find(m.contents.begin(), m.contents.end(), now) == m.contents.end())
        problems += item.first + " holds " + std::to_string(now.size()) + " unexpected bytes; ";
      if (m.named && m.existed && now == m.before) everyEntryChanged = false;
    }
    // Every file below the folder is one of the model's: no working file, no
    // stray (counted, since names are judged through the patcher's own bytes).
    size_t found = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder.Path())) {
      if (!item.is_regular_file()) continue;
      ++found;
      if (IsWorkingName(item.path().filename().string(), kCodePageUtf8))
        problems += "working file " + item.path().filename().string() + " left; ";
    }
    if (found != files)
      problems += std::to_string(found) + " files where " + std::to_string(files) + " belong; ";
    if (run.results.size() != 1) problems += "no single result; ";
    // Success only when every file the container names was installed.
    if (run.results == std::vector<uintptr_t>{1} && !everyEntryChanged)
      problems += "success reported with a file not installed; ";
    if (problems.empty()) return;
    ADD_FAILURE() << mutant.what << ": " << problems;
    ++failures_;
  }

  void Check(const CMutant& mutant) {
    if (failures_ >= 10) return;
    const uint32_t size = static_cast<uint32_t>(mutant.container.size());
    if (ValidatePatchContainer(mutant.container.data(), size, platform::AnsiCodePage(), nullptr))
      CheckApplied(mutant);
    else
      CheckRefused(mutant);
  }

  void Figures(const char* what, size_t count) {
    std::printf(
        "[ figures  ] %zu %s: %d refused before any file operation, %d valid and "
        "applied\n",
        count, what, refused_, applied_);
  }

  CRelease release_;
  CTempFolder refusedFolder_;
  bool caseSensitive_ = true;
  int refused_ = 0;
  int applied_ = 0;
  int failures_ = 0;
};
}  // namespace

TEST_F(MalformedContainer, EverySingleFieldChangeIsRefusedOrAppliedWhole) {
  std::vector<CMutant> mutants = FieldMutants(release_.container);
  for (const CMutant& mutant : mutants) Check(mutant);
  Figures("single-field changes", mutants.size());
}

TEST_F(MalformedContainer, EveryTruncationIsRefusedBeforeAnyFileIsTouched) {
  const uint32_t size = static_cast<uint32_t>(release_.container.size());
  for (uint32_t length = 0; length < size; ++length) Check(Truncated(release_.container, length));
  EXPECT_EQ(applied_, 0);
  Figures("truncations", size);
}

TEST_F(MalformedContainer, RandomMutationsAreRefusedOrAppliedWhole) {
  std::mt19937 random(20261208);
  for (int i = 0; i < QELPATCH_RANDOM_MUTANTS; ++i) Check(RandomMutant(release_.container, random));
  Figures("random mutations", QELPATCH_RANDOM_MUTANTS);
}
