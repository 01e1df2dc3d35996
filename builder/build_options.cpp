#include "builder/build_options.h"

#include <functional>

#include "base/refusal.h"
#include "builder/registry_value.h"
#include "container/name_code_page.h"
#include "engine/program_settings.h"

namespace {
// A number of decimal digits only, no larger than `largest`.
bool ParseNumber(const std::string& text, uint32_t largest, uint32_t& value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<uint64_t>(c - '0');
  }
  if (number > largest) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

// A version's label goes into the manifest and into the player's messages.
constexpr size_t kVersionLabelLength = 64;

bool IsVersionLabel(const std::string& text) {
  if (text.empty() || text.size() > kVersionLabelLength) return false;
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

std::string VersionLabelRule(const char* option) {
  return std::string(option) + " takes a text of 1 to " + std::to_string(kVersionLabelLength) +
         " bytes, none a control character";
}

// The last part of a folder's path, as a version's label.
std::string FolderLabel(const std::string& folder) {
  std::string path = folder;
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  const size_t slash = path.find_last_of("/\\");
  std::string label = slash == std::string::npos ? path : path.substr(slash + 1);
  if (label.size() <= kVersionLabelLength) return label;
  // Cut where a character starts, not inside one.
  size_t end = kVersionLabelLength;
  while (end > 0 && (static_cast<unsigned char>(label[end]) & 0xC0) == 0x80) --end;
  return label.substr(0, end);
}

bool ParseProductVersion(const std::string& text, uint16_t (&parts)[4]) {
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t dot = i < 3 ? text.find('.', start) : text.size();
    uint32_t part = 0;
    if (dot == std::string::npos || !ParseNumber(text.substr(start, dot - start), 0xFFFF, part))
      return false;
    parts[i] = static_cast<uint16_t>(part);
    start = dot + 1;
  }
  return true;
}

enum class CArity { kFlag, kOnce, kRepeated };

struct COption {
  const char* name;
  const char* shortName;  // or null
  CArity arity;
  const char* value;  // what the value is, for the message when it is missing
  std::function<bool(CBuildOptions&, const std::string&, std::string*)> take;
};

bool SetTask(CBuildOptions& options, CTask task, const std::string& name, std::string* why) {
  if (options.task != CTask::kBuild && options.task != task)
    return Refuse(why, name + " goes with no other of --show, --stamp and --verify");
  options.task = task;
  return true;
}

const std::vector<COption>& Options() {
  static const std::vector<COption> options = {
      {"-o", nullptr, CArity::kOnce, "a file name",
       [](CBuildOptions& o, const std::string& v, std::string*) {
         o.releasePath = v;
         return true;
       }},
      {"--exe", nullptr, CArity::kOnce, "a file name",
       [](CBuildOptions& o, const std::string& v, std::string*) {
         o.exePath = v;
         return true;
       }},
      {"--stub", nullptr, CArity::kOnce, "a file name",
       [](CBuildOptions& o, const std::string& v, std::string*) {
         o.stubPath = v;
         return true;
       }},
      {"--show", nullptr, CArity::kOnce, "a file name",
       [](CBuildOptions& o, const std::string& v, std::string* why) {
         o.shown = v;
         return SetTask(o, CTask::kShow, "--show", why);
       }},
      {"--stamp", nullptr, CArity::kOnce, "a file name",
       [](CBuildOptions& o, const std::string& v, std::string* why) {
         o.stamped = v;
         return SetTask(o, CTask::kStamp, "--stamp", why);
       }},
      {"--verify", nullptr, CArity::kFlag, nullptr,
       [](CBuildOptions& o, const std::string&, std::string* why) {
         return SetTask(o, CTask::kVerify, "--verify", why);
       }},
      {"--name-code-page", nullptr, CArity::kOnce, "a code page",
       [](CBuildOptions& o, const std::string& v, std::string* why) {
         return (ParseNumber(v, 65535, o.codePage) && o.codePage != 0 &&
                 CNameEncoder::IsSupported(o.codePage)) ||
                Refuse(why, "--name-code-page takes 932, 936, 949, 950 or 1250-1258");
       }},
      {"--whole", nullptr, CArity::kRepeated, "a pattern",
       [](CBuildOptions& o, const std::string& v, std::string*) {
         o.whole.push_back(v);
         return true;
       }},
      {"--delta", nullptr, CArity::kRepeated, "a pattern",
       [](CBuildOptions& o, const std::string& v, std::string*) {
         o.delta.push_back(v);
         return true;
       }},
      {"--exclude", nullptr, CArity::kRepeated, "a pattern",
       [](CBuildOptions& o, const std::string& v, std::string*) {
         o.exclude.push_back(v);
         return true;
       }},
      {"--keep", nullptr, CArity::kRepeated, "a pattern",
       [](CBuildOptions& o, const std::string& v, std::string*) {
         o.keep.push_back(v);
         return true;
       }},
      {"--from-version", nullptr, CArity::kRepeated, "a text",
       [](CBuildOptions& o, const std::string& v, std::string* why) {
         o.fromVersions.push_back(v);
         return IsVersionLabel(v) || Refuse(why, VersionLabelRule("--from-version"));
       }},
      {"--to-version", nullptr, CArity::kOnce, "a text",
       [](CBuildOptions& o, const std::string& v, std::string* why) {
         o.toVersion = v;
         return IsVersionLabel(v) || Refuse(why, VersionLabelRule("--to-version"));
       }},
      {"--force", "-f", CArity::kFlag, nullptr,
       [](CBuildOptions& o, const std::string&, std::string*) {
         o.force = true;
         return true;
       }},
      {"--follow-links", nullptr, CArity::kFlag, nullptr,
       [](CBuildOptions& o, const std::string&, std::string*) {
         o.followLinks = true;
         return true;
       }},
      {"--json", nullptr, CArity::kFlag, nullptr,
       [](CBuildOptions& o, const std::string&, std::string*) {
         o.json = true;
         return true;
       }},
      {"--no-verify", nullptr, CArity::kFlag, nullptr,
       [](CBuildOptions& o, const std::string&, std::string*) {
         o.verify = false;
         return true;
       }},
      {"--quiet", "-q", CArity::kFlag, nullptr,
       [](CBuildOptions& o, const std::string&, std::string*) {
         o.quiet = true;
         return true;
       }},
      {"--verbose", "-v", CArity::kFlag, nullptr,
       [](CBuildOptions& o, const std::string&, std::string*) {
         o.verbose = true;
         return true;
       }},
      {"--uncompressed", nullptr, CArity::kFlag, nullptr,
       [](CBuildOptions& o, const std::string&, std::string*) {
         o.compress = false;
         return true;
       }},
      {"--product-name", nullptr, CArity::kOnce, "a text",
       [](CBuildOptions& o, const std::string& v, std::string* why) {
         o.program.productName = v;
         return IsShownName(v, kProductNameLength) ||
                Refuse(why, "--product-name takes a text of 1 to " +
                                std::to_string(kProductNameLength) +
                                " characters, none a control character");
       }},
      {"--product-version", nullptr, CArity::kOnce, "a version",
       [](CBuildOptions& o, const std::string& v, std::string* why) {
         o.program.hasVersion = true;
         return ParseProductVersion(v, o.program.version) ||
                Refuse(why, "--product-version takes four numbers of 0-65535: A.B.C.D");
       }},
      {"--title", nullptr, CArity::kOnce, "a text",
       [](CBuildOptions& o, const std::string& v, std::string* why) {
         o.title = v;
         return IsShownName(v, kTitleLength) ||
                Refuse(why, "--title takes a text of 1 to " + std::to_string(kTitleLength) +
                                " characters, none a control character");
       }},
      {"--background", nullptr, CArity::kOnce, "a BMP file",
       [](CBuildOptions& o, const std::string& v, std::string*) {
         o.backgroundPath = v;
         return true;
       }},
      {"--icon", nullptr, CArity::kOnce, "an icon file",
       [](CBuildOptions& o, const std::string& v, std::string*) {
         o.iconPath = v;
         return true;
       }},
      {"--registry-value", nullptr, CArity::kOnce, "a registry value's path",
       [](CBuildOptions& o, const std::string& v, std::string* why) {
         std::string reason;
         o.namesInstallPath = ParseRegistryValue(v, o.installPath, &reason);
         return o.namesInstallPath || Refuse(why, "--registry-value: " + reason);
       }},
  };
  return options;
}

// Which options each task takes, beyond its own.
bool CheckTask(const CBuildOptions& o, const std::vector<std::string>& given, std::string* why) {
  const auto has = [&](const char* name) {
    for (const std::string& g : given)
      if (g == name) return true;
    return false;
  };
  const auto takesOnly = [&](const std::vector<std::string>& allowed, const char* task) {
    for (const std::string& g : given) {
      bool ok = false;
      for (const std::string& a : allowed) ok = ok || a == g;
      if (!ok) return Refuse(why, task + std::string(" does not take ") + g);
    }
    return true;
  };
  const bool program = has("--product-name") || has("--product-version");
  const bool studio =
      has("--title") || has("--background") || has("--icon") || has("--registry-value");
  if (o.quiet && o.verbose) return Refuse(why, "--quiet and --verbose do not go together");
  switch (o.task) {
    case CTask::kShow:
      if (!o.operands.empty()) return Refuse(why, "--show takes one release or program");
      return takesOnly({"--show", "--name-code-page", "--json", "--stub"}, "--show");
    case CTask::kStamp:
      if (!o.operands.empty() || has("-o"))
        return Refuse(why, "--stamp takes one release and --exe");
      if (o.exePath.empty()) return Refuse(why, "give the program to write with --exe");
      return takesOnly(
          {"--stamp", "--exe", "--stub", "--name-code-page", "--force", "--product-name",
           "--product-version", "--title", "--background", "--icon", "--registry-value", "--quiet"},
          "--stamp");
    case CTask::kVerify:
      if (o.operands.size() < 3)
        return Refuse(why, "--verify takes the old game folders, the new one and the release");
      return takesOnly(
          {"--verify", "--name-code-page", "--exclude", "--keep", "--follow-links", "--quiet"},
          "--verify");
    default:
      if (o.operands.size() < 2) return Refuse(why, "give the old and the new game folder");
      if (!o.fromVersions.empty() && o.fromVersions.size() != o.operands.size() - 1)
        return Refuse(why, "--from-version is given " + std::to_string(o.fromVersions.size()) +
                               " times for " + std::to_string(o.operands.size() - 1) +
                               " old folders: give it once per old folder, in their order");
      if (o.releasePath.empty() && o.exePath.empty())
        return Refuse(why, "give the release to write with -o, or the program with --exe");
      if (program && o.exePath.empty())
        return Refuse(why, "--product-name and --product-version are for the program (--exe)");
      if (studio && o.exePath.empty())
        return Refuse(why,
                      "--title, --background, --icon and --registry-value are for the program "
                      "(--exe)");
      return takesOnly({"-o",
                        "--exe",
                        "--stub",
                        "--name-code-page",
                        "--whole",
                        "--delta",
                        "--exclude",
                        "--keep",
                        "--from-version",
                        "--to-version",
                        "--force",
                        "--follow-links",
                        "--no-verify",
                        "--uncompressed",
                        "--product-name",
                        "--product-version",
                        "--title",
                        "--background",
                        "--icon",
                        "--registry-value",
                        "--quiet",
                        "--verbose"},
                       "a build");
  }
}
}  // namespace

