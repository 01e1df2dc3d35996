#pragma once
// Patterns on a file's path relative to its game folder, as --whole (and the
// other path options) take them: '/' between parts, '*' and '?' within one
// part, "**" for any number of whole parts, letters matched without regard
// to case, as Windows names files.

#include <string>
#include <vector>

bool MatchesPathPattern(const std::string& pattern, const std::string& path);
bool MatchesAnyPattern(const std::vector<std::string>& patterns, const std::string& path);
// The patterns that match none of `paths`, in their order.
std::vector<std::string> UnmatchedPatterns(const std::vector<std::string>& patterns,
                                           const std::vector<std::string>& paths);
