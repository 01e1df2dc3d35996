#include "builder/stamp_release.h"

#include "base/refusal.h"
#include "builder/program_look.h"
#include "builder/release_input.h"
#include "pe/exe_output.h"
#include "platform/command_line.h"

std::string DefaultStubPath() {
  const std::string folder = ToolFolder();
  return (folder.empty() ? "./" : folder) + "QelPatch-stub.exe";
}

bool StampReleaseFile(const CBuildOptions& options, std::string* why) {
  CProgramLook look;
  if (!LoadProgramLook(options, look, why)) return false;
  CReleaseInput release;
  if (!OpenReleaseInput(options.stamped, options.codePage, release, why)) return false;
  if (release.program)
    return Refuse(why, options.stamped +
                           ": a program, not a release: it carries its release already; stamp "
                           "the release file");
  CExeOutput exe;
  if (!exe.Open(options.stubPath, options.exePath, options.program, look, why)) return false;
  if (!exe.Write(release.data, release.size)) return Refuse(why, exe.Error());
  return exe.Commit(why);
}
