#pragma once
// A progress bar on standard error, redrawn in place at most ten times a
// second; silent when standard error is not a terminal.

#include <chrono>
#include <cstdint>
#include <string>

class CProgressBar {
 public:
  explicit CProgressBar(bool enabled) : enabled_(enabled) {}

  void SetTotal(uint64_t total) { total_ = total; }
  void Update(uint64_t done, const std::string& label);
  // Clears the bar's line.
  void Finish();

 private:
  bool enabled_;
  bool drawn_ = false;
  uint64_t total_ = 0;
  std::chrono::steady_clock::time_point lastDraw_;
};
