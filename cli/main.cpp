// The Linux patcher: the terminal stands in for the window. As in the Windows
// program, the worker thread does all file work and posts one result; this
// thread only shows progress from GetProgress, three times a second, and
// waits for the result.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "cli/progress_line.h"
#include "cli/result_mailbox.h"
#include "cli/terminal_user.h"
#include "engine/patch_worker.h"

namespace {
constexpr int kRepaintMilliseconds = 333;
}  // namespace

int main() {
  // Neither object is ever destroyed: the worker thread may still be using
  // them when this thread ends the process.
  auto* worker = new CPatchWorker;
  auto* mailbox = new CResultMailbox;
  if (!worker->Start(mailbox, WM_PATCH_RESULT)) {
    std::fprintf(stderr, "qelpatch: cannot start the worker thread\n");
    return 3;
  }

  CProgressLine line(isatty(STDERR_FILENO) != 0);
  uintptr_t result = 0;
  float ratio = 0;
  std::string text;
  while (!mailbox->WaitFor(kRepaintMilliseconds, result)) {
    if (PromptOpen()) continue;
    worker->GetProgress(ratio, text);
    line.Show(ratio, text);
  }
  if (result == 1) {
    line.Show(1.0f, worker->CompletionText());
    line.End();
  } else {
    worker->GetProgress(ratio, text);
    line.EndWithFailure(text);
  }

  std::printf("%s\n", result == 1 ? " Patch is completed." : " Patch is failed.");
  std::fflush(stdout);
  _exit(result == 1 ? 0 : 1);
}
