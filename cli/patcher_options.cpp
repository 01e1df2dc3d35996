#include "cli/patcher_options.h"

#include "base/refusal.h"
#include "pe/exe_stamp.h"

const char kPatcherUsage[] =
    "usage: " QELPATCH_PATCHER_NAME
    " [--release FILE] [--game DIR]\n"
    "       " QELPATCH_PATCHER_NAME
    " --help | --version\n"
    "\n"
    "Applies a patch release to a game folder, as QelPatch.exe does on Windows.\n"
    "--release names a release file or a QelPatch.exe (signed or not) to apply\n"
    "instead of the release this program carries; --game names the game folder.\n"
    "Without --game the folder is the one QELPATCH_INSTALL_PATH names (the folder\n"
    "or a file in it), or else the one typed at the prompt. Files that differ\n"
    "from what the release expects are asked about on standard input.\n";

bool ParsePatcherOptions(const std::vector<std::string>& args, CPatcherOptions& options,
                         std::string* why) {
  options = CPatcherOptions();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const size_t equals = arg.compare(0, 2, "--") == 0 ? arg.find('=') : std::string::npos;
    const std::string name = arg.substr(0, equals);
    if (name == "--help" || name == "-h" || name == "--version") {
      if (equals != std::string::npos) return Refuse(why, name + " takes no value");
      (name == "--version" ? options.version : options.help) = true;
      continue;
    }
    if (name != "--release" && name != "--game")
      return Refuse(why, arg.size() > 1 && arg[0] == '-' ? "unknown option " + name
                                                         : "unexpected argument " + arg);
    std::string& value = name == "--release" ? options.release : options.game;
    if (!value.empty()) return Refuse(why, name + " given twice");
    value = equals != std::string::npos ? arg.substr(equals + 1)
            : i + 1 < args.size()       ? args[++i]
                                        : std::string();
    if (value.empty())
      return Refuse(why, name + (name == "--release" ? " needs a file name" : " needs a folder"));
  }
  return true;
}

bool CChosenRelease::Open(const std::string& path, std::string* why) {
  return file_.Open(path, why);
}

bool CChosenRelease::FindRelease(std::string* why) {
  const std::string& path = file_.Path();
  if (file_.Size() > UINT32_MAX)
    return Refuse(why, path + ": 4 GiB or more, larger than any release");
  std::string reason;
  switch (FormOfReleaseFile(file_.Data(), file_.Size(), data_, size_, &reason)) {
    case CReleaseFileForm::kProgram:
      return true;
    case CReleaseFileForm::kOtherProgram:
      return Refuse(why, path + ": " + reason);
    case CReleaseFileForm::kReleaseFile:
      break;
  }
  data_ = file_.Data();
  size_ = static_cast<uint32_t>(file_.Size());
  return true;
}
