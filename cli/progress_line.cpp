#include "cli/progress_line.h"

#include <cstdio>

namespace {
constexpr int kBarWidth = 30;

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}
}  // namespace

void CProgressLine::Show(float ratio, const std::string& fullText) {
  std::string text = FirstLine(fullText);
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

void CProgressLine::EndWithFailure(const std::string& fullText) {
  End();
  std::string rest = fullText;
  if (!terminal_ && FirstLine(fullText) == lastText_) {
    const size_t lineEnd = fullText.find('\n');
    rest = lineEnd == std::string::npos ? "" : fullText.substr(lineEnd + 1);
  }
  if (!rest.empty()) std::fprintf(stderr, "%s\n", rest.c_str());
  std::fflush(stderr);
}
