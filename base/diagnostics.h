#pragma once
// The three kinds of line the patcher writes to standard output, each ended
// and flushed. The window program has no console, so nobody sees them there;
// the Linux patcher shows them.

#include <cstdio>
#include <string>

namespace diagnostics {

inline void Line(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

inline void CompareStart() {
  Line("To Compare File Start ..");
}

inline void Compared(const std::string& name) {
  Line(name + " file is compared..");
}

inline void NotExist(const std::string& path) {
  Line("LocalFile: " + path + " is not exist!!");
}

}  // namespace diagnostics
