#include "builder/stamp_release.h"

#include "builder/release_limits.h"
#include "builder/show_release.h"
#include "pe/exe_output.h"
#include "platform/command_line.h"

std::string DefaultStubPath() {
  const std::string folder = ToolFolder();
  return (folder.empty() ? "./" : folder) + "QelPatch-stub.exe";
}

bool StampReleaseFile(const std::string& stubPath, const std::string& releasePath,
                      const std::string& exePath, uint32_t codePage, std::string* why) {
  CMappedFile release;
  if (!release.Open(releasePath, why)) return false;
  if (LooksLikeExe(release.Data(), release.Size())) {
    if (why) *why = releasePath + ": a program, not a release";
    return false;
  }
  if (!CheckRelease(releasePath, release.Data(), release.Size(), codePage, kReleaseSizeLimit,
                    nullptr, why))
    return false;
  CExeOutput exe;
  if (!exe.Open(stubPath, exePath, why)) return false;
  if (!exe.Write(release.Data(), release.Size())) {
    if (why) *why = exe.Error();
    return false;
  }
  return exe.Commit(why);
}
