#include "builder/progress_bar.h"

#include <cstdio>

namespace {
constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr size_t kLabelWidth = 40;
}  // namespace

void CProgressBar::Update(uint64_t done, const std::string& label) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  drawn_ = true;
  const double ratio =
      total_ == 0 ? 1.0 : static_cast<double>(done > total_ ? total_ : done) / total_;
  const int filled = static_cast<int>(ratio * kBarWidth);
  std::string shown =
      label.size() > kLabelWidth ? "..." + label.substr(label.size() - kLabelWidth + 3) : label;
  std::fprintf(stderr, "\r\033[K[%s%s] %3d%%  %s", std::string(filled, '#').c_str(),
               std::string(kBarWidth - filled, '.').c_str(), static_cast<int>(ratio * 100),
               shown.c_str());
  std::fflush(stderr);
}

void CProgressBar::Finish() {
  if (!enabled_ || !drawn_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  drawn_ = false;
}
