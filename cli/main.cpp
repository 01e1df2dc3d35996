// The Linux patcher: the terminal stands in for the window. As in the Windows
// program, the worker thread does all file work and posts one result; this
// thread only shows progress from GetProgress, three times a second, and
// waits for the result.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/refusal.h"
#include "base/version.h"
#include "cli/patcher_options.h"
#include "cli/progress_line.h"
#include "cli/result_mailbox.h"
#include "cli/terminal_user.h"
#include "engine/patch_worker.h"
#include "platform/folder_listing.h"

namespace {
constexpr int kRepaintMilliseconds = 333;
// The longest stored path the patcher reads (settings_posix.cpp).
constexpr size_t kLongestStoredPath = 1023;

int Refused(const std::string& message) {
  std::fprintf(stderr, "qelpatch: %s\n", message.c_str());
  return 1;
}

// --game takes the place of the stored installation path, which names a
// file in the folder: the folder followed by its separator does.
bool UseGameFolder(const std::string& folder, std::string* why) {
  if (KindOfPath(folder) != PathKind::kFolder) return Refuse(why, folder + ": no such folder");
  const std::string stored = folder.back() == '/' ? folder : folder + "/";
  if (stored.size() > kLongestStoredPath)
    return Refuse(why, folder + ": a path longer than the patcher's 1023 bytes");
  return setenv("QELPATCH_INSTALL_PATH", stored.c_str(), 1) == 0;
}
}  // namespace

int main(int argc, char** argv) {
  CPatcherOptions options;
  std::string why;
  if (!ParsePatcherOptions(std::vector<std::string>(argv + 1, argv + argc), options, &why)) {
    std::fprintf(stderr, "qelpatch: %s\n%s", why.c_str(), kPatcherUsage);
    return 2;
  }
  if (options.help) {
    std::fputs(kPatcherUsage, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("qelpatch %s\n", QELPATCH_VERSION);
    return 0;
  }
  if (!options.game.empty() && !UseGameFolder(options.game, &why)) return Refused(why);
  // Neither object is ever destroyed: the worker thread may still be using
  // them when this thread ends the process; the chosen release's bytes too.
  auto* worker = new CPatchWorker;
  auto* mailbox = new CResultMailbox;
  if (!options.release.empty()) {
    auto* release = new CChosenRelease;
    if (!release->Open(options.release, &why)) return Refused(why);
    worker->UseRelease(release->Data(), release->Size());
  }
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
