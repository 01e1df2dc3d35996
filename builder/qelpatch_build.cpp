// qelpatch-build: makes the patch release that turns an old game folder into
// a new one, checks it, and shows what a release holds.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/refusal.h"
#include "base/version.h"
#include "builder/build_options.h"
#include "builder/progress_bar.h"
#include "builder/release_builder.h"
#include "builder/release_input.h"
#include "builder/release_limits.h"
#include "builder/review_format.h"
#include "builder/show_release.h"
#include "builder/stamp_release.h"
#include "builder/task_paths.h"
#include "builder/verify_release.h"
#include "container/carried_container.h"
#include "container/name_code_page.h"
#include "pe/exe_output.h"
#include "platform/atomic_output.h"
#include "platform/command_line.h"
#include "platform/mapped_file.h"

namespace {
constexpr int kBadInput = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "usage: qelpatch-build OLD_DIR NEW_DIR [-o RELEASE] [--exe OUT.exe] [--stub STUB]\n"
    "                      [--name-code-page N] [--whole PATTERN]... [--exclude PATTERN]...\n"
    "                      [--follow-links] [--force] [--no-verify] [--uncompressed]\n"
    "                      [--product-name TEXT] [--product-version A.B.C.D]\n"
    "       qelpatch-build --stamp RELEASE --exe OUT.exe [--stub STUB] [--force]\n"
    "                      [--product-name TEXT] [--product-version A.B.C.D]\n"
    "       qelpatch-build --show RELEASE|EXE [--json] [--stub STUB]\n"
    "       qelpatch-build --verify OLD_DIR NEW_DIR RELEASE|EXE [--exclude PATTERN]...\n"
    "       qelpatch-build --help | --version\n"
    "\n"
    "Makes the patch release that turns the game in OLD_DIR into the game in\n"
    "NEW_DIR: with -o as a release file, with --exe as the QelPatch.exe that\n"
    "players run (both when both are given), then applies it to a scratch copy\n"
    "of OLD_DIR and compares the result with NEW_DIR (--no-verify skips that).\n"
    "The release carries its container xz-compressed whenever that makes it\n"
    "smaller and QelPatch.exe can still load it; --uncompressed carries it as\n"
    "it is (archives deflated), quicker to build and larger to download.\n"
    "--stamp makes QelPatch.exe from a release file. --show checks a release,\n"
    "or the release inside a QelPatch.exe (signed or not), as the patcher will\n"
    "and reviews its entries; --json prints that as one JSON document. --verify\n"
    "checks that a release turns OLD_DIR into NEW_DIR. The program is made from\n"
    "the stub QelPatch-stub.exe beside qelpatch-build, or the one --stub names;\n"
    "--product-name and --product-version set what its properties show.\n"
    "\n"
    "Outputs must lie outside both game folders, and an existing one is\n"
    "replaced only with --force (-f). Symbolic links in the game folders are\n"
    "refused, unless --follow-links takes those that stay inside their folder.\n"
    "\n"
    "File names must be ASCII, unless --name-code-page gives the ANSI code page\n"
    "of the players' Windows (932, 936, 949, 950, 1250-1258): names are then\n"
    "written for that code page, and a release made so is for those players.\n"
    "\n"
    "A file whose whole form is under 64 KiB (settings, scripts, texts) travels\n"
    "whole, so that a player's own edits of it never stop the patch; --whole\n"
    "sends the files it names whole too, packages included. --exclude leaves\n"
    "out the files and folders it names, in both folders. PATTERN is a path\n"
    "below the game folder with '/' between folders, '*' and '?' within one\n"
    "part, '**' across parts, letter case aside; either may be given again.\n"
    "Options take their value as --opt VALUE or --opt=VALUE.\n";

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
  paths.outputs = {{options.exePath, "the program (--exe)"}};
  paths.force = options.force;
  std::string why;
  if (!CheckTaskPaths(paths, &why) ||
      !StampReleaseFile(options.stubPath, options.stamped, options.exePath, options.codePage,
                        options.program, &why))
    return Fail(why);
  std::printf("%s: QelPatch.exe carrying %s\n", options.exePath.c_str(), options.stamped.c_str());
  return 0;
}

// The folder of a path, where the scratch folder of a check goes.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

CFolderRules RulesOf(const CBuildOptions& options) {
  CFolderRules rules;
  rules.followLinks = options.followLinks;
  rules.exclude = options.exclude;
  return rules;
}

