#pragma once
// The system calls under the builder's outputs (atomic_output.cpp), one
// implementation each in posix/ and win32/. Paths are UTF-8; `why` gets the
// system's reason alone, which CAtomicOutput puts after the output's path.
// Only platform/ includes this.

#include <cstddef>
#include <cstdint>
#include <string>

namespace output_os {

using Handle = intptr_t;
constexpr Handle kNoFile = -1;

// A new temporary file beside `path`, named after it, with the permissions
// an ordinary new file gets.
bool CreateBeside(const std::string& path, std::string& temporary, Handle& file, std::string* why);
bool WriteAll(Handle file, const uint8_t* data, size_t size, std::string* why);
bool WriteAt(Handle file, uint64_t position, const uint8_t* data, size_t size, std::string* why);
// Forces the bytes to the disk and closes the file (also when that fails).
bool SyncAndClose(Handle file, std::string* why);
void Close(Handle file);
// Replaces `to` with `from` in one step, durably: once it returns true, a
// power cut leaves `to` as the new file.
bool RenameOver(const std::string& from, const std::string& to, std::string* why);
void Remove(const std::string& path);

}  // namespace output_os
