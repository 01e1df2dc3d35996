#pragma once
// A whole file mapped read-only into memory. The builder reads old and new
// game files through this: packages of a gigabyte are neither copied nor held
// in the heap, and payload bytes go from the mapping straight to the release.
// A file is mapped only while its entry is made, so a game of any number of
// files stays far from the system's limit of mappings. Paths are UTF-8.

#include <cstdint>
#include <string>

// What tells whether a file was changed: its size, times and inode. The
// change time moves with every write, also when the modification time is set
// back.
struct CFileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modified = 0;  // nanoseconds
  int64_t changed = 0;   // nanoseconds
  bool operator==(const CFileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified == other.modified && changed == other.changed;
  }
};

// Why a build stops when an input changed while it was read.
inline std::string ChangedWhileRead(const std::string& path) {
  return path +
         ": the file changed while the release was being built; build again when the game "
         "folders are complete";
}

class CMappedFile {
 public:
  CMappedFile() = default;
  ~CMappedFile();
  CMappedFile(const CMappedFile&) = delete;
  CMappedFile& operator=(const CMappedFile&) = delete;

  // False, with `why` naming the path and the reason, when the file cannot
  // be opened or mapped.
  bool Open(const std::string& path, std::string* why);

  // Never null, also for an empty file.
  const uint8_t* Data() const { return data_; }
  uint64_t Size() const { return size_; }
  const std::string& Path() const { return path_; }

  // False, with `why`, when the file at the path is no longer the one that
  // was opened and read: changed, replaced or removed since.
  bool Unchanged(std::string* why) const;

 private:
  // The system's half of Open (posix/, win32/).
  bool Map(const std::string& path, std::string* why);

  const uint8_t* data_ = &kEmpty;
  uint64_t size_ = 0;
  void* mapping_ = nullptr;
  int slot_ = -1;
  CFileIdentity identity_;
  std::string path_;
  static const uint8_t kEmpty;
};
