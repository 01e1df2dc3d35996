#pragma once
// Files. Every file operation of the core goes through here, so that tests can
// make any one of them fail (file_faults.h). Positions are 64-bit. Paths are
// narrow texts in AnsiCodePage(); on Windows they may be longer than MAX_PATH.
// The portable half (file.cpp) asks the fault seam and loops over short reads
// and writes; posix/ and win32/ hold the system calls (file_os.h).

#include <cstdint>
#include <string>

namespace platform {

// The code page of the narrow texts the system hands out and takes (paths,
// setting values): the ANSI code page on Windows, UTF-8 (65001) on POSIX.
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
  bool IsOpen() const { return handle_ != kClosed; }

  // Reads up to size bytes at the absolute position; returns the count read,
  // 0 at the end, -1 on an error.
  int64_t ReadAt(uint64_t position, void* buffer, uint32_t size);
  // Writes all size bytes at the current position; false on any shortfall.
  bool Write(const void* buffer, uint32_t size);
  // Forces the written bytes to the disk.
  bool Flush();
  // Size of the open file, or -1.
  int64_t Size();
  // Closes; false when the close reported an error (lost written data).
  bool Close();

  static constexpr intptr_t kClosed = -1;

 private:
  int64_t Read(void* buffer, uint32_t size);

  intptr_t handle_ = kClosed;
  std::string path_;
  uint64_t written_ = 0;    // bytes written since Create
  uint64_t writeBack_ = 0;  // of those, handed to the disk ahead of Flush
};

bool FileExists(const std::string& path);
// Creates one folder; true when it exists afterwards (also when it did
// before) and its entry in its parent folder has reached the disk.
bool CreateFolder(const std::string& path);
// Deletes the file; true when it is gone afterwards (also when it was absent).
bool DeleteFile(const std::string& path);
// Moves `from` over `to` in one atomic step, replacing an existing `to`; the
// new file keeps the replaced file's permissions (POSIX mode bits, the
// Windows read-only attribute). One attempt: a target in use fails at once
// with kInUse or kAccessDenied, and the caller decides whether to wait.
// True once the new name has reached the disk. False before the move leaves
// both files as they were; false after it (the folder could not be synced)
// leaves the new file in place but perhaps not durable.
bool ReplaceFile(const std::string& from, const std::string& to);

// The bytes this user may still write on the disk that holds `folder`; false
// when the system cannot tell.
bool FreeDiskSpace(const std::string& folder, uint64_t& bytes);

}  // namespace platform