// Applies the release to OLD_DIR and compares with NEW_DIR.
bool Check(const CBuildOptions& options, const CReleaseInput& release, const std::string& beside,
           std::string* why) {
  CVerifyCase check;
  check.oldFolder = options.operands[0];
  check.newFolder = options.operands[1];
  check.rules = RulesOf(options);
  check.release = &release;
  check.codePage = options.codePage;
  check.scratchBeside = beside;
  return VerifyRelease(check, why);
}

int Verify(const CBuildOptions& options) {
  const std::string& path = options.operands[2];
  CTaskPaths paths;
  paths.folders = {{options.operands[0], "the old game folder"},
                   {options.operands[1], "the new game folder"}};
  std::string why;
  CReleaseInput release;
  if (!CheckTaskPaths(paths, &why) || !OpenReleaseInput(path, options.codePage, release, &why) ||
      !Check(options, release, FolderOf(path), &why))
    return Fail(path + ": does not turn " + options.operands[0] + " into " + options.operands[1] +
                ": " + why);
  std::printf("%s: turns %s into %s\n", path.c_str(), options.operands[0].c_str(),
              options.operands[1].c_str());
  return 0;
}

// The check of what a build wrote, read back from its temporary file before
// it replaces anything.
int CheckWritten(const CBuildOptions& options, const std::string& written,
                 const std::string& output) {
  std::string why;
  CReleaseInput release;
  if (!OpenReleaseInput(written, options.codePage, release, &why)) return Fail(why);
  if (!CanVerifyHere(release, options.codePage, &why)) {
    std::fprintf(stderr, "qelpatch-build: warning: %s: not verified: %s\n", output.c_str(),
                 why.c_str());
    return 0;
  }
  if (!Check(options, release, FolderOf(output), &why))
    return Fail(output + ": the release does not turn " + options.operands[0] + " into " +
                options.operands[1] + ", and is not written: " + why);
  return 0;
}

CTaskPaths BuildPaths(const CBuildOptions& options) {
  CTaskPaths paths;
  paths.folders = {{options.operands[0], "the old game folder"},
                   {options.operands[1], "the new game folder"}};
  if (!options.exePath.empty()) paths.inputs.push_back({options.stubPath, "the stub"});
  if (!options.releasePath.empty())
    paths.outputs.push_back({options.releasePath, "the release (-o)"});
  if (!options.exePath.empty()) paths.outputs.push_back({options.exePath, "the program (--exe)"});
  paths.force = options.force;
  return paths;
}

void PrintWarnings(const CReleaseBuilder& builder, const std::string& oldFolder,
                   const std::string& newFolder) {
  for (const std::string& warning : builder.Warnings())
    std::fprintf(stderr, "qelpatch-build: warning: %s\n", warning.c_str());
  if (!builder.Removed().empty()) {
    std::fprintf(stderr,
                 "qelpatch-build: warning: a release cannot remove files; these files of %s are "
                 "not in %s and stay installed:\n",
                 oldFolder.c_str(), newFolder.c_str());
    for (const std::string& name : builder.Removed()) std::fprintf(stderr, "  %s\n", name.c_str());
  }
}

// The raw release of one attempt: the container, written to a scratch file
// beside the first output that is never committed, and its manifest.
struct CRawRelease {
  CReleaseBuilder builder;
  CAtomicOutput scratch;
  CMappedFile container;
  CReleaseManifest manifest;
};

bool WriteContainer(const CBuildOptions& options, bool deflate, const std::string& beside,
                    CRawRelease& raw, std::string* why) {
  raw.builder.SendWhole(options.whole);
  raw.builder.DeflateArchives(deflate);
  if (!raw.builder.Prepare(options.operands[0], options.operands[1], CNameEncoder(options.codePage),
                           RulesOf(options), why) ||
      !raw.scratch.Open(beside, why))
    return false;
  std::string sinkError;
  const CByteSink sink = [&](const uint8_t* data, size_t count) {
    if (!raw.scratch.Write(data, count)) sinkError = raw.scratch.Error();
    return sinkError.empty();
  };
  CContainerStream stream(sink);
  CProgressBar progress(StandardErrorIsTerminal());
  // The entry count is known at the end; it then takes the place of a zero.
  const bool written =
      stream.Begin(0, why) && raw.builder.Write(stream, kReleaseSizeLimit, progress, why);
  progress.Finish();
  if (!written) return sinkError.empty() ? false : Refuse(why, sinkError);
  uint8_t count[4];
  CContainerStream::CountBytes(stream.Count(), count);
  if (!raw.scratch.Overwrite(0, count, sizeof count) || !raw.scratch.Close())
    return Refuse(why, raw.scratch.Error());
  raw.manifest = raw.builder.Manifest(stream.Digests());
  return raw.container.Open(raw.scratch.TemporaryPath(), why);
}

