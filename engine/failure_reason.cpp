#include "engine/failure_reason.h"

namespace {
const char* Words(CFailureCause cause) {
  switch (cause) {
    case CFailureCause::kInUse:
      return "in use by another program";
    case CFailureCause::kInUseOrProtected:
      return "in use by another program or write-protected";
    case CFailureCause::kNoPermission:
      return "no write permission in the game folder";
    case CFailureCause::kDiskFull:
      return "not enough disk space";
    case CFailureCause::kPathTooLong:
      return "its path is too long";
    case CFailureCause::kDiskError:
      return "the disk reported an error";
    case CFailureCause::kFolderMissing:
      return "its folder does not exist";
    case CFailureCause::kMissing:
      return "the installed file is missing";
    case CFailureCause::kNotExpectedVersion:
      return "not the version this patch expects";
    case CFailureCause::kDamaged:
      return "the patch data is damaged";
    case CFailureCause::kInstalledDamaged:
      return "the installed file is damaged; repair or reinstall the game";
  }
  return "";
}
}  // namespace

const char kDamagedRelease[] = "The patch data is damaged; download the patch again";
const char kStoppedRun[] = "The patch was stopped before it changed the game";

std::string StoppedRunReason(const std::string& reached) {
  if (reached.empty()) return kStoppedRun;
  return "The patch was stopped with the game at version " + reached + "; run it again to finish";
}

CFailureCause CauseOf(platform::FileError error) {
  switch (error) {
    case platform::FileError::kInUse:
      return CFailureCause::kInUse;
    case platform::FileError::kAccessDenied:
      return CFailureCause::kNoPermission;
    case platform::FileError::kDiskFull:
      return CFailureCause::kDiskFull;
    case platform::FileError::kPathTooLong:
      return CFailureCause::kPathTooLong;
    case platform::FileError::kNotFound:
      return CFailureCause::kFolderMissing;
    case platform::FileError::kNone:
    case platform::FileError::kOther:
      break;
  }
  return CFailureCause::kDiskError;
}

std::string FileFailure(const std::string& name, CFailureCause cause) {
  return name + ": " + Words(cause);
}

std::string WaitingFor(const std::string& name) {
  return "Waiting for " + name + ": in use by another program";
}
