#pragma once
// Runs a real program the way a release engineer or a player would: a
// command line, text on standard input, extra environment variables.

#include <string>
#include <vector>

struct CCommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

CCommandResult RunCommand(const std::vector<std::string>& args, const std::string& input = "",
                          const std::vector<std::string>& environment = {});

// qelpatch-build with these arguments.
CCommandResult RunBuilder(const std::vector<std::string>& args);

// The Linux patcher applying `release` (--release) to `folder`, answering
// the questions with `answers`.
CCommandResult RunPatcher(const std::string& release, const std::string& folder,
                          const std::string& answers = "");
