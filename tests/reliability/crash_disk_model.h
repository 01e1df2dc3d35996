#pragma once
// What a power cut can leave on disk. The file operations of a run, as the
// file layer recorded them, become operations on files by number, so that a
// rename carries the file's data along and a write lands in the file it was
// made to whatever its name is by then. For a crash after any prefix of them,
// a model of the file system says which operations may have reached the disk:
//
//  - ordered, like ext4 with data=ordered: changes to names (create, rename,
//    delete, new folder) reach the disk in the order they were made, and
//    all of those before the last flush or folder sync have; a file's data
//    has reached the disk up to its last flush, and up to a rename of it
//    that reached the disk; past that any prefix of its writes may be lost.
//  - weak: a file's data lasts only up to its last flush, a change to a
//    name only up to the next sync of its folder; every other operation may
//    or may not have reached the disk, in any combination, and a write that
//    did without the ones before it leaves zeros where they would be.
//
// Every combination of the weak model is too many, so it explores all
// combinations of the last six operations that are not yet durable, with the
// earlier ones all kept or all lost, and 24 seeded random combinations.

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/file_faults.h"

struct CDiskOp {
  enum Kind { kLink, kTruncate, kWrite, kFlush, kRename, kUnlink, kMakeFolder, kSyncFolder };
  Kind kind;
  int file = -1;     // the file written, flushed, linked, renamed or unlinked
  std::string path;  // relative; for a rename its new name
  std::string from;  // a rename's old name
  uint64_t position = 0;
  std::vector<uint8_t> bytes;
};

// A disk's contents below the game folder: files by relative path ('/'
// separated) and folders.
struct CDiskState {
  std::map<std::string, std::vector<uint8_t>> files;
  std::set<std::string> folders;
  // Equal for equal contents: states met twice are judged once.
  std::string Key() const;
};

// Which operations of the first n reached the disk; one flag per operation.
using CPersisted = std::vector<bool>;

class CCrashLog {
 public:
  // `baseline` is what the disk durably held before the run; `root` the
  // game folder's path as the layer saw it, ending with '/'.
  CCrashLog(const CDiskState& baseline, const std::string& root);

  // Adds one recorded event; false, with the reason, for one the model cannot place.
  bool Add(const platform::CFileEvent& event, std::string& why);
  const std::vector<CDiskOp>& Ops() const { return ops_; }

  // What the disk holds when exactly the flagged operations reached it;
  // files in a folder that did not are lost with it.
  CDiskState StateWith(const CPersisted& persisted) const;

  // The states a crash after the first n operations may leave.
  std::vector<CPersisted> OrderedCrashes(size_t n) const;
  std::vector<CPersisted> WeakCrashes(size_t n, std::mt19937& random) const;

 private:
  bool Relative(const std::string& path, std::string& relative) const;
  // The index past the last flush of the file (0 when none) among the first n.
  size_t FlushedUpTo(int file, size_t n) const;

  std::string root_;
  CDiskState baseline_;
  std::map<std::string, int> names_;  // names as the run left them, while adding
  std::set<std::string> folders_;
  int files_ = 0;
  std::vector<CDiskOp> ops_;
};
