#pragma once
// What a player reads on the status line when a run fails: which file could
// not be patched and why, in words that say what to do about it, short
// enough for the window's one line.

#include <string>

#include "platform/files.h"

enum class CFailureCause {
  kInUse,             // another program holds the file
  kInUseOrProtected,  // the file cannot be replaced: in use, or protected from changes
  kNoPermission,      // the game folder or the file may not be changed
  kDiskFull,
  kPathTooLong,
  kDiskError,      // a read or write error of the disk
  kFolderMissing,  // the game folder (or one of its folders) does not exist
  kMissing,        // the installed file the patch rebuilds from is not there
  kNotExpectedVersion,
  kDamaged,           // the patch data does not rebuild what it promises
  kInstalledDamaged,  // the installed bytes the patch copies are not the release's
};

// A release whose bytes or sizes do not hold together: the download.
extern const char kDamagedRelease[];
// A run stopped (an interrupt) before it installed anything.
extern const char kStoppedRun[];
// A run stopped before it installed anything more: kStoppedRun, or, once
// earlier steps brought the game to `reached`, which version it holds.
std::string StoppedRunReason(const std::string& reached);

// The cause behind a failed file operation.
CFailureCause CauseOf(platform::FileError error);

// "data/map.pkg: in use by another program".
std::string FileFailure(const std::string& name, CFailureCause cause);

// The line shown while an operation waits for another program to let go.
std::string WaitingFor(const std::string& name);
