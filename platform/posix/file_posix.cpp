// The file layer's system calls on POSIX.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "platform/file_os.h"

namespace platform {
namespace {
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
  return FailWith(ErrorOf(errno), std::strerror(errno));
}

int Fd(intptr_t handle) {
  return static_cast<int>(handle);
}

bool Opened(int fd, intptr_t& handle) {
  if (fd < 0) return FailWithErrno();
  handle = fd;
  return true;
}
}  // namespace

namespace os {

bool OpenRead(const std::string& path, intptr_t& handle) {
  return Opened(::open(path.c_str(), O_RDONLY | O_CLOEXEC), handle);
}

// The usual mode under the umask; a file that replaces an installed one takes
// that file's mode when it is moved over it.
bool Create(const std::string& path, intptr_t& handle) {
  return Opened(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666), handle);
}

int64_t ReadSomeAt(intptr_t handle, uint64_t position, void* buffer, uint32_t size) {
  for (;;) {
    const ssize_t n = ::pread(Fd(handle), buffer, size, static_cast<off_t>(position));
    if (n >= 0) return n;
    if (errno != EINTR) {
      FailWithErrno();
      return -1;
    }
  }
}

bool CreateNew(const std::string& path, intptr_t& handle, bool& exists) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  exists = fd < 0 && errno == EEXIST;
  return Opened(fd, handle);
}

int64_t WriteSomeAt(intptr_t handle, uint64_t position, const void* buffer, uint32_t size) {
  for (;;) {
    const ssize_t n = ::pwrite(Fd(handle), buffer, size, static_cast<off_t>(position));
    if (n >= 0) return n;
    if (errno != EINTR) {
      FailWithErrno();
      return -1;
    }
  }
}

void WriteBehind(intptr_t handle, uint64_t from, uint64_t to) {
  ::sync_file_range(Fd(handle), static_cast<off_t>(from), static_cast<off_t>(to - from),
                    SYNC_FILE_RANGE_WRITE);
}

bool Flush(intptr_t handle) {
  return ::fsync(Fd(handle)) == 0 || FailWithErrno();
}

int64_t Size(intptr_t handle) {
  struct stat st;
  return ::fstat(Fd(handle), &st) == 0 ? st.st_size : -1;
}

bool Close(intptr_t handle) {
  return ::close(Fd(handle)) == 0 || FailWithErrno();
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SizeOf(const std::string& path, uint64_t& size) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  if (errno != EEXIST) return FailWithErrno();
  struct stat st;
  return (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) || FailWith(FileError::kOther);
}

bool Remove(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT || FailWithErrno();
}

bool RemoveFolder(const std::string& path) {
  return ::rmdir(path.c_str()) == 0 || errno == ENOENT || FailWithErrno();
}

bool Move(const std::string& from, const std::string& to) {
  // The installed file's mode (an executable script stays executable, a
  // private file private). Best effort: without it the file keeps the usual
  // mode.
  struct stat installed;
  if (::stat(to.c_str(), &installed) == 0) ::chmod(from.c_str(), installed.st_mode & 07777);
  return ::rename(from.c_str(), to.c_str()) == 0 || FailWithErrno();
}

bool FoldersNeedSync() {
  return true;
}

// Only '/' separates: any other byte may be part of a name.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool SyncFolder(const std::string& folder) {
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return FailWithErrno();
  const bool synced = ::fsync(dir) == 0 || FailWithErrno();
  ::close(dir);
  return synced;
}

std::string ErrorText(FileError error) {
  switch (error) {
    case FileError::kNone:
      return std::string();
    case FileError::kInUse:
      return std::strerror(EBUSY);
    case FileError::kAccessDenied:
      return std::strerror(EACCES);
    case FileError::kDiskFull:
      return std::strerror(ENOSPC);
    case FileError::kNotFound:
      return std::strerror(ENOENT);
    case FileError::kPathTooLong:
      return std::strerror(ENAMETOOLONG);
    case FileError::kOther:
      break;
  }
  return std::strerror(EIO);
}

std::string UniqueSuffix() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::minstd_rand draw(std::random_device{}() ^ static_cast<unsigned>(::getpid()));
  std::string suffix(6, 'a');
  for (char& c : suffix) c = kLetters[draw() % 36];
  return suffix;
}

}  // namespace os
}  // namespace platform
