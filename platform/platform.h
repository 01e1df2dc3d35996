#pragma once
// The operating-system layer. The portable core calls only what this header
// declares; platform/win32 and platform/posix implement it, and the build links
// exactly one of them.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// An opaque window handle: the main window on Windows, the front end's result
// mailbox on POSIX. The worker only passes it on.
using WindowHandle = void*;

// ---------------------------------------------------------------------------
// Lock (a critical section on Windows, a mutex on POSIX).
class CLock {
 public:
  CLock();
  ~CLock();
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;
  void Enter();
  void Leave();

 private:
  alignas(8) unsigned char storage_[64];
};

class CLockGuard {
 public:
  explicit CLockGuard(CLock& lock) : lock_(lock) { lock_.Enter(); }
  ~CLockGuard() { lock_.Leave(); }
  CLockGuard(const CLockGuard&) = delete;
  CLockGuard& operator=(const CLockGuard&) = delete;

 private:
  CLock& lock_;
};

// ---------------------------------------------------------------------------
// Embedded patch data: a read-only byte range valid for the whole process.
// False when the executable carries none.
bool FindPatchData(const uint8_t*& data, uint32_t& size);

// ---------------------------------------------------------------------------
// Threads. Starts a detached thread running entry(arg); false when it cannot.
using ThreadEntry = unsigned (*)(void* arg);
bool StartThread(ThreadEntry entry, void* arg);

// ---------------------------------------------------------------------------
// Talking to the user and to the window.

// The system's default language identifier (GetSystemDefaultLangID).
uint16_t GetSystemDefaultLanguage();

// Reads a text value of the machine-wide settings (HKEY_LOCAL_MACHINE), read
// only. False when the key or value is absent, not text, or too long.
bool ReadMachineSetting(const char* key, const char* valueName, std::string& value);

// Shows the folder chooser titled `title`. Returns the chosen file-system path,
// or an empty text when the user cancelled.
std::string BrowseForFolder(WindowHandle owner, const char* title);

// Asks a Yes/No question (Yes is the default button). True only for Yes.
bool AskYesNo(WindowHandle owner, const char* text, const char* caption);

// Posts the worker's result message to the window (never sends).
void PostResult(WindowHandle window, uint32_t message, uintptr_t wParam);

// ---------------------------------------------------------------------------
// Files. Every file operation of the core goes through here, so that tests can
// make any one of them fail (see file_faults.h). Positions are 64-bit.
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
  // Reads up to size bytes at the current position.
  int64_t Read(void* buffer, uint32_t size);
  // Writes all size bytes at the current position; false on any shortfall.
  bool Write(const void* buffer, uint32_t size);
  // Forces the written bytes to the disk.
  bool Flush();
  // Size of the open file, or -1.
  int64_t Size();
  // Closes; false when the close reported an error (lost written data).
  bool Close();

 private:
  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed;
  std::string path_;
  uint64_t written_ = 0;    // bytes written since Create
  uint64_t writeBack_ = 0;  // of those, handed to the disk ahead of Flush
};

bool FileExists(const std::string& path);
// Creates one folder; true when it exists afterwards (also when it did before).
bool CreateFolder(const std::string& path);
// Deletes the file; true when it is gone afterwards (also when it was absent).
bool DeleteFile(const std::string& path);
// Moves `from` over `to` in one atomic step, replacing an existing `to`. Retried
// briefly when the target is in use. False leaves both files as they were.
bool ReplaceFile(const std::string& from, const std::string& to);

}  // namespace platform
