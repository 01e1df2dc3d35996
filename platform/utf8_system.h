#pragma once
// The builder's calls to the operating system, one implementation in
// tools/posix and one in tools/win32, chosen at link time; the mapped inputs
// (mapped_file.h) and what an interrupt removes (interrupt_cleanup.h) have
// theirs there too. Every text and path is UTF-8, '/' between folders.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The command line's arguments as UTF-8 (on Windows read again as UTF-16,
// since argv holds them in the ANSI code page); the console then takes UTF-8.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
bool StandardErrorIsTerminal();

// The folder of the running builder, ending with '/'; empty when unknown.
std::string ToolFolder();

// Every regular file below `folder`, relative and unsorted (links followed).
// False, with `why`, for a missing or unreadable folder or a special file.
bool ListFilesBelow(const std::string& folder, std::vector<std::string>& names, std::string* why);
// The size of a file; false, with `why`.
bool SizeOfFile(const std::string& path, uint64_t& size, std::string* why);

// A letter as Windows compares file names: letter case aside.
uint32_t FoldLetterCase(uint32_t code);
// Converts all of `text` between code pages (65001 is UTF-8); false when a
// character has no place in `toCodePage`.
bool ConvertCodePage(uint32_t fromCodePage, uint32_t toCodePage, const std::string& text,
                     std::string& out);

// Zeroed memory aligned to `alignment`, on huge pages where the system has them.
void* AllocateLarge(size_t bytes, size_t alignment);
void FreeLarge(void* memory);

// The output file's calls (atomic_output.cpp). `error` is the system's
// error number, which ErrorText explains.
namespace output_os {
using Handle = intptr_t;
constexpr Handle kNoFile = -1;
// A new temporary file beside `path`, named after it, with the permissions
// an ordinary new file gets.
bool CreateBeside(const std::string& path, std::string& temporary, Handle& file, int& error);
bool WriteAll(Handle file, const uint8_t* data, size_t size, int& error);
bool WriteAt(Handle file, uint64_t position, const uint8_t* data, size_t size, int& error);
// Forces the bytes to the disk and closes the file (also when that fails).
bool SyncAndClose(Handle file, int& error);
void Close(Handle file);
// Replaces `to` with `from` in one step, durably.
bool RenameOver(const std::string& from, const std::string& to, int& error);
void Remove(const std::string& path);
std::string ErrorText(int error);
}  // namespace output_os
