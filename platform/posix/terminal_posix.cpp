// The terminal on POSIX: its texts are UTF-8 bytes already.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "platform/terminal.h"

void WriteTerminal(TerminalStream stream, const std::string& text) {
  std::FILE* file = stream == TerminalStream::kOutput ? stdout : stderr;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fflush(file);
}

bool ReadTerminalLine(std::string& line) {
  return static_cast<bool>(std::getline(std::cin, line));
}

bool RedrawsLinesInPlace() {
  return isatty(STDERR_FILENO) != 0;
}
