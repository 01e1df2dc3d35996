// qelpatch-build: makes the patch release that turns an old game folder into
// a new one, and shows what a release holds.
//
//   qelpatch-build OLD_DIR NEW_DIR -o RELEASE
//   qelpatch-build --show RELEASE
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/atomic_output.h"
#include "tools/progress_bar.h"
#include "tools/release_builder.h"
#include "tools/show_release.h"

namespace {
constexpr int kBadInput = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "usage: qelpatch-build OLD_DIR NEW_DIR -o RELEASE\n"
    "       qelpatch-build --show RELEASE\n"
    "\n"
    "Writes the patch data container that turns the game in OLD_DIR into the\n"
    "game in NEW_DIR, or checks and lists the entries of a release.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "qelpatch-build: %s\n", message.c_str());
  return kBadInput;
}

int Usage(const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "qelpatch-build: %s\n", message.c_str());
  std::fputs(kUsageText, stderr);
  return kUsage;
}

int Show(const std::string& path) {
  std::string listing;
  std::string why;
  if (!ShowRelease(path, listing, &why)) return Fail(why);
  std::fputs(listing.c_str(), stdout);
  return 0;
}

int Build(const std::string& oldFolder, const std::string& newFolder, const std::string& output) {
  CProgressBar progress(isatty(STDERR_FILENO) != 0);
  CReleaseBuilder builder;
  std::string why;
  const bool planned = builder.Plan(oldFolder, newFolder, progress, &why);
  progress.Finish();
  if (!planned) return Fail(why);

  CAtomicOutput file;
  if (!file.Open(output, &why)) return Fail(why);
  uint64_t size = 0;
  builder.Writer().Size(size, nullptr);
  progress.SetTotal(size);
  uint64_t written = 0;
  const std::string label = "writing " + output;
  const bool complete = builder.Writer().Write(
      [&](const uint8_t* data, size_t count) {
        written += count;
        progress.Update(written, label);
        return file.Write(data, count);
      },
      &why);
  progress.Finish();
  if (!complete) return Fail(file.Error());
  if (!file.Commit(&why)) return Fail(why);

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
  std::printf("%s: %u deltas, %u whole packages, %u archives; %u files unchanged\n", output.c_str(),
              counts.deltas, counts.wholePackages, counts.archives, counts.unchanged);
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
    std::fputs(kUsageText, stdout);
    return 0;
  }
  if (!args.empty() && args[0] == "--show") {
    if (args.size() != 2) return Usage("--show takes one release");
    return Show(args[1]);
  }
  std::vector<std::string> folders;
  std::string output;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 == args.size()) return Usage("-o needs a file name");
      if (!output.empty()) return Usage("-o given twice");
      output = args[++i];
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return Usage("unknown option " + args[i]);
    } else {
      folders.push_back(args[i]);
    }
  }
  if (folders.size() != 2) return Usage("give the old and the new game folder");
  if (output.empty()) return Usage("give the release to write with -o");
  return Build(folders[0], folders[1], output);
}
