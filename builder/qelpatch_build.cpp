// qelpatch-build: makes the patch release that turns an old game folder into
// a new one, checks it, and shows what a release holds.
#include <cstdio>
#include <string>

#include "base/version.h"
#include "builder/build_options.h"
#include "builder/build_release.h"
#include "builder/program_look.h"
#include "builder/progress_bar.h"
#include "builder/release_limits.h"
#include "builder/review_format.h"
#include "builder/show_release.h"
#include "builder/stamp_release.h"
#include "builder/task_paths.h"
#include "builder/verify_release_file.h"
#include "container/name_code_page.h"
#include "platform/command_line.h"
#include "platform/interrupt_cleanup.h"

namespace {
constexpr int kBadInput = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "usage: qelpatch-build OLD_DIR... NEW_DIR [-o RELEASE] [--exe OUT.exe] [--stub STUB]\n"
    "                      [--name-code-page N] [--whole PATTERN]... [--delta PATTERN]...\n"
    "                      [--exclude PATTERN]... [--keep PATTERN]...\n"
    "                      [--from-version TEXT]... [--to-version TEXT]\n"
    "                      [--follow-links] [--force] [--no-verify] [--uncompressed]\n"
    "                      [--quiet | --verbose]\n"
    "                      [--product-name TEXT] [--product-version A.B.C.D]\n"
    "                      [--title TEXT] [--background FILE.bmp] [--icon FILE.ico]\n"
    "                      [--registry-value 'HKLM\\KEY\\VALUE']\n"
    "       qelpatch-build --stamp RELEASE --exe OUT.exe [--stub STUB] [--force]\n"
    "                      [--product-name TEXT] [--product-version A.B.C.D]\n"
    "                      [--title TEXT] [--background FILE.bmp] [--icon FILE.ico]\n"
    "                      [--registry-value 'HKLM\\KEY\\VALUE']\n"
    "       qelpatch-build --show RELEASE|EXE [--json] [--stub STUB]\n"
    "       qelpatch-build --verify OLD_DIR... NEW_DIR RELEASE|EXE [--exclude PATTERN]...\n"
    "       qelpatch-build --help | --version | -V\n"
    "\n"
    "Makes the patch release that turns the game in OLD_DIR into the game in\n"
    "NEW_DIR: with -o as a release file, with --exe as the QelPatch.exe that\n"
    "players run (both when both are given), then applies it to a scratch copy\n"
    "of OLD_DIR and compares the result with NEW_DIR (--no-verify skips that).\n"
    "The release carries its container compressed, as streams of its parts with\n"
    "payload as differences from the installed files where that pays, whenever\n"
    "that makes it smaller and QelPatch.exe can still load it; --uncompressed\n"
    "carries it as it is (archives deflated), quicker to build and larger to\n"
    "download.\n"
    "--stamp makes QelPatch.exe from a release file. --show checks a release,\n"
    "or the release inside a QelPatch.exe (signed or not), as the patcher will\n"
    "and reviews its entries; --json prints that as one JSON document. --verify\n"
    "checks that a release turns OLD_DIR into NEW_DIR. The program is made from\n"
    "the stub QelPatch-stub.exe beside qelpatch-build, or the one --stub names;\n"
    "--product-name and --product-version set what its properties show.\n"
    "\n"
    "Given several old folders (the oldest first), the release brings each of\n"
    "them to NEW_DIR, one step from each folder to the next, and the patcher\n"
    "starts at the step of the version it finds installed. --from-version\n"
    "(once per old folder, in their order) and --to-version name the versions\n"
    "players read; by default each folder's name. A file of an old folder that\n"
    "the next one lacks is removed, unless --keep names it.\n"
    "\n"
    "A studio ships the program as its own game's: --title names its window and\n"
    "its closing message box; --background gives its window's picture, a BMP of\n"
    "366x426 pixels, 24 bits per pixel, uncompressed (the window above, the\n"
    "same with the bar's track at (17, 173, 349, 198) filled below); --icon its\n"
    "icon; --registry-value the value its game's installer writes the game's\n"
    "folder (or a file in it) to, HKLM\\ or HKCU\\ (or HKEY_LOCAL_MACHINE\\,\n"
    "HKEY_CURRENT_USER\\), the key, the value's name, in the 32-bit view. Without\n"
    "it the program reads HKLM\\SOFTWARE\\KESTA\\Quelvane\\Destination, or\n"
    "HKLM\\SOFTWARE\\morv\\quelvane\\Loader where the system's language is 0x0804.\n"
    "\n"
    "Outputs must lie outside the game folders, and an existing one is\n"
    "replaced only with --force (-f). Symbolic links in the game folders are\n"
    "refused, unless --follow-links takes those that stay inside their folder.\n"
    "\n"
    "File names must be ASCII, unless --name-code-page gives the ANSI code page\n"
    "of the players' Windows (932, 936, 949, 950, 1250-1258): names are then\n"
    "written for that code page, and a release made so is for those players.\n"
    "\n"
    "Settings and text files (*.ini, *.cfg, *.conf, *.txt in any folder) travel\n"
    "whole, so that a player's own edits of them never stop the patch; any\n"
    "other file, however small, travels as its differences from the old one.\n"
    "--whole sends the files it names whole too, packages included; --delta\n"
    "sends those it names as differences, settings files too. --exclude leaves\n"
    "out the files and folders it names, in both folders. PATTERN is a path\n"
    "below the game folder with '/' between folders, '*' and '?' within one\n"
    "part, '**' across parts, letter case aside; either may be given again.\n"
    "\n"
    "Progress goes to standard error: a line redrawn in place on a terminal,\n"
    "otherwise a line per stage; --quiet (-q) prints nothing but errors, and\n"
    "--verbose (-v) names each file as it is planned. A pattern that matches\n"
    "nothing is warned of.\n"
    "Options take their value as --opt VALUE or --opt=VALUE (-o FILE, -oFILE\n"
    "or -o=FILE); -- ends the options.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "qelpatch-build: %s\n", message.c_str());
  return kBadInput;
}

