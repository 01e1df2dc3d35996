#pragma once
// Files. Every file operation of the patcher and of the builder goes through
// here, so that tests can make any one of them fail and record what reached
// the disk (file_faults.h). Positions are 64-bit. Paths are UTF-8 on every
// system, so that a folder named outside the ANSI code page is still reached;
// on Windows they are widened, and may be longer than MAX_PATH. The portable
// half (file.cpp) asks the seams, gathers writes and loops over short reads
// and writes; posix/ and win32/ hold the system calls (file_os.h).

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// The code page a release's names must be written in to name the same files
// here: the ANSI code page on Windows (its programs and archives name files in
// it), UTF-8 (65001) on POSIX. Paths reach the file layer in UTF-8 all the same.
uint32_t AnsiCodePage();

// Why the last file operation of this thread failed, in the terms a player
// can act on; kNone when it succeeded. Read it before the next operation.
enum class FileError {
  kNone,
  kInUse,         // another program holds the file (sharing or lock violation)
  kAccessDenied,  // no permission; on Windows also a file that is running or mapped
  kDiskFull,
  kNotFound,  // the file or a folder of its path does not exist
  kPathTooLong,
  kOther,  // a read or write error of the disk
};
FileError LastFileError();
// The same failure in the system's words ("No space left on device"), for
// the builder's messages.
std::string LastFileErrorText();

class CFile {
 public:
  CFile() = default;
  ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // Opens an existing file for reading, with no sharing restriction.
  bool OpenRead(const std::string& path);
  // Creates the file for writing, truncating an existing one.
  bool Create(const std::string& path);
  // Creates a new file beside `path` under a name no other file has
  // (".NAME.XXXXXX"), and says which in `temporary`.
  bool CreateBeside(const std::string& path, std::string& temporary);
  bool IsOpen() const { return handle_ != kClosed; }

  // Reads up to size bytes at the absolute position; returns the count read,
  // 0 at the end, -1 on an error.
  int64_t ReadAt(uint64_t position, void* buffer, uint32_t size);
  // Writes all size bytes after those written before; false on any
  // shortfall. Small writes are gathered into pieces of kBufferSize, so a
  // file of many small chunks costs few system calls; large ones go through.
  bool Write(const void* buffer, size_t size);
  // Writes over bytes already written (a count known only at the end).
  bool WriteAt(uint64_t position, const void* buffer, size_t size);
  // Forces the written bytes to the disk.
  bool Flush();
  // Size of the open file, or -1.
  int64_t Size();
  // Closes; false when the close reported an error (lost written data).
  bool Close();
  // Closes a file given up on: what is gathered is dropped, and the failure
  // that made its owner give up stays this thread's last. The destructor
  // does this.
  void Abandon();

  static constexpr intptr_t kClosed = -1;
  static constexpr uint32_t kBufferSize = 1 << 20;

 private:
  bool Opened(const std::string& path);
  bool Drain();
  bool Advance(size_t size);
  bool WriteOut(const uint8_t* data, size_t size, uint64_t position);

  intptr_t handle_ = kClosed;
  std::vector<uint8_t> buffer_;
  std::string path_;
  uint64_t written_ = 0;    // bytes handed to the system since Create
  uint64_t writeBack_ = 0;  // of those, handed to the disk ahead of Flush
};

bool FileExists(const std::string& path);
// Whether `path` names a folder (links followed).
bool FolderExists(const std::string& path);
// The size of the file at `path` without opening it (one stat); false when
// there is no file there.
bool FileSizeOf(const std::string& path, uint64_t& size);
// Creates one folder; true when it exists afterwards (also when it did
// before). Its entry lasts a power cut once its parent folder is synced
// (CFolderSyncs).
bool CreateFolder(const std::string& path);
// Deletes the file; true when it is gone afterwards (also when it was absent).
bool DeleteFile(const std::string& path);
// Removes the folder if it is empty; true when it is gone afterwards (also
// when it was absent), false when it still holds something or cannot be
// removed.
bool RemoveEmptyFolder(const std::string& path);
// Moves `from` over `to` in one atomic step, replacing an existing `to`; the
// new file keeps the replaced file's permissions (POSIX mode bits, the
// Windows read-only attribute). One attempt: a target in use fails at once
// with kInUse or kAccessDenied, and the caller decides whether to wait.
// False leaves both files as they were. True once `to` names the new file;
// a power cut before its folder is synced (CFolderSyncs) may leave the old
// one there again, never neither.
bool ReplaceFile(const std::string& from, const std::string& to);

// Where the system asks for it (POSIX), a new or moved entry lasts a power
// cut only once its folder is synced. A commit notes every entry it made or
// moved and then syncs each of their folders once, rather than once a file.
class CFolderSyncs {
 public:
  // Notes that the entry `path` was made or moved in its folder.
  void Note(const std::string& path);
  // Notes that the folder `path` was removed: it needs no sync of its own
  // any more, and its removal lasts once its parent is synced.
  void NoteRemovedFolder(const std::string& path);
  // Syncs each noted folder once, in the order first noted, and forgets
  // them; false at the first that cannot be synced, with the first path
  // noted in it in `failed`.
  bool SyncAll(std::string& failed);

 private:
  std::set<std::string> noted_;
  std::vector<std::pair<std::string, std::string>> folders_;  // a folder, its first path
};

// The bytes this user may still write on the disk that holds `folder`; false
// when the system cannot tell.
bool FreeDiskSpace(const std::string& folder, uint64_t& bytes);

}  // namespace platform
