// Ctrl+C, Ctrl+Break and a closed console: the system calls the handler on a
// thread of its own. A mapped file cannot shrink on Windows, so there is
// nothing to name.
#include "platform/interrupt_cleanup.h"
#include "platform/pending_outputs.h"
#include "platform/win32/windows_api.h"

namespace {
InterruptHandler g_handler = nullptr;
void* g_context = nullptr;

// TRUE: handled, the process goes on; FALSE: the default handler ends it.
BOOL WINAPI Interrupted(DWORD event) {
  if (!g_handler(g_context)) return FALSE;
  // A closed console ends the process as soon as this returns: it waits
  // instead, for the process to end itself in the seconds the system allows.
  if (event == CTRL_CLOSE_EVENT) Sleep(INFINITE);
  return TRUE;
}

bool EndTheBuilder(void*) {
  RemoveAllPendingOutputs();
  return false;
}
}  // namespace

void HandleInterrupts(InterruptHandler handler, void* context) {
  const bool first = g_handler == nullptr;
  g_handler = handler;
  g_context = context;
  if (first) SetConsoleCtrlHandler(Interrupted, TRUE);
}

void InstallInterruptCleanup() {
  if (g_handler == nullptr) HandleInterrupts(EndTheBuilder, nullptr);
}

int RegisterMapping(const void*, size_t, const std::string&) {
  return -1;
}

void UnregisterMapping(int) {}
