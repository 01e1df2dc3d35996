// qelpatch-build: makes the patch release that turns an old game folder into
// a new one, and shows what a release holds.
//
//   qelpatch-build OLD_DIR NEW_DIR [-o RELEASE] [--exe OUT.exe] [--stub STUB]
//                  [--name-code-page N]
//   qelpatch-build --stamp RELEASE --exe OUT.exe [--stub STUB] [--name-code-page N]
//   qelpatch-build --show RELEASE|EXE [--name-code-page N]
//   qelpatch-build --version
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/version.h"
#include "builder/progress_bar.h"
#include "builder/release_builder.h"
#include "builder/release_limits.h"
#include "builder/show_release.h"
#include "builder/stamp_release.h"
#include "container/name_code_page.h"
#include "pe/exe_output.h"
#include "platform/atomic_output.h"
#include "platform/command_line.h"

namespace {
constexpr int kBadInput = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "usage: qelpatch-build OLD_DIR NEW_DIR [-o RELEASE] [--exe OUT.exe] [--stub STUB]\n"
    "                      [--name-code-page N] [--whole PATTERN]...\n"
    "       qelpatch-build --stamp RELEASE --exe OUT.exe [--stub STUB] [--name-code-page N]\n"
    "       qelpatch-build --show RELEASE|EXE [--name-code-page N]\n"
    "       qelpatch-build --version\n"
    "\n"
    "Makes the patch release that turns the game in OLD_DIR into the game in\n"
    "NEW_DIR: with -o as a release file, with --exe as the QelPatch.exe that\n"
    "players run (both when both are given). --stamp makes QelPatch.exe from a\n"
    "release file. --show checks and lists the entries of a release, or of the\n"
    "release inside a QelPatch.exe. The program is made from the stub\n"
    "QelPatch-stub.exe beside qelpatch-build, or the one --stub names.\n"
    "\n"
    "File names must be ASCII, unless --name-code-page gives the ANSI code page\n"
    "of the players' Windows (932, 936, 949, 950, 1250-1258): names are then\n"
    "written for that code page, and a release made so is for those players.\n"
    "\n"
    "A file whose whole form is under 64 KiB (settings, scripts, texts) travels\n"
    "whole, so that a player's own edits of it never stop the patch; --whole\n"
    "sends the files it names whole too, packages included. PATTERN is a path\n"
    "below the game folder with '/' between folders, '*' and '?' within one\n"
    "part, '**' across parts, letter case aside; it may be given again.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "qelpatch-build: %s\n", message.c_str());
  return kBadInput;
}

int Usage(const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "qelpatch-build: %s\n", message.c_str());
  std::fputs(kUsageText, stderr);
  return kUsage;
}

int Show(const std::string& path, const CNameEncoder& encoder) {
  std::string listing;
  std::string why;
  if (!ShowRelease(path, encoder, kReleaseSizeLimit, listing, &why)) return Fail(why);
  std::fputs(listing.c_str(), stdout);
  return 0;
}

// The outputs asked for, each whole or not at all.
struct COutputs {
  std::string releasePath;
  std::string exePath;
  std::string stubPath;
};

