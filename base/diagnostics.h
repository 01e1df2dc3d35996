#pragma once
// The three kinds of line the patcher writes for whoever watches its output,
// each handed to the run's host: the Linux patcher prints them, the window
// program has no console, so nobody sees them there.

#include <string>

namespace diagnostics {

constexpr const char* kCompareStart = "To Compare File Start ..";

inline std::string Compared(const std::string& name) {
  return name + " file is compared..";
}

inline std::string NotExist(const std::string& path) {
  return "LocalFile: " + path + " is not exist!!";
}

}  // namespace diagnostics
