// libFuzzer target: the input is a patch data container. It is validated; a
// container that passes is walked entry by entry with the readers' own
// record functions (every record and payload chunk inside the range, the
// skip rule landing on the next record, the last entry ending at the size),
// and then applied by the whole worker to a small game folder (the one that
// make_patch_data_corpus.py builds its seed releases for). Afterwards no
// working file may be left and exactly one result is posted.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/little_endian.h"
#include "base/path_text.h"
#include "container/patch_container.h"
#include "container/working_names.h"
#include "engine/patch_worker.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {
const uint8_t* g_data = nullptr;
uint32_t g_size = 0;
std::string g_folder;

// The game folder from the stored path, Yes to every question: the run goes
// on as far as it can.
struct CFuzzHost : CPatchHost {
  bool NamedInstallPath(CInstallPathLocation&) override { return false; }
  uint16_t SystemDefaultLanguage() override { return 0x0409; }
  bool ReadInstallPath(const CInstallPathLocation&, std::string& path) override {
    path = g_folder + "launcher.exe";
    return true;
  }
  std::string ChooseFolder(const char*) override { return std::string(); }
  bool AskYesNo(const char*, const char*) override { return true; }
  void Diagnostic(const std::string&) override {}
  void PostResult(const CPatchOutcome&) override { ++results; }
  int results = 0;
};

// The installed game the seed releases patch. make_patch_data_corpus.py
// makes the same bytes.
std::vector<uint8_t> GamePackage(uint32_t seed, uint32_t dataSize, uint32_t recordCount) {
  std::vector<uint8_t> bytes(32, 0);
  bytes[0] = 'Q';
  bytes[1] = 'P';
  bytes[2] = 'K';
  for (uint32_t i = 0; i < dataSize; ++i) bytes.push_back(static_cast<uint8_t>(i * 7 + seed * 13));
  const uint32_t indexOffset = static_cast<uint32_t>(bytes.size());
  PutU32(&bytes[20], indexOffset);
  AppendU32(bytes, 0);
  AppendU32(bytes, recordCount);
  AppendU32(bytes, 0);
  for (uint32_t j = 0; j < recordCount; ++j) {
    AppendU32(bytes, 5 + j * 3);
    for (uint32_t k = 0; k < 5 + j * 3; ++k)
      bytes.push_back(static_cast<uint8_t>(j * 31 + seed + k));
  }
  const uint32_t indexSize = static_cast<uint32_t>(bytes.size()) - indexOffset;
  PutU32(&bytes[indexOffset + 8], indexSize);
  return bytes;
}

void WriteGameFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::create_directories(fs::path(g_folder + name).parent_path());
  std::ofstream out(g_folder + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void WriteGameFolder() {
  WriteGameFile("a.pkg", GamePackage(1, 4096, 3));
  WriteGameFile("maps/b.pkg", GamePackage(2, 3000, 4));
  std::string setup;
  for (int i = 0; i < 20; ++i) setup += "volume=3\n";
  WriteGameFile("conf/setup.ini", std::vector<uint8_t>(setup.begin(), setup.end()));
}

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "container fuzzer: %s\n", what);
  std::abort();
}

// The walk every reader makes, on a container that passed validation.
void WalkValidated(const uint8_t* data, uint32_t size) {
  CByteCursor records(data, size);
  CByteCursor payload(data, size);
  const uint32_t count = records.ReadU32();
  for (uint32_t e = 0; e < count; ++e) {
    CEntryRecord record;
    Check(ReadEntryRecord(records, record), "entry record outside the container");
    const uint32_t table = records.Tell();
    CChunkRecord first;
    CByteCursor skipper(data, size);
    skipper.Seek(table);
    Check(SkipEntry(skipper, record, first), "skip rule outside the container");
    Check(first.IsPayload(), "first chunk is not a payload chunk");
    for (uint32_t c = 0; c < record.chunkCount; ++c) {
      CChunkRecord chunk;
      Check(ReadChunkRecord(records, chunk), "chunk record outside the container");
      if (!chunk.IsPayload()) continue;
      Check(payload.Seek(chunk.offset) && payload.Take(chunk.size) != nullptr,
            "payload chunk outside the container");
    }
    Check(payload.Tell() == skipper.Tell(), "skip rule and payload walk disagree");
    records.Seek(payload.Tell());
  }
  Check(!records.Failed() && records.Tell() == size, "walk does not end at the container's end");
}

void ApplyToGameFolder() {
  std::error_code error;
  fs::remove_all(g_folder, error);
  WriteGameFolder();
  CFuzzHost host;
  CPatchWorker worker(host, CReleaseBytes{g_data, g_size});
  CPatchWorker::ThreadMain(&worker);
  Check(host.results == 1, "not exactly one result posted");
  for (const auto& item : fs::recursive_directory_iterator(g_folder)) {
    if (!item.is_regular_file()) continue;
    std::string name = fs::relative(item.path(), g_folder).generic_string();
    Check(!IsWorkingName(name, kCodePageUtf8), "working file left after the run");
  }
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // One folder per process, so parallel jobs do not meet. The diagnostics
  // lines of the comparison would only slow the fuzzer down.
  g_folder =
      (fs::temp_directory_path() / ("qelpatch-fuzz-game-" + std::to_string(::getpid()))).string() +
      "/";
  std::freopen("/dev/null", "w", stdout);
  std::atexit([] {
    std::error_code error;
    fs::remove_all(g_folder, error);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  g_data = data;
  g_size = static_cast<uint32_t>(size);
  if (!ValidatePatchContainer(g_data, g_size, platform::AnsiCodePage(), nullptr)) return 0;
  WalkValidated(g_data, g_size);
  ApplyToGameFolder();
  return 0;
}
