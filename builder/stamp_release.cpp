#include "builder/stamp_release.h"

#include "base/refusal.h"
#include "builder/release_input.h"
#include "pe/exe_output.h"
#include "platform/command_line.h"

std::string DefaultStubPath() {
  const std::string folder = ToolFolder();
  return (folder.empty() ? "./" : folder) + "QelPatch-stub.exe";
}

bool StampReleaseFile(const std::string& stubPath, const std::string& releasePath,
                      const std::string& exePath, uint32_t codePage, const CProgramVersion& version,
                      std::string* why) {
  CReleaseInput release;
  if (!OpenReleaseInput(releasePath, codePage, release, why)) return false;
  if (release.program)
    return Refuse(why, releasePath +
                           ": a program, not a release: it carries its release already; stamp "
                           "the release file");
  CExeOutput exe;
  if (!exe.Open(stubPath, exePath, version, why)) return false;
  if (!exe.Write(release.data, release.size)) return Refuse(why, exe.Error());
  return exe.Commit(why);
}
