#include "tools/atomic_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/interrupt_cleanup.h"

namespace {
constexpr size_t kBufferSize = 1 << 20;
constexpr size_t kLongestPath = 4000;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

CAtomicOutput::~CAtomicOutput() {
  Discard();
}

bool CAtomicOutput::Open(const std::string& path, std::string* why) {
  path_ = path;
  std::string pattern = FolderOf(path) + "/." + BaseName(path) + ".XXXXXX";
  if (pattern.size() >= kLongestPath) {
    if (why) *why = path + ": path too long";
    return false;
  }
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = mkstemp(name.data());
  if (fd_ < 0) {
    if (why) *why = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  temporary_ = name.data();
  InstallInterruptCleanup();
  pendingSlot_ = AddPendingOutput(temporary_);
  // mkstemp makes the file private; a release is an ordinary file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd_, 0666 & ~mask);
  buffer_.reserve(kBufferSize);
  return true;
}

bool CAtomicOutput::Write(const uint8_t* data, size_t size) {
  if (fd_ < 0 || error_ != 0) return false;
  if (buffer_.size() + size <= kBufferSize) {
    buffer_.insert(buffer_.end(), data, data + size);
    return true;
  }
  if (!Drain()) return false;
  if (size < kBufferSize) {
    buffer_.insert(buffer_.end(), data, data + size);
    return true;
  }
  // Large pieces (payload from a mapped file) go out without a copy.
  while (size != 0) {
    const ssize_t written = ::write(fd_, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error_ = written < 0 ? errno : EIO;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool CAtomicOutput::Overwrite(uint64_t position, const uint8_t* data, size_t size) {
  if (fd_ < 0 || error_ != 0 || !Drain()) return false;
  while (size != 0) {
    const ssize_t written = ::pwrite(fd_, data, size, static_cast<off_t>(position));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error_ = written < 0 ? errno : EIO;
      return false;
    }
    data += written;
    position += static_cast<uint64_t>(written);
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool CAtomicOutput::Drain() {
  size_t at = 0;
  while (at < buffer_.size()) {
    const ssize_t written = ::write(fd_, buffer_.data() + at, buffer_.size() - at);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error_ = written < 0 ? errno : EIO;
      return false;
    }
    at += static_cast<size_t>(written);
  }
  buffer_.clear();
  return true;
}

bool CAtomicOutput::Commit(std::string* why) {
  bool ok = fd_ >= 0 && error_ == 0 && Drain() && fsync(fd_) == 0;
  if (!ok && error_ == 0) error_ = errno;
  if (fd_ >= 0 && close(fd_) != 0 && ok) {
    error_ = errno;
    ok = false;
  }
  fd_ = -1;
  if (ok && rename(temporary_.c_str(), path_.c_str()) != 0) {
    error_ = errno;
    ok = false;
  }
  if (!ok) {
    if (why) *why = Error();
    Discard();
    return false;
  }
  temporary_.clear();
  RemovePendingOutput(pendingSlot_);
  pendingSlot_ = -1;
  return true;
}

std::string CAtomicOutput::Error() const {
  return "cannot write " + path_ + ": " + std::strerror(error_ ? error_ : EIO);
}

void CAtomicOutput::Discard() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
  RemovePendingOutput(pendingSlot_);
  pendingSlot_ = -1;
}
