#pragma once
// The builder's command line, console and program folder. Every text and
// path here is UTF-8, '/' between folders.

#include <string>
#include <vector>

// The command line's arguments as UTF-8 (on Windows read again as UTF-16,
// since argv holds them in the ANSI code page); the console then takes UTF-8.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
bool StandardErrorIsTerminal();
// Sends standard output nowhere while `mute` holds, and back where it went:
// the patcher's engine writes its diagnostic lines there, which are the Linux
// patcher's, not the builder's.
void MuteStandardOutput(bool mute);

// The folder of the running builder, ending with '/'; empty when unknown.
std::string ToolFolder();
