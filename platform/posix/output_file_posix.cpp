// The output file's calls on POSIX: mkstemp beside the target, fsync, rename.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/utf8_system.h"

namespace output_os {
namespace {
constexpr size_t kLongestPath = 4000;

int Fd(Handle file) {
  return static_cast<int>(file);
}

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

bool CreateBeside(const std::string& path, std::string& temporary, Handle& file, int& error) {
  std::string pattern = FolderOf(path) + "/." + BaseName(path) + ".XXXXXX";
  if (pattern.size() >= kLongestPath) {
    error = ENAMETOOLONG;
    return false;
  }
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    error = errno;
    return false;
  }
  // mkstemp makes the file private; a release is an ordinary file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  temporary = name.data();
  file = fd;
  return true;
}

bool WriteAll(Handle file, const uint8_t* data, size_t size, int& error) {
  while (size != 0) {
    const ssize_t written = ::write(Fd(file), data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = written < 0 ? errno : EIO;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool WriteAt(Handle file, uint64_t position, const uint8_t* data, size_t size, int& error) {
  while (size != 0) {
    const ssize_t written = ::pwrite(Fd(file), data, size, static_cast<off_t>(position));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = written < 0 ? errno : EIO;
      return false;
    }
    data += written;
    position += static_cast<uint64_t>(written);
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool SyncAndClose(Handle file, int& error) {
  bool ok = fsync(Fd(file)) == 0;
  if (!ok) error = errno;
  if (close(Fd(file)) != 0 && ok) {
    error = errno;
    ok = false;
  }
  return ok;
}

void Close(Handle file) {
  close(Fd(file));
}

bool RenameOver(const std::string& from, const std::string& to, int& error) {
  if (rename(from.c_str(), to.c_str()) == 0) return true;
  error = errno;
  return false;
}

void Remove(const std::string& path) {
  unlink(path.c_str());
}

std::string ErrorText(int error) {
  return std::strerror(error != 0 ? error : EIO);
}

}  // namespace output_os
