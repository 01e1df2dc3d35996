// The portable half of the file layer: the fault seam asked before each
// operation, the record of why the last one failed, and the loops over short
// reads and writes. The system calls are in posix/ and win32/ (file_os.h).
#include "platform/file_faults.h"
#include "platform/file_os.h"

namespace platform {
namespace {
// Written files hand each finished stretch of this size to the disk at once,
// so the disk works while the file is still being made and Flush waits only
// for the tail.
constexpr uint64_t kWriteBehind = 8 << 20;

// Each thread's own, as errno and GetLastError are.
thread_local FileError t_lastError = FileError::kNone;
thread_local std::string t_lastText;

// Starts an operation: asks the fault seam about it and records its error
// (kNone when none is injected).
Fault Injected(FileOp op, const std::string& path) {
  Fault fault = CheckFileFault(op, path);
  t_lastError = FaultError(fault);
  t_lastText = fault == Fault::None ? std::string() : os::ErrorText(t_lastError);
  return fault;
}

// Tells the record seam what an operation that succeeded did; true.
bool Recorded(FileOp op, const std::string& path, const std::string& to = std::string()) {
  if (RecordingFiles()) RecordFileEvent(CFileEvent{op, path, to, 0, {}});
  return true;
}

// The largest piece one system call is handed.
constexpr size_t kLargestCall = 1u << 30;
}  // namespace

FileError LastFileError() {
  return t_lastError;
}

std::string LastFileErrorText() {
  return t_lastText.empty() ? os::ErrorText(t_lastError) : t_lastText;
}

bool FailWith(FileError error, std::string text) {
  t_lastError = error;
  t_lastText = std::move(text);
  return false;
}

CFile::~CFile() {
  Abandon();
}

// A file not closed is abandoned: what it gathered is dropped, and the
// failure that made its owner abandon it stays this thread's last.
void CFile::Abandon() {
  if (!IsOpen()) return;
  const FileError error = t_lastError;
  std::string text = t_lastText;
  os::Close(handle_);
  handle_ = kClosed;
  buffer_.clear();
  Recorded(FileOp::Close, path_);
  FailWith(error, std::move(text));
}

bool CFile::OpenRead(const std::string& path) {
  Close();
  if (Injected(FileOp::Open, path) != Fault::None || !os::OpenRead(path, handle_)) return false;
  path_ = path;
  return true;
}

bool CFile::Create(const std::string& path) {
  Close();
  return Injected(FileOp::Create, path) == Fault::None && os::Create(path, handle_) && Opened(path);
}

bool CFile::CreateBeside(const std::string& path, std::string& temporary) {
  Close();
  const size_t slash = path.find_last_of("/\\");
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name =
        path.substr(0, base) + "." + path.substr(base) + "." + os::UniqueSuffix();
    if (Injected(FileOp::Create, name) != Fault::None) return false;
    bool exists = false;
    if (os::CreateNew(name, handle_, exists)) {
      temporary = name;
      return Opened(name);
    }
    if (!exists) return false;
  }
  return false;
}

bool CFile::Opened(const std::string& path) {
  path_ = path;
  written_ = writeBack_ = 0;
  buffer_.clear();
  return Recorded(FileOp::Create, path);
}

int64_t CFile::ReadAt(uint64_t position, void* buffer, uint32_t size) {
  if (!IsOpen() || Injected(FileOp::Read, path_) != Fault::None) return -1;
  if (position > static_cast<uint64_t>(INT64_MAX)) return 0;
  auto* out = static_cast<unsigned char*>(buffer);
  uint32_t got = 0;
  while (got < size) {
    const int64_t n = os::ReadSomeAt(handle_, position + got, out + got, size - got);
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<uint32_t>(n);
  }
  return got;
}

bool CFile::Write(const void* buffer, size_t size) {
  if (!IsOpen()) return false;
  const auto* in = static_cast<const uint8_t*>(buffer);
  if (buffer_.size() + size > kBufferSize && !Drain()) return false;
  if (size >= kBufferSize) return WriteOut(in, size, written_) && Advance(size);
  if (buffer_.capacity() == 0) buffer_.reserve(kBufferSize);
  buffer_.insert(buffer_.end(), in, in + size);
  return true;
}

bool CFile::WriteAt(uint64_t position, const void* buffer, size_t size) {
  return IsOpen() && Drain() && WriteOut(static_cast<const uint8_t*>(buffer), size, position);
}

