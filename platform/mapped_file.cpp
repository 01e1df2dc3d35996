// The portable half of the mapped file: the test seams asked around the
// system's mapping (posix/, win32/).
#include "platform/mapped_file.h"

#include "base/refusal.h"
#include "platform/file_faults.h"

bool CMappedFile::Open(const std::string& path, std::string* why) {
  path_ = path;
  std::string injected = platform::InjectedFailure(platform::FileOp::Open, path);
  if (!injected.empty()) return Refuse(why, "cannot open " + path + ": " + injected);
  if (!Map(path, why)) return false;
  injected = platform::InjectedFailure(platform::FileOp::Map, path);
  return injected.empty() || Refuse(why, "cannot read " + path + ": " + injected);
}
