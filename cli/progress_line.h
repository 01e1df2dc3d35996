#pragma once
// Progress on standard error while the Linux patcher runs: on a terminal one
// line redrawn in place (bar, percentage, status text); otherwise each new
// status text on a line of its own.

#include <string>

class CProgressLine {
 public:
  explicit CProgressLine(bool terminal) : terminal_(terminal) {}

  // Shows the ratio and the status text's first line.
  void Show(float ratio, const std::string& fullText);
  void End();
  // Ends with why the run failed, whole: a damaged release says what is
  // damaged on a second line. A first line already shown is not repeated.
  void EndWithFailure(const std::string& fullText);

 private:
  bool terminal_;
  std::string lastText_;
};
