// Every state a power cut can leave on disk during a run of the reliability
// release, under an ordered and a weak model of the file system
// (crash_disk_model.h): the run's file operations are recorded, and for a
// crash after each of them every state the model allows is written to a
// fresh folder. In each, every file is its old or its new version, never
// missing, partial or mixed; a following run, unasked, completes the patch
// and leaves no working file. Once the run has completed, every file is new
// whatever the weak model lets a power cut take.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "platform/file_faults.h"
#include "tests/reliability/crash_disk_model.h"
#include "tests/reliability/reliability_support.h"

namespace {
const uint32_t kDataSize = 20000;
const int kReportedViolations = 10;

void Record(const platform::CFileEvent& event, void* context) {
  static_cast<std::vector<platform::CFileEvent>*>(context)->push_back(event);
}

void WriteState(const CDiskState& state, const std::string& folder) {
  for (const std::string& name : state.folders)  // sorted: parents first
    ASSERT_TRUE(platform::CreateFolder(folder + name)) << name;
  for (const auto& file : state.files) WriteWholeFile(folder + file.first, file.second);
}

std::string Text(const CDiskState& state) {
  const auto file = state.files.find("a.txt");
  return file == state.files.end() ? "missing"
                                   : std::string(file->second.begin(), file->second.end());
}

std::string Describe(const CDiskOp& op) {
  static const char* const kNames[] = {"create", "truncate", "write", "flush",
                                       "rename", "delete",   "mkdir", "sync folder"};
  std::string text = std::string(kNames[op.kind]) + " " + op.path;
  if (op.kind == CDiskOp::kRename) text = "rename " + op.from + " -> " + op.path;
  if (op.kind == CDiskOp::kWrite)
    text += " at " + std::to_string(op.position) + " (" + std::to_string(op.bytes.size()) + ")";
  return text;
}

class CrashStates : public testing::Test {
 protected:
  void SetUp() override {
    ResetTestHost();
    release_ = MakeRepresentativeRelease(kDataSize, 43);
  }

  CDiskState OldVersion() const {
    CDiskState old;
    for (const CReleaseFile& file : release_.files) {
      if (!file.installed) continue;
      old.files[file.name] = file.oldBytes;
      for (size_t slash = file.name.find('/'); slash != std::string::npos;
           slash = file.name.find('/', slash + 1))
        old.folders.insert(file.name.substr(0, slash));
    }
    return old;
  }

  // A recorded run that completes the patch from the state given.
  void RecordRun(const CDiskState& start) {
    CTempFolder folder;
    WriteState(start, folder.Path());
    std::vector<platform::CFileEvent> events;
    platform::SetFileRecordHook(&Record, &events);
    CRunOutcome run = RunWorker(release_.container, folder.Path());
    platform::SetFileRecordHook(nullptr, nullptr);
    ASSERT_EQ(run.results, std::vector<uintptr_t>{1});
    ASSERT_TRUE(JudgeFolder(release_, folder.Path()).AllNew(release_));

    log_.reset(new CCrashLog(start, folder.Path()));
    for (const platform::CFileEvent& event : events) {
      std::string why;
      ASSERT_TRUE(log_->Add(event, why)) << why;
    }
    recorded_ = events.size();
  }

  // Judges one state; the problems found, empty when it holds.
  std::vector<std::string> Judge(const CDiskState& disk) {
    CTempFolder folder;
    WriteState(disk, folder.Path());
    std::vector<std::string> problems = JudgeFolder(release_, folder.Path()).problems;
    CRunOutcome run = RunWorker(release_.container, folder.Path());
    CFolderState after = JudgeFolder(release_, folder.Path());
    if (run.results != std::vector<uintptr_t>{1})
      problems.push_back("the next run ended \"" + run.status + "\"");
    if (!run.questions.empty()) problems.push_back("the next run asked " + run.questions[0]);
    if (!after.AllNew(release_))
      problems.push_back("after the next run " + std::to_string(after.newCount) + " of " +
                         std::to_string(release_.files.size()) + " files are new");
    for (const std::string& name : after.workingFiles)
      problems.push_back("the next run left " + name);
    for (const std::string& problem : after.problems)
      problems.push_back("after the next run: " + problem);
    return problems;
  }

  // Explores every crash point under one model; the states it allowed.
  template <typename Crashes>
  size_t Explore(const char* model, Crashes crashes) {
    size_t allowed = 0;
    for (size_t n = 0; n <= log_->Ops().size(); ++n) {
      for (const CPersisted& persisted : crashes(n)) {
        ++allowed;
        CDiskState disk = log_->StateWith(persisted);
        if (!judged_.insert(disk.Key()).second) continue;
        for (const std::string& problem : Judge(disk)) {
          if (++violations_ > kReportedViolations) continue;
          std::string lost;
          for (size_t i = 0; i < n; ++i)
            if (!persisted[i]) lost += "\n  lost: " + Describe(log_->Ops()[i]);
          ADD_FAILURE() << model << " model, crash after operation " << n
                        << (n ? " (" + Describe(log_->Ops()[n - 1]) + ")" : std::string()) << ": "
                        << problem << lost;
        }
      }
    }
    return allowed;
  }

