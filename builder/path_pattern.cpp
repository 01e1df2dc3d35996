#include "builder/path_pattern.h"

namespace {
char Folded(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether pattern[p..] matches path[s..]. Backtracks; patterns are short.
bool Match(const std::string& pattern, size_t p, const std::string& path, size_t s) {
  while (p < pattern.size()) {
    if (pattern.compare(p, 2, "**") == 0) {
      // "**/" stands for no part or any whole parts; a "**" at the end for
      // the rest of the path.
      size_t next = p + 2;
      if (next == pattern.size()) return true;
      if (pattern[next] == '/') ++next;
      for (size_t at = s; at <= path.size(); ++at)
        if ((at == s || path[at - 1] == '/') && Match(pattern, next, path, at)) return true;
      return false;
    }
    if (pattern[p] == '*') {
      for (size_t at = s;; ++at) {
        if (Match(pattern, p + 1, path, at)) return true;
        if (at == path.size() || path[at] == '/') return false;
      }
    }
    if (s == path.size()) return false;
    if (pattern[p] == '?' ? path[s] == '/' : Folded(pattern[p]) != Folded(path[s])) return false;
    ++p;
    ++s;
  }
  return s == path.size();
}
}  // namespace

bool MatchesPathPattern(const std::string& pattern, const std::string& path) {
  return Match(pattern, 0, path, 0);
}

bool MatchesAnyPattern(const std::vector<std::string>& patterns, const std::string& path) {
  for (const std::string& pattern : patterns)
    if (MatchesPathPattern(pattern, path)) return true;
  return false;
}

void CPatternMatches::Show(const std::string& path) {
  for (size_t i = 0; i < patterns_.size(); ++i)
    if (!matched_[i]) matched_[i] = MatchesPathPattern(patterns_[i], path);
}

std::vector<std::string> CPatternMatches::Unmatched() const {
  std::vector<std::string> unmatched;
  for (size_t i = 0; i < patterns_.size(); ++i)
    if (!matched_[i]) unmatched.push_back(patterns_[i]);
  return unmatched;
}
