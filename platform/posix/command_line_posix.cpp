// The command line, the environment and the program's folder on POSIX
// (Linux): arguments, values and paths are UTF-8 bytes already.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/command_line.h"

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::string FolderWithSeparator(const std::string& folder) {
  return folder.back() == '/' ? folder : folder + "/";
}

std::string EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : std::string();
}

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}

void ExitNow(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(code);
}

std::string ToolFolder() {
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return std::string();
  const std::string path(self, static_cast<size_t>(length));
  return path.substr(0, path.find_last_of('/') + 1);
}
