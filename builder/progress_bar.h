#pragma once
// The build's progress on standard error, stage by stage: listing the
// folders, matching their files, compressing the container, checking the
// release. On a terminal one line redrawn in place at most ten times a
// second, with the time since the build began and, once a stage has a
// total, an estimate of what is left; otherwise a line as each stage
// begins. Verbose builds also name each file as it is planned.

#include <chrono>
#include <cstdint>
#include <string>

class CProgressBar {
 public:
  enum class CMode { kSilent, kLines, kTerminal };

  explicit CProgressBar(CMode mode, bool verbose = false);

  // A stage of `files` files of `bytes` bytes (either 0 when it counts none).
  void Begin(const std::string& stage, uint64_t files, uint64_t bytes);
  // How far the stage is: files done, bytes done.
  void Update(uint64_t files, uint64_t bytes, const std::string& current = std::string());
  // One planned file and how it travels, when verbose.
  void Planned(const std::string& name, const char* how);
  // Clears the bar's line.
  void Finish();

 private:
  void Draw(std::chrono::steady_clock::time_point now);

  CMode mode_;
  bool verbose_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point stageStart_;
  std::chrono::steady_clock::time_point lastDraw_;
  std::string stage_;
  uint64_t files_ = 0;
  uint64_t bytes_ = 0;
  uint64_t filesDone_ = 0;
  uint64_t bytesDone_ = 0;
  std::string current_;
};
