// Signals: an interrupt removes the unfinished outputs, a SIGBUS from a
// mapped input that shrank names the file.
#include <signal.h>
#include <unistd.h>

#include <cstring>

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

void CopyPath(char (&to)[kPathSize], const std::string& path) {
  const size_t length = path.size() < kPathSize - 1 ? path.size() : kPathSize - 1;
  std::memcpy(to, path.data(), length);
  to[length] = '\0';
}

void Say(const char* text) {
  ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

void RemovePending() {
  for (int i = 0; i < kPendingOutputs; ++i)
    if (PendingOutput(i)[0] != '\0') unlink(PendingOutput(i));
}

void RemovePendingAndDie(int signal) {
  RemovePending();
  ::signal(signal, SIG_DFL);
  raise(signal);
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
  RemovePending();
  _exit(1);
}
}  // namespace

void InstallInterruptCleanup() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::signal(signal, RemovePendingAndDie);
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
