// The output file's calls on POSIX: mkstemp beside the target, fsync,
// rename, and the folder synced as the patcher's replace syncs it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/refusal.h"
#include "platform/file_os.h"
#include "platform/output_file_os.h"

namespace output_os {
namespace {
constexpr size_t kLongestPath = 4000;

int Fd(Handle file) {
  return static_cast<int>(file);
}

bool RefuseWithErrno(std::string* why, int error = errno) {
  return Refuse(why, std::strerror(error));
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

bool CreateBeside(const std::string& path, std::string& temporary, Handle& file, std::string* why) {
  std::string pattern = platform::os::FolderOf(path) + "/." + BaseName(path) + ".XXXXXX";
  if (pattern.size() >= kLongestPath) return RefuseWithErrno(why, ENAMETOOLONG);
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) return RefuseWithErrno(why);
  // mkstemp makes the file private; a release is an ordinary file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  temporary = name.data();
  file = fd;
  return true;
}

bool WriteAll(Handle file, const uint8_t* data, size_t size, std::string* why) {
  while (size != 0) {
    const ssize_t written = ::write(Fd(file), data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return RefuseWithErrno(why, written < 0 ? errno : EIO);
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool WriteAt(Handle file, uint64_t position, const uint8_t* data, size_t size, std::string* why) {
  while (size != 0) {
    const ssize_t written = ::pwrite(Fd(file), data, size, static_cast<off_t>(position));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return RefuseWithErrno(why, written < 0 ? errno : EIO);
    data += written;
    position += static_cast<uint64_t>(written);
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool SyncAndClose(Handle file, std::string* why) {
  const bool synced = fsync(Fd(file)) == 0 || RefuseWithErrno(why);
  // The first failure is the one told.
  if (close(Fd(file)) != 0 && synced) return RefuseWithErrno(why);
  return synced;
}

void Close(Handle file) {
  close(Fd(file));
}

// The new name lasts only once the folder is synced: the patcher's own sync
// (file_posix.cpp), which leaves errno as the failed fsync set it.
bool RenameOver(const std::string& from, const std::string& to, std::string* why) {
  if (rename(from.c_str(), to.c_str()) != 0) return RefuseWithErrno(why);
  return platform::os::SyncFolder(platform::os::FolderOf(to)) || RefuseWithErrno(why);
}

void Remove(const std::string& path) {
  unlink(path.c_str());
}

}  // namespace output_os
