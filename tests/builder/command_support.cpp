#include "tests/builder/command_support.h"

#include <sys/wait.h>

#include <cstdlib>

#include "tests/support/temp_folder.h"

namespace {
std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> bytes = ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}
}  // namespace

CCommandResult RunCommand(const std::vector<std::string>& args, const std::string& input,
                          const std::vector<std::string>& environment) {
  CTempFolder io;
  WriteWholeFile(io / "in", input);
  std::string command = "env";
  for (const std::string& variable : environment) command += " " + Quote(variable);
  for (const std::string& arg : args) command += " " + Quote(arg);
  command += " <" + Quote(io / "in") + " >" + Quote(io / "out") + " 2>" + Quote(io / "err");
  const int status = std::system(command.c_str());
  CCommandResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadText(io / "out");
  result.err = ReadText(io / "err");
  return result;
}

CCommandResult RunBuilder(const std::vector<std::string>& args) {
  std::vector<std::string> command{QELPATCH_BUILD_TOOL};
  command.insert(command.end(), args.begin(), args.end());
  return RunCommand(command);
}

CCommandResult RunPatcher(const std::string& release, const std::string& folder,
                          const std::string& answers) {
  return RunCommand({QELPATCH_PATCHER, "--release", release}, answers,
                    {"QELPATCH_INSTALL_PATH=" + folder});
}
