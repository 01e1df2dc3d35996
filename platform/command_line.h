#pragma once
// The command line, environment, console and program folder of the builder
// and the console patcher. Every text and path here is UTF-8, '/' between
// folders.

#include <string>
#include <vector>

// The command line's arguments as UTF-8 (on Windows read again as UTF-16,
// since argv holds them in the ANSI code page); the console then takes UTF-8.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// A folder named on the command line (not empty) followed by a separator,
// the start of its files' paths: as given when it ends with one (on Windows
// '\' as well as '/') or, on Windows, is a drive alone ("D:", its current
// folder there).
std::string FolderWithSeparator(const std::string& folder);
// The value of an environment variable; empty when it is unset.
std::string EnvironmentVariable(const char* name);
bool StandardErrorIsTerminal();
// Ends the process at once with `code`, running no destructors: a worker
// thread may still be using objects that exit would tear down.
[[noreturn]] void ExitNow(int code);

// The folder of the running builder, ending with '/'; empty when unknown.
std::string ToolFolder();