int Build(const std::string& oldFolder, const std::string& newFolder, const COutputs& outputs,
          const CNameEncoder& encoder, const std::vector<std::string>& whole) {
  std::string why;
  // The stub is checked before anything is read or written.
  CExeOutput exe;
  const bool toExe = !outputs.exePath.empty();
  if (toExe && !exe.Open(outputs.stubPath, outputs.exePath, &why)) return Fail(why);
  CReleaseBuilder builder;
  builder.SendWhole(whole);
  if (!builder.Prepare(oldFolder, newFolder, encoder, &why)) return Fail(why);

  CAtomicOutput file;
  const bool toFile = !outputs.releasePath.empty();
  if (toFile && !file.Open(outputs.releasePath, &why)) return Fail(why);
  std::string sinkError;
  const CByteSink sink = [&](const uint8_t* data, size_t count) {
    if (toFile && !file.Write(data, count)) sinkError = file.Error();
    if (toExe && !exe.Write(data, count)) sinkError = exe.Error();
    return sinkError.empty();
  };
  CContainerStream stream(sink);
  CProgressBar progress(StandardErrorIsTerminal());
  // The entry count is known at the end; it then takes the place of a zero.
  const bool written =
      stream.Begin(0, &why) && builder.Write(stream, kReleaseSizeLimit, progress, &why);
  progress.Finish();
  if (!written) return Fail(sinkError.empty() ? why : sinkError);
  // The manifest follows the container, so the patcher can check both.
  const std::vector<uint8_t> manifest = ManifestBytes(builder.Manifest(stream.Digests()));
  if (!sink(manifest.data(), manifest.size())) return Fail(sinkError);
  uint8_t count[4];
  CContainerStream::CountBytes(stream.Count(), count);
  if (toFile && !file.Overwrite(0, count, sizeof count)) return Fail(file.Error());
  if (toExe && !exe.Overwrite(0, count, sizeof count)) return Fail(exe.Error());
  if (toFile && !file.Commit(&why)) return Fail(why);
  if (toExe && !exe.Commit(&why)) return Fail(why);

  for (const std::string& warning : builder.Warnings())
    std::fprintf(stderr, "qelpatch-build: warning: %s\n", warning.c_str());
  if (!builder.Removed().empty()) {
    std::fprintf(stderr,
                 "qelpatch-build: warning: a release cannot remove files; these files of %s are "
                 "not in %s and stay installed:\n",
                 oldFolder.c_str(), newFolder.c_str());
    for (const std::string& name : builder.Removed()) std::fprintf(stderr, "  %s\n", name.c_str());
  }
  const CReleaseCounts& counts = builder.Counts();
  const std::string made = toFile && toExe ? outputs.releasePath + ", " + outputs.exePath
                           : toFile        ? outputs.releasePath
                                           : outputs.exePath;
  std::printf("%s: %u deltas, %u whole packages, %u archives; %u files unchanged\n", made.c_str(),
              counts.deltas, counts.wholePackages, counts.archives, counts.unchanged);
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args = CommandLineArguments(argc, argv);
  if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
    std::fputs(kUsageText, stdout);
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::printf("qelpatch-build %s\n", QELPATCH_VERSION);
    return 0;
  }
  std::vector<std::string> folders;
  COutputs outputs;
  std::string show;
  std::string stamp;
  uint32_t codePage = 0;
  std::vector<std::string> whole;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" || args[i] == "--show" || args[i] == "--exe" || args[i] == "--stamp" ||
        args[i] == "--stub") {
      std::string& value = args[i] == "-o"        ? outputs.releasePath
                           : args[i] == "--show"  ? show
                           : args[i] == "--exe"   ? outputs.exePath
                           : args[i] == "--stamp" ? stamp
                                                  : outputs.stubPath;
      if (i + 1 == args.size()) return Usage(args[i] + " needs a file name");
      if (!value.empty()) return Usage(args[i] + " given twice");
      value = args[++i];
    } else if (args[i] == "--whole") {
      if (i + 1 == args.size()) return Usage("--whole needs a pattern");
      whole.push_back(args[++i]);
    } else if (args[i] == "--name-code-page") {
      char* end = nullptr;
      codePage = i + 1 < args.size() ? std::strtoul(args[i + 1].c_str(), &end, 10) : 0;
      if (codePage == 0 || *end != '\0' || !CNameEncoder::IsSupported(codePage))
        return Usage("--name-code-page takes 932, 936, 949, 950 or 1250-1258");
      ++i;
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return Usage("unknown option " + args[i]);
    } else {
      folders.push_back(args[i]);
    }
  }
  const CNameEncoder encoder(codePage);
  if (outputs.stubPath.empty()) outputs.stubPath = DefaultStubPath();
  if (!show.empty()) {
    if (!folders.empty() || !outputs.releasePath.empty() || !outputs.exePath.empty() ||
        !stamp.empty())
      return Usage("--show takes one release or program");
    return Show(show, encoder);
  }
  if (!stamp.empty()) {
    if (!folders.empty() || !outputs.releasePath.empty())
      return Usage("--stamp takes one release and --exe");
    if (outputs.exePath.empty()) return Usage("give the program to write with --exe");
    std::string why;
    if (!StampReleaseFile(outputs.stubPath, stamp, outputs.exePath, encoder.CodePage(), &why))
      return Fail(why);
    std::printf("%s: QelPatch.exe carrying %s\n", outputs.exePath.c_str(), stamp.c_str());
    return 0;
  }
  if (folders.size() != 2) return Usage("give the old and the new game folder");
  if (outputs.releasePath.empty() && outputs.exePath.empty())
    return Usage("give the release to write with -o, or the program with --exe");
  return Build(folders[0], folders[1], outputs, encoder, whole);
}
