#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/file_layer.h"

namespace platform {
namespace {
constexpr uint64_t kWriteBehind = 8 << 20;

FileError ErrorOf(int error) {
  switch (error) {
    case ETXTBSY:
    case EBUSY:
      return FileError::kInUse;
    case EACCES:
    case EPERM:
    case EROFS:
      return FileError::kAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return FileError::kDiskFull;
    case ENOENT:
    case ENOTDIR:
      return FileError::kNotFound;
    case ENAMETOOLONG:
      return FileError::kPathTooLong;
    default:
      return FileError::kOther;
  }
}

bool FailWithErrno() {
  return FailWith(ErrorOf(errno));
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A new or renamed directory entry is durable only once its folder is synced.
bool SyncFolderOf(const std::string& path) {
  const std::string folder = FolderOf(path);
  if (InjectedFault(FileOp::SyncFolder, folder) != Fault::None) return false;
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return FailWithErrno();
  bool synced = ::fsync(dir) == 0;
  if (!synced) FailWithErrno();
  ::close(dir);
  return synced;
}
}  // namespace

CFile::~CFile() {
  Close();
}

bool CFile::OpenRead(const std::string& path) {
  Close();
  if (InjectedFault(FileOp::Open, path) != Fault::None) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FailWithErrno();
  handle_ = fd;
  path_ = path;
  return true;
}

bool CFile::Create(const std::string& path) {
  Close();
  if (InjectedFault(FileOp::Create, path) != Fault::None) return false;
  // The usual mode under the umask; a file that replaces an installed one
  // takes that file's mode when it is moved over it.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return FailWithErrno();
  handle_ = fd;
  path_ = path;
  written_ = writeBack_ = 0;
  return true;
}

int64_t CFile::ReadAt(uint64_t position, void* buffer, uint32_t size) {
  if (!IsOpen() || InjectedFault(FileOp::Read, path_) != Fault::None) return -1;
  if (position > static_cast<uint64_t>(INT64_MAX)) return 0;
  if (::lseek(static_cast<int>(handle_), static_cast<off_t>(position), SEEK_SET) < 0) {
    FailWithErrno();
    return -1;
  }
  return Read(buffer, size);
}

int64_t CFile::Read(void* buffer, uint32_t size) {
  if (!IsOpen()) return -1;
  auto* out = static_cast<unsigned char*>(buffer);
  uint32_t got = 0;
  while (got < size) {
    ssize_t n = ::read(static_cast<int>(handle_), out + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      FailWithErrno();
      return -1;
    }
    if (n == 0) break;
    got += static_cast<uint32_t>(n);
  }
  return got;
}

bool CFile::Write(const void* buffer, uint32_t size) {
  if (!IsOpen()) return false;
  Fault fault = InjectedFault(FileOp::Write, path_);
  if (fault == Fault::ShortWrite)
    size /= 2;
  else if (fault != Fault::None)
    return false;
  auto* in = static_cast<const unsigned char*>(buffer);
  uint32_t put = 0;
  while (put < size) {
    ssize_t n = ::write(static_cast<int>(handle_), in + put, size - put);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FailWithErrno();
    if (n == 0) return FailWith(FileError::kDiskFull);
    put += static_cast<uint32_t>(n);
  }
  // Start writing back each finished stretch at once, so that the disk works
  // while the file is still being made and Flush waits only for the tail.
  written_ += put;
  if (written_ - writeBack_ >= kWriteBehind) {
    ::sync_file_range(static_cast<int>(handle_), static_cast<off_t>(writeBack_),
                      static_cast<off_t>(written_ - writeBack_), SYNC_FILE_RANGE_WRITE);
    writeBack_ = written_;
  }
  return fault == Fault::None;
}

bool CFile::Flush() {
  if (!IsOpen() || InjectedFault(FileOp::Flush, path_) != Fault::None) return false;
  return ::fsync(static_cast<int>(handle_)) == 0 || FailWithErrno();
}

int64_t CFile::Size() {
  struct stat st;
  if (!IsOpen() || ::fstat(static_cast<int>(handle_), &st) != 0) return -1;
  return st.st_size;
}

bool CFile::Close() {
  if (!IsOpen()) return true;
  bool injected = InjectedFault(FileOp::Close, path_) != Fault::None;
  bool ok = ::close(static_cast<int>(handle_)) == 0 || FailWithErrno();
  handle_ = kClosed;
  return ok && !injected;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool CreateFolder(const std::string& path) {
  if (InjectedFault(FileOp::CreateFolder, path) != Fault::None) return false;
  if (::mkdir(path.c_str(), 0777) != 0) {
    struct stat st;
    if (errno != EEXIST) return FailWithErrno();
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return FailWith(FileError::kOther);
  }
  // Also when it existed: an earlier run may have made it without syncing.
  return SyncFolderOf(path);
}

bool DeleteFile(const std::string& path) {
  if (InjectedFault(FileOp::Delete, path) != Fault::None) return false;
  return ::unlink(path.c_str()) == 0 || errno == ENOENT || FailWithErrno();
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  if (InjectedFault(FileOp::Replace, to) != Fault::None) return false;
  // The installed file's mode (an executable script stays executable, a
  // private file private). Best effort: without it the file keeps the usual
  // mode.
  struct stat installed;
  if (::stat(to.c_str(), &installed) == 0) ::chmod(from.c_str(), installed.st_mode & 07777);
  if (::rename(from.c_str(), to.c_str()) != 0) return FailWithErrno();
  return SyncFolderOf(to);
}

}  // namespace platform
