#pragma once
// Patterns on a file's path relative to its game folder, as --whole (and the
// other path options) take them: '/' between parts, '*' and '?' within one
// part, "**" for any number of whole parts, letters matched without regard
// to case, as Windows names files.

#include <string>
#include <vector>

bool MatchesPathPattern(const std::string& pattern, const std::string& path);
bool MatchesAnyPattern(const std::vector<std::string>& patterns, const std::string& path);
// Which of some patterns have matched any of the paths shown to it, for
// paths that come one at a time.
class CPatternMatches {
 public:
  explicit CPatternMatches(const std::vector<std::string>& patterns)
      : patterns_(patterns), matched_(patterns.size(), false) {}

  void Show(const std::string& path);
  // The patterns that matched none, in their order.
  std::vector<std::string> Unmatched() const;

 private:
  const std::vector<std::string>& patterns_;
  std::vector<bool> matched_;
};
