#include "cli/progress_line.h"

#include <cstdio>

#include "platform/terminal.h"

namespace {
constexpr int kBarWidth = 30;

void Say(const std::string& text) {
  WriteTerminal(TerminalStream::kError, text);
}
}  // namespace

void CProgressLine::Show(float ratio, const std::string& text) {
  if (!terminal_) {
    if (text != lastText_ && !text.empty()) Say(text + "\n");
    lastText_ = text;
    return;
  }
  int filled = ratio >= 0.01f ? static_cast<int>(kBarWidth * (ratio > 1 ? 1 : ratio)) : 0;
  std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(ratio * 100.0f));
  Say("\r\033[K[" + bar + "] " + percent + "  " + text);
}

void CProgressLine::End() {
  if (terminal_) Say("\n");
}

void CProgressLine::EndWithFailure(const std::string& reason, const std::string& detail) {
  End();
  if (terminal_ || reason != lastText_) Say(reason + "\n");
  if (!detail.empty()) Say(detail + "\n");
}
