// qelpatch-build: makes the patch release that turns an old game folder into
// a new one, and shows what a release holds.
//
//   qelpatch-build OLD_DIR NEW_DIR -o RELEASE [--name-code-page N]
//   qelpatch-build --show RELEASE [--name-code-page N]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/atomic_output.h"
#include "tools/name_code_page.h"
#include "tools/progress_bar.h"
#include "tools/release_builder.h"
#include "tools/release_limits.h"
#include "tools/show_release.h"

namespace {
constexpr int kBadInput = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "usage: qelpatch-build OLD_DIR NEW_DIR -o RELEASE [--name-code-page N]\n"
    "       qelpatch-build --show RELEASE [--name-code-page N]\n"
    "\n"
    "Writes the patch data container that turns the game in OLD_DIR into the\n"
    "game in NEW_DIR, or checks and lists the entries of a release.\n"
    "\n"
    "File names must be ASCII, unless --name-code-page gives the ANSI code page\n"
    "of the players' Windows (932, 936, 949, 950, 1250-1258): names are then\n"
    "written for that code page, and a release made so is for those players.\n";

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

int Build(const std::string& oldFolder, const std::string& newFolder, const std::string& output,
          const CNameEncoder& encoder) {
  CReleaseBuilder builder;
  std::string why;
  if (!builder.Prepare(oldFolder, newFolder, encoder, &why)) return Fail(why);

  CAtomicOutput file;
  if (!file.Open(output, &why)) return Fail(why);
  bool sinkFailed = false;
  const CByteSink sink = [&](const uint8_t* data, size_t count) {
    sinkFailed = !file.Write(data, count);
    return !sinkFailed;
  };
  CContainerStream stream(sink);
  CProgressBar progress(isatty(STDERR_FILENO) != 0);
  // The entry count is known at the end; it then takes the place of a zero.
  const bool written =
      stream.Begin(0, &why) && builder.Write(stream, kReleaseSizeLimit, progress, &why);
  progress.Finish();
  if (!written) return Fail(sinkFailed ? file.Error() : why);
  uint8_t count[4];
  CContainerStream::CountBytes(stream.Count(), count);
  if (!file.Overwrite(0, count, sizeof count)) return Fail(file.Error());
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
  std::vector<std::string> folders;
  std::string output;
  std::string show;
  uint32_t codePage = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" || args[i] == "--show") {
      std::string& value = args[i] == "-o" ? output : show;
      if (i + 1 == args.size()) return Usage(args[i] + " needs a file name");
      if (!value.empty()) return Usage(args[i] + " given twice");
      value = args[++i];
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
  if (!show.empty()) {
    if (!folders.empty() || !output.empty()) return Usage("--show takes one release");
    return Show(show, encoder);
  }
  if (folders.size() != 2) return Usage("give the old and the new game folder");
  if (output.empty()) return Usage("give the release to write with -o");
  return Build(folders[0], folders[1], output, encoder);
}
