#pragma once
// qelpatch-build's command line: "--opt value" and "--opt=value" alike, a
// short option's value also joined to it ("-oFILE", "-o=FILE"), --help and
// --version (-V) anywhere before "--", which ends the options; every
// single-valued option at most once (--whole, --exclude and --keep repeat),
// numbers read strictly, and the options each task takes.

#include <cstdint>
#include <string>
#include <vector>

#include "builder/game_folder.h"
#include "engine/install_dir.h"
#include "pe/program_version.h"

enum class CTask { kBuild, kStamp, kShow, kVerify, kHelp, kVersion };

struct CBuildOptions {
  CTask task = CTask::kBuild;
  std::vector<std::string> operands;  // the folders (and the release, for --verify)
  std::string releasePath;            // -o
  std::string exePath;                // --exe
  std::string stubPath;               // --stub; empty: the one beside the builder
  std::string shown;                  // --show
  std::string stamped;                // --stamp
  uint32_t codePage = 0;
  std::vector<std::string> whole;
  std::vector<std::string> delta;  // sent as differences, settings files too
  std::vector<std::string> exclude;
  // Files of the old folder the new one lacks that the release leaves
  // installed (--keep); every other one it removes.
  std::vector<std::string> keep;
  // The versions' labels (--from-version once per old folder, in their
  // order, and --to-version); none: the folders' names.
  std::vector<std::string> fromVersions;
  std::string toVersion;
  bool force = false;
  bool followLinks = false;
  bool json = false;
  bool verify = true;
  bool compress = true;     // the container compressed when that pays
  bool quiet = false;       // nothing but errors (-q)
  bool verbose = false;     // each file named as it is planned (-v)
  CProgramVersion program;  // --product-name, --product-version
  // A studio's own program: its title (--title), the files of its background
  // (--background) and icon (--icon), where its game stores the installation
  // path (--registry-value); each empty or absent: QelPatch's own.
  std::string title;
  std::string backgroundPath;
  std::string iconPath;
  bool namesInstallPath = false;
  CInstallPathLocation installPath;
};

// False, with `why`, for a command line the builder does not take (a usage
// error: the usage text follows the message).
bool ParseBuildOptions(const std::vector<std::string>& args, CBuildOptions& options,
                       std::string* why);

// The labels of the versions step `k` goes from and to (the old folder `k`
// and the next folder given): the options', else the last part of each
// folder's path.
std::string FromVersionOf(const CBuildOptions& options, size_t k);
std::string ToVersionOf(const CBuildOptions& options, size_t k);

// The rules both game folders are listed under.
CFolderRules FolderRulesOf(const CBuildOptions& options);