bool ParseBuildOptions(const std::vector<std::string>& args, CBuildOptions& options,
                       std::string* why) {
  options = CBuildOptions();
  // --help and --version win wherever they stand before "--".
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") options.task = CTask::kHelp;
    if ((arg == "--version" || arg == "-V") && options.task != CTask::kHelp)
      options.task = CTask::kVersion;
  }
  if (options.task != CTask::kBuild) return true;
  std::vector<std::string> given;
  bool operandsOnly = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (operandsOnly || arg.size() < 2 || arg[0] != '-') {
      options.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      operandsOnly = true;
      continue;
    }
    const bool isLong = arg.compare(0, 2, "--") == 0;
    // A value joined to the option: after "=" of a long one, right after a
    // short one ("-oFILE", and "-o=FILE" as --opt=value has it).
    const size_t joined = isLong ? arg.find('=') : arg.size() > 2 ? 2 : std::string::npos;
    const std::string name = arg.substr(0, joined);
    const COption* option = nullptr;
    for (const COption& candidate : Options())
      if (name == candidate.name || (candidate.shortName && name == candidate.shortName))
        option = &candidate;
    // Short flags are not joined ("-fq").
    if (!option || (!isLong && option->arity == CArity::kFlag && joined != std::string::npos))
      return Refuse(why, "unknown option " + (isLong ? name : arg));
    std::string value;
    if (option->arity == CArity::kFlag) {
      if (joined != std::string::npos) return Refuse(why, name + " takes no value");
    } else if (joined != std::string::npos) {
      value = arg.substr(isLong || arg[joined] == '=' ? joined + 1 : joined);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    }
    if (option->arity != CArity::kFlag && value.empty())
      return Refuse(why, name + " needs " + option->value);
    bool twice = false;
    for (const std::string& g : given) twice = twice || g == option->name;
    if (twice && option->arity != CArity::kRepeated) return Refuse(why, name + " given twice");
    given.push_back(option->name);
    if (!option->take(options, value, why)) return false;
  }
  return CheckTask(options, given, why);
}

CFolderRules FolderRulesOf(const CBuildOptions& options) {
  CFolderRules rules;
  rules.followLinks = options.followLinks;
  rules.exclude = options.exclude;
  return rules;
}

std::string FromVersionOf(const CBuildOptions& options, size_t k) {
  return options.fromVersions.empty() ? FolderLabel(options.operands[k]) : options.fromVersions[k];
}

std::string ToVersionOf(const CBuildOptions& options, size_t k) {
  if (k + 2 < options.operands.size()) return FromVersionOf(options, k + 1);
  return options.toVersion.empty() ? FolderLabel(options.operands.back()) : options.toVersion;
}
