#pragma once
// Progress on standard error while the console patcher runs: on a terminal
// one line redrawn in place (bar, percentage, status text); otherwise each
// new status text on a line of its own.

#include <string>

class CProgressLine {
 public:
  explicit CProgressLine(bool terminal) : terminal_(terminal) {}

  void Show(float ratio, const std::string& text);
  void End();
  // Ends with why the run failed, whole: a damaged release says what is
  // damaged on a second line. A reason already shown is not repeated.
  void EndWithFailure(const std::string& reason, const std::string& detail);

 private:
  bool terminal_;
  std::string lastText_;
};
