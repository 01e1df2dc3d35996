#pragma once
// The builder's command line, console and program folder. Every text and
// path here is UTF-8, '/' between folders.

#include <string>
#include <vector>

// The command line's arguments as UTF-8 (on Windows read again as UTF-16,
// since argv holds them in the ANSI code page); the console then takes UTF-8.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
bool StandardErrorIsTerminal();
// Ends the process at once with `code`, running no destructors: a worker
// thread may still be using objects that exit would tear down.
[[noreturn]] void ExitNow(int code);

// The folder of the running builder, ending with '/'; empty when unknown.
std::string ToolFolder();
