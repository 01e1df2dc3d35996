// Signals: interrupts are waited for on a thread of their own (sigwait), a
// SIGBUS from a mapped input that shrank names the file and hands the
// removal to that thread.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/interrupt_cleanup.h"
#include "platform/pending_outputs.h"

namespace {
constexpr size_t kPathSize = 4096;
// Old and new file of one entry, with room to spare.
constexpr int kMappings = 8;

struct CMapping {
  const char* begin;
  const char* end;
  char path[kPathSize];
};

CMapping g_mappings[kMappings];
volatile sig_atomic_t g_used[kMappings];
// Set by the SIGBUS handler: the interrupt it raises ends with exit code 1.
volatile sig_atomic_t g_inputShrank = 0;

InterruptHandler g_handler = nullptr;
void* g_context = nullptr;
bool g_taken = false;

void CopyPath(char (&to)[kPathSize], const std::string& path) {
  const size_t length = path.size() < kPathSize - 1 ? path.size() : kPathSize - 1;
  std::memcpy(to, path.data(), length);
  to[length] = '\0';
}

void Say(const char* text) {
  ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

sigset_t Interrupts() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
  return set;
}

void WaitForInterrupts() {
  const sigset_t set = Interrupts();
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) continue;
    if (g_inputShrank) {
      RemoveAllPendingOutputs();
      _exit(1);
    }
    if (g_handler(g_context)) continue;
    // Ended as the interrupt would end it, with its signal.
    ::signal(signal, SIG_DFL);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
    _exit(128 + signal);
  }
}

// A child of fork has no waiting thread: its next HandleInterrupts makes one.
void ForgetInChild() {
  g_taken = false;
}

void InputShrank(int, siginfo_t* info, void*) {
  const char* address = static_cast<const char*>(info->si_addr);
  const char* path = "an input file";
  for (int i = 0; i < kMappings; ++i)
    if (g_used[i] && address >= g_mappings[i].begin && address < g_mappings[i].end)
      path = g_mappings[i].path;
  Say("qelpatch-build: ");
  Say(path);
  Say(": the file shrank while the release was being built; build again when the game "
      "folders are complete\n");
  // The removal needs the interrupts' thread; this one cannot go on.
  g_inputShrank = 1;
  kill(getpid(), SIGTERM);
  for (;;) pause();
}

bool EndTheBuilder(void*) {
  RemoveAllPendingOutputs();
  return false;
}
}  // namespace

void HandleInterrupts(InterruptHandler handler, void* context) {
  static bool atFork = (pthread_atfork(nullptr, nullptr, ForgetInChild), true);
  (void)atFork;
  g_handler = handler;
  g_context = context;
  if (g_taken) return;
  g_taken = true;
  const sigset_t set = Interrupts();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread(WaitForInterrupts).detach();
}

void InstallInterruptCleanup() {
  static bool installed = false;
  if (installed && g_taken) return;
  installed = true;
  HandleInterrupts(EndTheBuilder, nullptr);
  struct sigaction action = {};
  action.sa_sigaction = InputShrank;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGBUS, &action, nullptr);
}

int RegisterMapping(const void* data, size_t size, const std::string& path) {
  for (int i = 0; i < kMappings; ++i) {
    if (g_used[i]) continue;
    g_mappings[i].begin = static_cast<const char*>(data);
    g_mappings[i].end = g_mappings[i].begin + size;
    CopyPath(g_mappings[i].path, path);
    g_used[i] = 1;
    return i;
  }
  return -1;
}

void UnregisterMapping(int slot) {
  if (slot >= 0 && slot < kMappings) g_used[slot] = 0;
}
