// Every file operation of a whole run, made to fail in turn: once, and from
// that operation on, as an error and (for writes) as a short write. After each
// run every file is old or new, no working file is left unless the injection
// refused its very deletion, the result is failure whenever a file was not
// installed, and a clean re-run finishes the patch without a question.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "tests/reliability/reliability_support.h"
#include "tests/support/fault_hook.h"

namespace {
using platform::Fault;
using platform::FileOp;

enum class Span { Once, FromOn };

// Numbers the operations of a run and fails the chosen ones.
struct CInjector {
  bool counting = true;
  uint64_t target = 0;
  Span span = Span::Once;
  Fault fault = Fault::Error;

  uint64_t seen = 0;
  std::vector<FileOp> ops;                 // counting: the kind of each operation
  std::set<std::string> refusedDeletions;  // paths whose deletion was failed
  bool injected = false;

  Fault operator()(FileOp op, const std::string& path) {
    ++seen;
    if (counting) {
      ops.push_back(op);
      return Fault::None;
    }
    bool hit = span == Span::Once ? seen == target : seen >= target;
    // A short write only exists for writes; from k on it is a full disk.
    if (fault == Fault::ShortWrite && op != FileOp::Write) hit = false;
    if (!hit) return Fault::None;
    injected = true;
    if (op == FileOp::Delete) refusedDeletions.insert(path);
    return fault;
  }
};

const uint32_t kDataSize = 20000;

class FaultInjection : public testing::Test {
 protected:
  void SetUp() override {
    ResetTestHost();
    release_ = MakeRepresentativeRelease(kDataSize, 40);
    CountCleanRun();
  }
  void CountCleanRun() {
    CTempFolder folder;
    InstallOldVersion(release_, folder.Path());
    CInjector counter;
    CRunOutcome run;
    {
      CScopedFaultHook hook(std::ref(counter));
      run = RunWorker(release_.container, folder.Path());
    }
    ASSERT_EQ(run.results, std::vector<uintptr_t>{1});
    ASSERT_TRUE(JudgeFolder(release_, folder.Path()).AllNew(release_));
    cleanOps_ = counter.ops;
  }

  // One faulted run and its clean re-run; false (with a failure recorded)
  // when an invariant breaks.
  bool RunWithFault(uint64_t k, Span span, Fault fault) {
    CTempFolder folder;
    InstallOldVersion(release_, folder.Path());
    CInjector injector;
    injector.counting = false;
    injector.target = k;
    injector.span = span;
    injector.fault = fault;
    CRunOutcome run;
    {
      CScopedFaultHook hook(std::ref(injector));
      run = RunWorker(release_.container, folder.Path());
    }
    ++runs_;

    std::string where = "operation " + std::to_string(k) + " (" +
                        platform::FileOpName(cleanOps_[k - 1]) + ")" +
                        (span == Span::Once ? " once" : " from on") +
                        (fault == Fault::ShortWrite ? " as a short write" : " as an error");
    CFolderState state = JudgeFolder(release_, folder.Path());
    bool ok = true;
    for (const std::string& problem : state.problems) {
      ADD_FAILURE() << where << ": " << problem;
      ok = false;
    }
    if (!state.workingFiles.empty()) ++leftBehind_;
    for (const std::string& name : state.workingFiles) {
      if (injector.refusedDeletions.count(folder.Path() + name)) continue;
      ADD_FAILURE() << where << ": working file left: " << name;
      ok = false;
    }
    if (run.results.size() != 1) {
      ADD_FAILURE() << where << ": " << run.results.size() << " results posted";
      return false;
    }
    bool allNew = state.AllNew(release_);
    if (run.results[0] == 1 && !allNew) {
      ADD_FAILURE() << where << ": success reported with " << state.newCount << " of "
                    << release_.files.size() << " files new";
      ok = false;
    }
    if (allNew) ++allNewRuns_;
    if (!injector.injected) ++notReached_;

    // Whatever the failure left, a clean run finishes the job unasked.
    CRunOutcome again = RunWorker(release_.container, folder.Path());
    CFolderState after = JudgeFolder(release_, folder.Path());
    if (again.results != std::vector<uintptr_t>{1} || !after.AllNew(release_) ||
        !after.workingFiles.empty() || !again.questions.empty()) {
      ADD_FAILURE() << where << ": the re-run did not finish the patch cleanly (" << after.newCount
                    << " new, " << after.workingFiles.size() << " working files, "
                    << again.questions.size() << " questions)";
      ok = false;
    }
    return ok;
  }

  void Sweep(Span span, Fault fault) {
    int failures = 0;
    for (uint64_t k = 1; k <= cleanOps_.size() && failures < 10; ++k) {
      if (fault == Fault::ShortWrite && cleanOps_[k - 1] != FileOp::Write) continue;
      covered_.insert(k);
      if (!RunWithFault(k, span, fault)) ++failures;
    }
    std::map<std::string, int> kinds;
    for (uint64_t k : covered_) ++kinds[platform::FileOpName(cleanOps_[k - 1])];
    std::string breakdown;
    for (const auto& kind : kinds)
      breakdown += " " + kind.first + "=" + std::to_string(kind.second);
    std::printf(
        "[ figures  ] %zu operations in a clean run; %d faulted runs (each re-run clean) "
        "covered %zu distinct operations:%s; %d ended with every file new, %d left a working "
        "file whose deletion was failed, %d never reached the faulted operation\n",
        cleanOps_.size(), runs_, covered_.size(), breakdown.c_str(), allNewRuns_, leftBehind_,
        notReached_);
  }

  CRelease release_;
  std::vector<FileOp> cleanOps_;
  std::set<uint64_t> covered_;
  int runs_ = 0;
  int allNewRuns_ = 0;
  int notReached_ = 0;
  int leftBehind_ = 0;  // runs that left a working file whose deletion was failed
};
}  // namespace

TEST_F(FaultInjection, EachOperationFailingOnceKeepsEveryFileOldOrNew) {
  Sweep(Span::Once, Fault::Error);
}

TEST_F(FaultInjection, EveryOperationFailingFromOneOnKeepsEveryFileOldOrNew) {
  Sweep(Span::FromOn, Fault::Error);
}

TEST_F(FaultInjection, EachWriteCutShortOnceKeepsEveryFileOldOrNew) {
  Sweep(Span::Once, Fault::ShortWrite);
}

TEST_F(FaultInjection, FullDiskFromAnyWriteOnKeepsEveryFileOldOrNew) {
  Sweep(Span::FromOn, Fault::ShortWrite);
}
