// The Linux patcher killed with SIGKILL: before each of its file operations in
// turn, and at random moments of a run of a release with packages of a few
// megabytes. After each kill every file is old or new, never missing or
// partial; a second run then completes the patch without a question.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "tests/reliability/reliability_support.h"

extern char** environ;

namespace {
const uint32_t kDataSize = 3 * 1024 * 1024;
const char kQuestion[] = "This file is different with PatchFile.";

struct CExit {
  bool killed = false;
  int code = -1;
};

class KilledRun : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    release_ = new CRelease(MakeRepresentativeRelease(kDataSize, 70));
    work_ = new CTempFolder;
    WriteWholeFile(*work_ / "release.qpd", release_->container);
  }
  static void TearDownTestSuite() {
    delete work_;
    delete release_;
  }

  // Starts the killable patcher on the folder, with nothing on standard
  // input (every question would be answered No).
  static pid_t Start(const std::string& folder, uint64_t killAt) {
    std::vector<std::string> variables;
    for (char** e = environ; *e; ++e)
      if (std::string(*e).rfind("QELPATCH_", 0) != 0) variables.push_back(*e);
    variables.push_back("QELPATCH_INSTALL_PATH=" + folder + "launcher.exe");
    if (killAt != 0) variables.push_back("QELPATCH_KILL_AT_OPERATION=" + std::to_string(killAt));
    std::vector<char*> envp;
    for (std::string& v : variables) envp.push_back(&v[0]);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::string out = *work_ / "out.txt";
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char program[] = QELPATCH_KILLABLE;
    char option[] = "--release";
    std::string release = *work_ / "release.qpd";
    char* argv[] = {program, option, &release[0], nullptr};
    pid_t pid = -1;
    int error = posix_spawn(&pid, program, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(error, 0) << "cannot start " << program;
    return error == 0 ? pid : -1;
  }

  static CExit Wait(pid_t pid) {
    int status = 0;
    CExit exit;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return exit;
    exit.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    exit.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exit;
  }

  static std::string Output() {
    Bytes out = ReadWholeFile(*work_ / "out.txt");
    return std::string(out.begin(), out.end());
  }

  // After a kill: old or new files only. Then a second run finishes the job.
  bool CheckKilledThenRerun(const std::string& folder, const std::string& where) {
    bool ok = true;
    for (const std::string& problem : JudgeFolder(*release_, folder).problems) {
      ADD_FAILURE() << where << ": " << problem;
      ok = false;
    }
    CExit again = Wait(Start(folder, 0));
    std::string out = Output();
    CFolderState state = JudgeFolder(*release_, folder);
    if (again.code != 0 || out.find(kQuestion) != std::string::npos || !state.AllNew(*release_) ||
        !state.workingFiles.empty()) {
      ADD_FAILURE() << where << ": the second run did not complete the patch unasked (exit "
                    << again.code << ", " << state.newCount << " new, " << state.workingFiles.size()
                    << " working files)\n"
                    << out;
      ok = false;
    }
    return ok;
  }

  static CRelease* release_;
  static CTempFolder* work_;
};

CRelease* KilledRun::release_ = nullptr;
CTempFolder* KilledRun::work_ = nullptr;
}  // namespace

TEST_F(KilledRun, BeforeEveryFileOperation) {
  int kills = 0;
  int failures = 0;
  uint64_t k = 1;
  for (; failures < 5; ++k) {
    CTempFolder folder;
    InstallOldVersion(*release_, folder.Path());
    CExit exit = Wait(Start(folder.Path(), k));
    if (!exit.killed) {
      // The run has fewer than k operations: it completed on its own. A
      // second run on the finished game completes too, asking nothing.
      EXPECT_EQ(exit.code, 0) << Output();
      EXPECT_TRUE(JudgeFolder(*release_, folder.Path()).AllNew(*release_));
      CheckKilledThenRerun(folder.Path(), "second run on the finished game");
      break;
    }
    ++kills;
    if (!CheckKilledThenRerun(folder.Path(), "killed before operation " + std::to_string(k)))
      ++failures;
  }
  std::printf(
      "[ figures  ] %d runs killed, one before each of the %llu file operations of a "
      "run; each followed by a second run\n",
      kills, static_cast<unsigned long long>(k - 1));
}

TEST_F(KilledRun, AtRandomMoments) {
  CTempFolder timing;
  InstallOldVersion(*release_, timing.Path());
  auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(Wait(Start(timing.Path(), 0)).code, 0) << Output();
  auto runTime = std::chrono::steady_clock::now() - started;
  const long runMicroseconds =
      static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(runTime).count());

  const unsigned seed = std::random_device()();
  std::mt19937 random(seed);
  std::uniform_int_distribution<long> delay(0, runMicroseconds);
  int killedMidRun = 0;
  int failures = 0;
  const int kRuns = 30;
  for (int i = 0; i < kRuns && failures < 5; ++i) {
    CTempFolder folder;
    InstallOldVersion(*release_, folder.Path());
    long after = delay(random);
    pid_t pid = Start(folder.Path(), 0);
    timespec pause = {after / 1000000, (after % 1000000) * 1000};
    nanosleep(&pause, nullptr);
    ::kill(pid, SIGKILL);
    CExit exit = Wait(pid);
    if (exit.killed) ++killedMidRun;
    if (!CheckKilledThenRerun(folder.Path(), "killed after " + std::to_string(after) +
                                                 " microseconds (seed " + std::to_string(seed) +
                                                 ")"))
      ++failures;
  }
  std::printf(
      "[ figures  ] %d runs killed at random moments within a %ld ms run (seed %u): "
      "%d mid-run, the rest had already ended\n",
      kRuns, runMicroseconds / 1000, seed, killedMidRun);
}
