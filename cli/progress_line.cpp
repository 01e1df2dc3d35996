#include "cli/progress_line.h"

#include <cstdio>

namespace {
constexpr int kBarWidth = 30;
}  // namespace

void CProgressLine::Show(float ratio, const std::string& text) {
  if (!terminal_) {
    if (text != lastText_ && !text.empty()) std::fprintf(stderr, "%s\n", text.c_str());
    lastText_ = text;
    return;
  }
  int filled = ratio >= 0.01f ? static_cast<int>(kBarWidth * (ratio > 1 ? 1 : ratio)) : 0;
  std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
  std::fprintf(stderr, "\r\033[K[%s] %3d%%  %s", bar.c_str(), static_cast<int>(ratio * 100.0f),
               text.c_str());
}

void CProgressLine::End() {
  if (terminal_) std::fputc('\n', stderr);
  std::fflush(stderr);
}

void CProgressLine::EndWithFailure(const std::string& reason, const std::string& detail) {
  End();
  if (terminal_ || reason != lastText_) std::fprintf(stderr, "%s\n", reason.c_str());
  if (!detail.empty()) std::fprintf(stderr, "%s\n", detail.c_str());
  std::fflush(stderr);
}
