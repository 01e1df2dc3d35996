#pragma once
// The system calls under the file layer, one implementation each in posix/
// and win32/. Each records why it failed (FailWith) in the system's terms.
// Only platform/ includes this.

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace platform {

// Records why an operation of this thread failed, with the system's words
// for it when it gave any; returns false, so a layer can write
// `return FailWith(...)`.
bool FailWith(FileError error, std::string text = std::string());

namespace os {

bool OpenRead(const std::string& path, intptr_t& handle);
bool Create(const std::string& path, intptr_t& handle);
// Creates a file that must not exist yet; `exists` tells when one did.
bool CreateNew(const std::string& path, intptr_t& handle, bool& exists);
// One read or write of up to size bytes at the absolute position (one call;
// nothing relies on where it leaves the file pointer): the count, 0 at the
// end of the file (a read) or when nothing could be written (a write), -1 on
// an error.
int64_t ReadSomeAt(intptr_t handle, uint64_t position, void* buffer, uint32_t size);
int64_t WriteSomeAt(intptr_t handle, uint64_t position, const void* buffer, uint32_t size);
// Hands written bytes [from, to) to the disk without waiting (may do nothing).
void WriteBehind(intptr_t handle, uint64_t from, uint64_t to);
bool Flush(intptr_t handle);
int64_t Size(intptr_t handle);
bool Close(intptr_t handle);

bool Exists(const std::string& path);
bool IsFolder(const std::string& path);
bool SizeOf(const std::string& path, uint64_t& size);
bool MakeFolder(const std::string& path);
bool Remove(const std::string& path);
bool RemoveFolder(const std::string& path);
bool Move(const std::string& from, const std::string& to);
// Whether a new or renamed directory entry needs its folder synced to last
// (POSIX), the folder of a path, and the sync itself.
bool FoldersNeedSync();
std::string FolderOf(const std::string& path);
bool SyncFolder(const std::string& folder);
bool FreeSpace(const std::string& folder, uint64_t& bytes);
// The system's words for an error of that kind, for a failure a test injects.
std::string ErrorText(FileError error);
// A name for a temporary file that differs from run to run and call to call.
std::string UniqueSuffix();

}  // namespace os
}  // namespace platform
