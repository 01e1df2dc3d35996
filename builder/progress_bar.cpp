#include "builder/progress_bar.h"

#include <cstdio>

namespace {
constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr size_t kNameWidth = 30;

using CClock = std::chrono::steady_clock;

std::string WithCommas(uint64_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// m:ss, or h:mm:ss from an hour on.
std::string Clock(CClock::duration elapsed) {
  const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  char text[32];
  if (seconds >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
  return text;
}

std::string Mebibytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1 << 20));
  return text;
}
}  // namespace

CProgressBar::CProgressBar(CMode mode, bool verbose)
    : mode_(mode), verbose_(verbose), start_(CClock::now()) {}

void CProgressBar::Begin(const std::string& stage, uint64_t files, uint64_t bytes) {
  stage_ = stage;
  files_ = files;
  bytes_ = bytes;
  filesDone_ = 0;
  bytesDone_ = 0;
  current_.clear();
  stageStart_ = CClock::now();
  if (mode_ == CMode::kTerminal) {
    Draw(stageStart_);
  } else if (mode_ == CMode::kLines) {
    std::string line = stage;
    if (files != 0) line += " " + WithCommas(files) + (files == 1 ? " file" : " files");
    if (bytes != 0) line += (files != 0 ? ", " : " ") + WithCommas(bytes) + " bytes";
    std::fprintf(stderr, "qelpatch-build: %s (at %s)\n", line.c_str(),
                 Clock(stageStart_ - start_).c_str());
    std::fflush(stderr);
  }
}

void CProgressBar::Update(uint64_t files, uint64_t bytes, const std::string& current) {
  if (mode_ != CMode::kTerminal) return;
  filesDone_ = files;
  bytesDone_ = bytes;
  current_ = current;
  const auto now = CClock::now();
  if (drawn_ && now - lastDraw_ < kRedrawInterval) return;
  Draw(now);
}

void CProgressBar::Draw(CClock::time_point now) {
  lastDraw_ = now;
  drawn_ = true;
  std::string line;
  // The share done, by bytes where the stage counts them.
  const uint64_t total = bytes_ != 0 ? bytes_ : files_;
  const uint64_t done = bytes_ != 0 ? bytesDone_ : filesDone_;
  if (total != 0) {
    const double ratio = static_cast<double>(done > total ? total : done) / total;
    const int filled = static_cast<int>(ratio * kBarWidth);
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(ratio * 100));
    line = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] " + percent +
           "  ";
  }
  line += stage_;
  if (files_ != 0 || bytes_ == 0)
    line += " " + WithCommas(filesDone_) + (files_ != 0 ? " of " + WithCommas(files_) : "") +
            " files" + (bytes_ != 0 ? "," : "");
  if (bytes_ != 0) line += " " + Mebibytes(bytesDone_) + " of " + Mebibytes(bytes_) + " MiB";
  line += "  " + Clock(now - start_);
  // What is left, at the stage's pace so far.
  if (total != 0 && done != 0 && done < total)
    line += ", about " +
            Clock(std::chrono::duration_cast<CClock::duration>(
                (now - stageStart_) * (static_cast<double>(total - done) / done))) +
            " left";
  if (!current_.empty())
    line += "  " + (current_.size() > kNameWidth
                        ? "..." + current_.substr(current_.size() - kNameWidth + 3)
                        : current_);
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
}

void CProgressBar::Planned(const std::string& name, const char* how) {
  if (!verbose_) return;
  if (drawn_) std::fprintf(stderr, "\r\033[K");
  drawn_ = false;
  std::fprintf(stderr, "  %s: %s\n", name.c_str(), how);
  std::fflush(stderr);
}

void CProgressBar::Finish() {
  if (mode_ != CMode::kTerminal || !drawn_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  drawn_ = false;
}
