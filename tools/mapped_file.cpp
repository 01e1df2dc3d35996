#include "tools/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

const uint8_t CMappedFile::kEmpty = 0;

CMappedFile::~CMappedFile() {
  if (mapping_) munmap(mapping_, static_cast<size_t>(size_));
}

bool CMappedFile::Open(const std::string& path, std::string* why) {
  path_ = path;
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
  size_ = static_cast<uint64_t>(info.st_size);
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
  }
  close(fd);
  return true;
}
