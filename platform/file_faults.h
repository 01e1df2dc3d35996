#pragma once
// Test seams of the file layer. The fault seam: the layer asks CheckFileFault
// before every file operation; a test installs a hook that numbers the
// operations and makes chosen ones fail (CI runs as root, so permissions
// cannot make an operation fail). The record seam: after each operation that
// changed the disk, the layer tells a recording hook what it did, with the
// bytes written, so a test can replay the states a crash could leave. Without
// hooks nothing fails and nothing is recorded.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"

namespace platform {

enum class FileOp {
  Open,
  Create,
  Read,
  Write,
  Flush,
  Close,
  Replace,
  Delete,
  CreateFolder,
  SyncFolder,    // making a folder's entries durable (POSIX)
  QuerySpace,    // asking for the free space of a disk (ShortWrite: the disk is full)
  RemoveFolder,  // removing an empty folder
  ListFolder,    // reading the entries of a folder (the builder's listing)
  // Mapping a file (the builder's inputs); asked once the file is mapped, so
  // that a hook can also change the file under a live mapping, as another
  // program would.
  Map,
};

enum class Fault {
  None,
  Error,         // the operation fails and changes nothing (a disk error)
  ShortWrite,    // a write stores only part of its bytes, then reports a full disk
  InUse,         // fails as if another program held the file
  AccessDenied,  // fails as if permission were refused
};

using FaultHook = Fault (*)(FileOp op, const std::string& path, void* context);

// Installs the hook (nullptr removes it). Not thread-safe: set it before a run.
void SetFileFaultHook(FaultHook hook, void* context);

Fault CheckFileFault(FileOp op, const std::string& path);

// The error a failing fault stands for.
FileError FaultError(Fault fault);

const char* FileOpName(FileOp op);

// For the layers that tell failures in words: the system's words for the
// failure the seam injects into this operation; empty when it injects none.
std::string InjectedFailure(FileOp op, const std::string& path);

// One operation that changed the disk, as the layer carried it out: a file
// created (or truncated), bytes written at a position, a file flushed or
// closed, `path` moved over `to`, a file deleted, a folder created, a
// folder's entries synced.
struct CFileEvent {
  FileOp op;
  std::string path;
  std::string to;
  uint64_t position = 0;
  std::vector<uint8_t> bytes;
};

using RecordHook = void (*)(const CFileEvent& event, void* context);

// Installs the hook (nullptr removes it). Not thread-safe: set it before a run.
void SetFileRecordHook(RecordHook hook, void* context);
bool RecordingFiles();
void RecordFileEvent(CFileEvent event);

}  // namespace platform
