// Ctrl+C, Ctrl+Break and a closed console remove the unfinished outputs; the
// system then ends the builder. A mapped file cannot shrink on Windows, so
// there is nothing to name.
#include "platform/interrupt_cleanup.h"
#include "platform/pending_outputs.h"
#include "platform/win32/wide_path.h"

namespace {
BOOL WINAPI RemovePending(DWORD) {
  for (int i = 0; i < kPendingOutputs; ++i)
    if (PendingOutput(i)[0] != '\0')
      DeleteFileW(LongPath(Widen(PendingOutput(i), CP_UTF8)).c_str());
  return FALSE;  // the default handler ends the process
}
}  // namespace

void InstallInterruptCleanup() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  SetConsoleCtrlHandler(RemovePending, TRUE);
}

int RegisterMapping(const void*, size_t, const std::string&) {
  return -1;
}

void UnregisterMapping(int) {}
