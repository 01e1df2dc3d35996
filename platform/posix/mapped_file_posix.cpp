// Inputs mapped with mmap; a SIGBUS from one that shrinks names it
// (interrupt_cleanup_posix.cpp).
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/interrupt_cleanup.h"
#include "platform/mapped_file.h"

const uint8_t CMappedFile::kEmpty = 0;

namespace {
CFileIdentity IdentityOf(const struct stat& info) {
  CFileIdentity identity;
  identity.device = static_cast<uint64_t>(info.st_dev);
  identity.inode = static_cast<uint64_t>(info.st_ino);
  identity.size = static_cast<uint64_t>(info.st_size);
  identity.modified = int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
  identity.changed = int64_t{info.st_ctim.tv_sec} * 1000000000 + info.st_ctim.tv_nsec;
  return identity;
}
}  // namespace

CMappedFile::~CMappedFile() {
  UnregisterMapping(slot_);
  if (mapping_) munmap(mapping_, static_cast<size_t>(size_));
}

bool CMappedFile::Map(const std::string& path, std::string* why) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (why) *why = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    if (why) *why = "cannot read " + path + ": not a regular file";
    close(fd);
    return false;
  }
  identity_ = IdentityOf(info);
  size_ = identity_.size;
  if (size_ != 0) {
    void* mapping = mmap(nullptr, static_cast<size_t>(size_), PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapping == MAP_FAILED) {
      if (why) *why = "cannot read " + path + ": " + std::strerror(errno);
      size_ = 0;
      close(fd);
      return false;
    }
    mapping_ = mapping;
    data_ = static_cast<const uint8_t*>(mapping);
    slot_ = RegisterMapping(mapping, static_cast<size_t>(size_), path);
  }
  close(fd);
  return true;
}

bool CMappedFile::Unchanged(std::string* why) const {
  struct stat info;
  if (stat(path_.c_str(), &info) == 0 && IdentityOf(info) == identity_) return true;
  if (why) *why = ChangedWhileRead(path_);
  return false;
}