// The release file with its container compressed, when that is smaller and
// QelPatch.exe can still load it; false when it is to stay as it is.
bool Compress(const CRawRelease& raw, std::vector<uint8_t>& file, std::string* why, bool& failed) {
  const uint64_t stored = raw.container.Size() + ManifestBytes(raw.manifest).size();
  failed = !CompressedReleaseFile(raw.container.Data(), static_cast<uint32_t>(raw.container.Size()),
                                  raw.manifest, file, why);
  CReleaseView carried;
  return !failed && file.size() < stored &&
         ReadReleaseFile(file.data(), file.size(), carried, nullptr) &&
         LoadFootprint(file.size(), carried.manifest) <= kReleaseSizeLimit;
}

int Build(const CBuildOptions& options) {
  const std::string& oldFolder = options.operands[0];
  const std::string& newFolder = options.operands[1];
  std::string why;
  if (!CheckTaskPaths(BuildPaths(options), &why)) return Fail(why);
  // The stub is checked before anything is read or written.
  CExeOutput exe;
  const bool toExe = !options.exePath.empty();
  if (toExe && !exe.Open(options.stubPath, options.exePath, options.program, &why))
    return Fail(why);
  const bool toFile = !options.releasePath.empty();
  const std::string& beside = toFile ? options.releasePath : options.exePath;

  // First as a release compressed as a whole, its archives stored; when that
  // does not pay or is too large to unpack, as a release carried as it is,
  // its archives deflated.
  std::unique_ptr<CRawRelease> raw(new CRawRelease);
  std::vector<uint8_t> packed;  // the release file, when compressed
  bool compressed = false;
  if (options.compress) {
    if (WriteContainer(options, false, beside, *raw, &why)) {
      bool failed = false;
      compressed = Compress(*raw, packed, &why, failed);
      if (failed) return Fail(why);
    } else if (!raw->builder.OverLimit()) {
      return Fail(why);
    }
  }
  if (!compressed) {
    packed.clear();
    raw.reset(new CRawRelease);
    if (!WriteContainer(options, true, beside, *raw, &why)) return Fail(why);
  }

  CAtomicOutput file;
  if (toFile && !file.Open(options.releasePath, &why)) return Fail(why);
  // The same bytes in the release file and in the program: the compressed
  // release file, or the container and its manifest.
  const std::vector<uint8_t> manifest =
      compressed ? std::vector<uint8_t>() : ManifestBytes(raw->manifest);
  const uint8_t* head = compressed ? packed.data() : raw->container.Data();
  const size_t headSize = compressed ? packed.size() : raw->container.Size();
  for (const auto& [data, size] :
       {std::make_pair(head, headSize), std::make_pair(manifest.data(), manifest.size())}) {
    if (toFile && !file.Write(data, size)) return Fail(file.Error());
    if (toExe && !exe.Write(data, size)) return Fail(exe.Error());
  }
  if (toFile && !file.Close()) return Fail(file.Error());
  if (toExe && !exe.Finish(&why)) return Fail(why);
  if (options.verify) {
    const int checked = toFile ? CheckWritten(options, file.TemporaryPath(), options.releasePath)
                               : CheckWritten(options, exe.TemporaryPath(), options.exePath);
    if (checked != 0) return checked;
  }
  if (toFile && !file.Commit(&why)) return Fail(why);
  if (toExe && !exe.Commit(&why)) return Fail(why);

  const CReleaseBuilder& builder = raw->builder;
  PrintWarnings(builder, oldFolder, newFolder);
  const CReleaseCounts& counts = builder.Counts();
  const std::string made = toFile && toExe ? options.releasePath + ", " + options.exePath
                           : toFile        ? options.releasePath
                                           : options.exePath;
  std::printf("%s: %u deltas, %u whole packages, %u archives; %u files unchanged\n", made.c_str(),
              counts.deltas, counts.wholePackages, counts.archives, counts.unchanged);
  if (compressed)
    std::printf("%s: the container of %llu bytes carried xz-compressed, %llu bytes in all\n",
                made.c_str(), static_cast<unsigned long long>(raw->container.Size()),
                static_cast<unsigned long long>(packed.size()));
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
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
