#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/file_faults.h"
#include "platform/platform.h"

namespace platform {
namespace {
constexpr uint64_t kWriteBehind = 8 << 20;
}  // namespace

CFile::~CFile() {
  Close();
}

bool CFile::OpenRead(const std::string& path) {
  Close();
  if (CheckFileFault(FileOp::Open, path) != Fault::None) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  handle_ = fd;
  path_ = path;
  return true;
}

bool CFile::Create(const std::string& path) {
  Close();
  if (CheckFileFault(FileOp::Create, path) != Fault::None) return false;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  handle_ = fd;
  path_ = path;
  written_ = writeBack_ = 0;
  return true;
}

int64_t CFile::ReadAt(uint64_t position, void* buffer, uint32_t size) {
  if (!IsOpen() || CheckFileFault(FileOp::Read, path_) != Fault::None) return -1;
  if (position > static_cast<uint64_t>(INT64_MAX)) return 0;
  if (::lseek(static_cast<int>(handle_), static_cast<off_t>(position), SEEK_SET) < 0) return -1;
  return Read(buffer, size);
}

int64_t CFile::Read(void* buffer, uint32_t size) {
  if (!IsOpen()) return -1;
  auto* out = static_cast<unsigned char*>(buffer);
  uint32_t got = 0;
  while (got < size) {
    ssize_t n = ::read(static_cast<int>(handle_), out + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<uint32_t>(n);
  }
  return got;
}

bool CFile::Write(const void* buffer, uint32_t size) {
  if (!IsOpen()) return false;
  Fault fault = CheckFileFault(FileOp::Write, path_);
  if (fault == Fault::Error) return false;
  if (fault == Fault::ShortWrite) size /= 2;
  auto* in = static_cast<const unsigned char*>(buffer);
  uint32_t put = 0;
  while (put < size) {
    ssize_t n = ::write(static_cast<int>(handle_), in + put, size - put);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
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
  if (!IsOpen() || CheckFileFault(FileOp::Flush, path_) != Fault::None) return false;
  return ::fsync(static_cast<int>(handle_)) == 0;
}

int64_t CFile::Size() {
  struct stat st;
  if (!IsOpen() || ::fstat(static_cast<int>(handle_), &st) != 0) return -1;
  return st.st_size;
}

bool CFile::Close() {
  if (!IsOpen()) return true;
  bool injected = CheckFileFault(FileOp::Close, path_) != Fault::None;
  bool ok = ::close(static_cast<int>(handle_)) == 0;
  handle_ = kClosed;
  return ok && !injected;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool CreateFolder(const std::string& path) {
  if (CheckFileFault(FileOp::CreateFolder, path) != Fault::None) return false;
  if (::mkdir(path.c_str(), 0755) == 0) return true;
  struct stat st;
  return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& path) {
  if (CheckFileFault(FileOp::Delete, path) != Fault::None) return false;
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  if (CheckFileFault(FileOp::Replace, to) != Fault::None) return false;
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  // Make the new directory entry durable too.
  std::string folder = to.substr(0, to.find_last_of('/') + 1);
  int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace platform
