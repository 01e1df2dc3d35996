// The Linux patcher: the terminal stands in for the window. As in the Windows
// program, the worker thread does all file work and posts one result; this
// thread only shows progress from GetProgress, three times a second, and
// waits for the result.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "engine/patch_worker.h"
#include "platform/posix/front_end.h"

namespace {
constexpr int kRepaintMilliseconds = 333;
constexpr int kBarWidth = 30;

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

class CProgressLine {
 public:
  explicit CProgressLine(bool terminal) : terminal_(terminal) {}

  void Show(float ratio, const std::string& fullText) {
    std::string text = FirstLine(fullText);
    if (!terminal_) {
      // Not a terminal: each new status text on a line of its own.
      if (text != lastText_ && !text.empty()) std::fprintf(stderr, "%s\n", text.c_str());
      lastText_ = text;
      return;
    }
    int filled = ratio >= 0.01f ? static_cast<int>(kBarWidth * (ratio > 1 ? 1 : ratio)) : 0;
    std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
    std::fprintf(stderr, "\r\033[K[%s] %3d%%  %s", bar.c_str(), static_cast<int>(ratio * 100.0f),
                 text.c_str());
  }

  void End() {
    if (terminal_) std::fputc('\n', stderr);
    std::fflush(stderr);
  }

  // Ends with why the run failed, whole: a damaged release says what is
  // damaged on a second line. A first line already shown is not repeated.
  void EndWithFailure(const std::string& fullText) {
    End();
    std::string rest = fullText;
    if (!terminal_ && FirstLine(fullText) == lastText_)
      rest =
          fullText.find('\n') == std::string::npos ? "" : fullText.substr(fullText.find('\n') + 1);
    if (!rest.empty()) std::fprintf(stderr, "%s\n", rest.c_str());
    std::fflush(stderr);
  }

 private:
  bool terminal_;
  std::string lastText_;
};
}  // namespace

int main() {
  // Neither object is ever destroyed: the worker thread may still be using
  // them when this thread ends the process.
  auto* worker = new CPatchWorker;
  auto* mailbox = new platform::CResultMailbox;
  if (!worker->Start(mailbox, WM_PATCH_RESULT)) {
    std::fprintf(stderr, "qelpatch: cannot start the worker thread\n");
    return 3;
  }

  CProgressLine line(isatty(STDERR_FILENO) != 0);
  uintptr_t result = 0;
  float ratio = 0;
  std::string text;
  while (!mailbox->WaitFor(kRepaintMilliseconds, result)) {
    if (platform::PromptOpen()) continue;
    worker->GetProgress(ratio, text);
    line.Show(ratio, text);
  }
  if (result == 1) {
    line.Show(1.0f, "Patch Complete.");
    line.End();
  } else {
    worker->GetProgress(ratio, text);
    line.EndWithFailure(text);
  }

  std::printf("%s\n", result == 1 ? " Patch is completed." : " Patch is failed.");
  std::fflush(stdout);
  _exit(result == 1 ? 0 : 1);
}