int Usage(const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "qelpatch-build: %s\n", message.c_str());
  std::fputs(kUsageText, stderr);
  return kUsage;
}

int Show(const CBuildOptions& options) {
  CReleaseReview review;
  std::string why;
  if (!ReviewRelease(options.shown, CNameEncoder(options.codePage), options.stubPath, review, &why))
    return Fail(why);
  const std::string text = options.json ? ReviewJson(review) : ReviewText(review);
  std::fputs(text.c_str(), stdout);
  return 0;
}

int Stamp(const CBuildOptions& options) {
  CTaskPaths paths;
  paths.inputs = {{options.stamped, "the release to stamp"}, {options.stubPath, "the stub"}};
  AddLookInputs(options, paths);
  paths.outputs = {{options.exePath, "the program (--exe)"}};
  paths.force = options.force;
  std::string why;
  if (!CheckTaskPaths(paths, &why) || !StampReleaseFile(options, &why)) return Fail(why);
  if (!options.quiet)
    std::printf("%s: QelPatch.exe carrying %s\n", options.exePath.c_str(), options.stamped.c_str());
  return 0;
}

int Verify(const CBuildOptions& options) {
  std::string why;
  if (!VerifyReleaseFile(options, &why)) return Fail(why);
  if (options.quiet) return 0;
  const size_t oldCount = options.operands.size() - 2;
  for (size_t k = 0; k < oldCount; ++k)
    std::printf("%s: turns %s into %s\n", options.operands.back().c_str(),
                options.operands[k].c_str(), options.operands[oldCount].c_str());
  return 0;
}

// "1 file", "2 files".
std::string Files(uint32_t count) {
  return std::to_string(count) + (count == 1 ? " file" : " files");
}

int Build(const CBuildOptions& options) {
  CProgressBar progress(options.quiet               ? CProgressBar::CMode::kSilent
                        : StandardErrorIsTerminal() ? CProgressBar::CMode::kTerminal
                                                    : CProgressBar::CMode::kLines,
                        options.verbose);
  CBuiltRelease built;
  std::string why;
  const bool done = BuildRelease(options, kReleaseSizeLimit, progress, built, &why);
  progress.Finish();
  for (const std::string& warning : built.warnings)
    if (!options.quiet) std::fprintf(stderr, "qelpatch-build: warning: %s\n", warning.c_str());
  if (!done) return Fail(why);
  if (options.quiet) return 0;
  const bool toFile = !options.releasePath.empty();
  const bool toExe = !options.exePath.empty();
  const std::string made = toFile && toExe ? options.releasePath + ", " + options.exePath
                           : toFile        ? options.releasePath
                                           : options.exePath;
  for (const CBuiltStep& step : built.steps) {
    // A release of several steps says which step each line is of.
    const std::string of =
        made +
        (built.steps.size() == 1 ? "" : " (" + step.oldFolder + " to " + step.newFolder + ")");
    if (!step.kept.empty()) {
      std::fprintf(stderr,
                   "qelpatch-build: warning: these files of %s are not in %s and stay installed:\n",
                   step.oldFolder.c_str(), step.newFolder.c_str());
      for (const std::string& name : step.kept) std::fprintf(stderr, "  %s\n", name.c_str());
    }
    const CReleaseCounts& counts = step.counts;
    std::printf("%s: %s rebuilt from the installed version, %u sent whole; %s unchanged\n",
                of.c_str(), Files(counts.rebuilt).c_str(), counts.whole,
                Files(counts.unchanged).c_str());
    if (step.removed != 0)
      std::printf("%s: removes %s of %s that %s lacks\n", of.c_str(), Files(step.removed).c_str(),
                  step.oldFolder.c_str(), step.newFolder.c_str());
    if (step.compressed)
      std::printf(
          "%s: the container of %llu bytes carried as compressed streams, %llu bytes in all\n",
          of.c_str(), static_cast<unsigned long long>(step.containerSize),
          static_cast<unsigned long long>(step.compressedSize));
  }
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  // Before any thread starts, so that every one leaves interrupts to the
  // thread that removes the unfinished outputs.
  InstallInterruptCleanup();
  CBuildOptions options;
  std::string why;
  if (!ParseBuildOptions(CommandLineArguments(argc, argv), options, &why)) return Usage(why);
  if (options.stubPath.empty()) options.stubPath = DefaultStubPath();
  switch (options.task) {
    case CTask::kHelp:
      std::fputs(kUsageText, stdout);
      return 0;
    case CTask::kVersion:
      std::printf("qelpatch-build %s\n", QELPATCH_VERSION);
      return 0;
    case CTask::kShow:
      return Show(options);
    case CTask::kStamp:
      return Stamp(options);
    case CTask::kVerify:
      return Verify(options);
    case CTask::kBuild:
      break;
  }
  return Build(options);
}