  // The states a power cut leaves once the run has completed: all new.
  void ExpectDurableOnceCompleted() {
    std::mt19937 random(16);
    for (const CPersisted& persisted : log_->WeakCrashes(log_->Ops().size(), random)) {
      CTempFolder folder;
      WriteState(log_->StateWith(persisted), folder.Path());
      const CFolderState state = JudgeFolder(release_, folder.Path());
      if (state.AllNew(release_)) continue;
      std::string lost;
      for (size_t i = 0; i < persisted.size(); ++i)
        if (!persisted[i]) lost += "\n  lost: " + Describe(log_->Ops()[i]);
      ADD_FAILURE() << "after the run completed, " << state.newCount << " of "
                    << release_.files.size() << " files are new" << lost;
      return;
    }
  }

  // Explores the recorded run under both models and prints the figures.
  void ExploreRun(const char* run) {
    std::map<int, int> kinds;
    for (const CDiskOp& op : log_->Ops()) ++kinds[op.kind];
    const size_t before = judged_.size();
    const size_t ordered = Explore("ordered", [this](size_t n) { return log_->OrderedCrashes(n); });
    const size_t orderedDistinct = judged_.size() - before;
    std::mt19937 random(15);
    const size_t weak =
        Explore("weak", [this, &random](size_t n) { return log_->WeakCrashes(n, random); });
    std::printf(
        "[ figures  ] %s: %zu events recorded, %zu change the disk (create %d, truncate %d, "
        "write %d, flush %d, rename %d, delete %d, mkdir %d, sync folder %d); %zu crash points; "
        "ordered model %zu states (%zu distinct), weak model %zu states (%zu more distinct); "
        "%d violations so far\n",
        run, recorded_, log_->Ops().size(), kinds[CDiskOp::kLink], kinds[CDiskOp::kTruncate],
        kinds[CDiskOp::kWrite], kinds[CDiskOp::kFlush], kinds[CDiskOp::kRename],
        kinds[CDiskOp::kUnlink], kinds[CDiskOp::kMakeFolder], kinds[CDiskOp::kSyncFolder],
        log_->Ops().size() + 1, ordered, orderedDistinct, weak,
        judged_.size() - before - orderedDistinct, violations_);
    ExpectDurableOnceCompleted();
  }

  CRelease release_;
  std::unique_ptr<CCrashLog> log_;
  size_t recorded_ = 0;
  std::set<std::string> judged_;
  int violations_ = 0;
};
}  // namespace

TEST_F(CrashStates, EveryStateACrashCanLeaveIsOldOrNewAndTheNextRunCompletes) {
  RecordRun(OldVersion());
  if (HasFatalFailure()) return;
  ExploreRun("run from the old version");
  // The run after a crash half-way, with the first run's working files on
  // disk, has crash states of its own.
  CPersisted halfWay(log_->Ops().size() / 2, true);
  const CDiskState interrupted = log_->StateWith(halfWay);
  RecordRun(interrupted);
  if (HasFatalFailure()) return;
  ExploreRun("run after a crash half-way");
}

// The explorer itself: a commit that renames before it flushes must show up
// as a crash state with a partial file, and must not once the flush is in.
TEST(CrashDiskModel, WeakModelFindsARenameBeforeTheFlushAndOrderedDoesNot) {
  using platform::CFileEvent;
  using platform::FileOp;
  const Bytes oldBytes = TextBytes("old"), newBytes = TextBytes("new version");
  for (bool flushed : {false, true}) {
    CCrashLog log({{{"a.txt", oldBytes}}, {}}, "/g/");
    std::vector<CFileEvent> events = {{FileOp::Create, "/g/.temp_a.txt", {}, 0, {}},
                                      {FileOp::Write, "/g/.temp_a.txt", {}, 0, newBytes}};
    if (flushed) events.push_back({FileOp::Flush, "/g/.temp_a.txt", {}, 0, {}});
    events.push_back({FileOp::Close, "/g/.temp_a.txt", {}, 0, {}});
    events.push_back({FileOp::Replace, "/g/.temp_a.txt", "/g/a.txt", 0, {}});
    events.push_back({FileOp::SyncFolder, "/g", {}, 0, {}});
    std::string why;
    for (const CFileEvent& event : events) ASSERT_TRUE(log.Add(event, why)) << why;

    std::mt19937 random(1);
    std::set<std::string> weak, ordered;
    for (size_t n = 0; n <= log.Ops().size(); ++n) {
      for (const CPersisted& crash : log.WeakCrashes(n, random))
        weak.insert(Text(log.StateWith(crash)));
      for (const CPersisted& crash : log.OrderedCrashes(n))
        ordered.insert(Text(log.StateWith(crash)));
    }
    const std::set<std::string> oldOrNew = {"old", "new version"};
    EXPECT_EQ(ordered, oldOrNew);
    if (flushed)
      EXPECT_EQ(weak, oldOrNew);
    else
      EXPECT_TRUE(weak.count("")) << "the rename reached the disk without the data";
  }
}