bool CFile::Drain() {
  if (buffer_.empty()) return true;
  const bool written =
      WriteOut(buffer_.data(), buffer_.size(), written_) && Advance(buffer_.size());
  buffer_.clear();
  return written;
}

bool CFile::Advance(size_t size) {
  written_ += size;
  if (written_ - writeBack_ >= kWriteBehind) {
    os::WriteBehind(handle_, writeBack_, written_);
    writeBack_ = written_;
  }
  return true;
}

// One piece to the system at `position`, asked of the fault seam once.
bool CFile::WriteOut(const uint8_t* data, size_t size, uint64_t position) {
  const Fault fault = Injected(FileOp::Write, path_);
  if (fault == Fault::ShortWrite)
    size /= 2;
  else if (fault != Fault::None)
    return false;
  size_t put = 0;
  while (put < size) {
    const size_t piece = size - put < kLargestCall ? size - put : kLargestCall;
    const int64_t n =
        os::WriteSomeAt(handle_, position + put, data + put, static_cast<uint32_t>(piece));
    if (n < 0) return false;
    if (n == 0) return FailWith(FileError::kDiskFull, os::ErrorText(FileError::kDiskFull));
    put += static_cast<size_t>(n);
  }
  if (RecordingFiles())
    RecordFileEvent(CFileEvent{FileOp::Write, path_, {}, position, {data, data + put}});
  // A short write stored part of the bytes and then met a full disk.
  return fault == Fault::None ||
         FailWith(FileError::kDiskFull, os::ErrorText(FileError::kDiskFull));
}

bool CFile::Flush() {
  return IsOpen() && Drain() && Injected(FileOp::Flush, path_) == Fault::None &&
         os::Flush(handle_) && Recorded(FileOp::Flush, path_);
}

int64_t CFile::Size() {
  return IsOpen() && Drain() ? os::Size(handle_) : -1;
}

bool CFile::Close() {
  if (!IsOpen()) return true;
  if (!Drain()) {
    Abandon();
    return false;
  }
  const bool injected = Injected(FileOp::Close, path_) != Fault::None;
  const bool closed = os::Close(handle_);
  handle_ = kClosed;
  Recorded(FileOp::Close, path_);
  return closed && !injected;
}

bool FileExists(const std::string& path) {
  return os::Exists(path);
}

bool FolderExists(const std::string& path) {
  return os::IsFolder(path);
}

bool FileSizeOf(const std::string& path, uint64_t& size) {
  return os::SizeOf(path, size);
}

bool CreateFolder(const std::string& path) {
  return Injected(FileOp::CreateFolder, path) == Fault::None && os::MakeFolder(path) &&
         Recorded(FileOp::CreateFolder, path);
}

bool DeleteFile(const std::string& path) {
  return Injected(FileOp::Delete, path) == Fault::None && os::Remove(path) &&
         Recorded(FileOp::Delete, path);
}

bool RemoveEmptyFolder(const std::string& path) {
  return Injected(FileOp::RemoveFolder, path) == Fault::None && os::RemoveFolder(path) &&
         Recorded(FileOp::RemoveFolder, path);
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  return Injected(FileOp::Replace, to) == Fault::None && os::Move(from, to) &&
         Recorded(FileOp::Replace, from, to);
}

void CFolderSyncs::Note(const std::string& path) {
  if (!os::FoldersNeedSync()) return;
  std::string folder = os::FolderOf(path);
  if (noted_.insert(folder).second) folders_.emplace_back(std::move(folder), path);
}

void CFolderSyncs::NoteRemovedFolder(const std::string& path) {
  if (!os::FoldersNeedSync()) return;
  if (noted_.erase(path) != 0)
    for (auto it = folders_.begin(); it != folders_.end(); ++it)
      if (it->first == path) {
        folders_.erase(it);
        break;
      }
  Note(path);
}

bool CFolderSyncs::SyncAll(std::string& failed) {
  std::vector<std::pair<std::string, std::string>> folders;
  folders.swap(folders_);
  noted_.clear();
  for (const auto& noted : folders) {
    const std::string& folder = noted.first;
    if (Injected(FileOp::SyncFolder, folder) != Fault::None || !os::SyncFolder(folder)) {
      failed = noted.second;
      return false;
    }
    Recorded(FileOp::SyncFolder, folder);
  }
  return true;
}

bool FreeDiskSpace(const std::string& folder, uint64_t& bytes) {
  switch (Injected(FileOp::QuerySpace, folder)) {
    case Fault::None:
      return os::FreeSpace(folder, bytes);
    case Fault::ShortWrite:
      bytes = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace platform
