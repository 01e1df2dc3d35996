#include "builder/review_format.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

#include "builder/registry_value.h"

namespace {
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char line[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  return line;
}

struct CTotals {
  uint64_t fresh = 0;
  uint64_t changed = 0;
  uint64_t payload = 0;
  uint64_t copied = 0;
  uint64_t made = 0;  // bytes of the files the entries make
};

CTotals TotalsOf(const CReleaseReview& review) {
  CTotals totals;
  for (const CEntryReview& entry : review.entries) {
    totals.fresh += entry.listed && !entry.replaces;
    totals.changed += entry.listed && entry.replaces;
    totals.payload += entry.payload;
    totals.copied += entry.copied;
    totals.made += entry.newSize;
  }
  return totals;
}

const char* StatusOf(const CEntryReview& entry) {
  return !entry.listed ? "?" : entry.replaces ? "changed" : "new";
}

// A JSON string: quotes, backslashes and control characters escaped; a
// byte that is not UTF-8 (a name no code page decoded) as the character of
// its value.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80             ? 1
                    : (c & 0xE0) == 0xC0 ? 2
                    : (c & 0xF0) == 0xE0 ? 3
                    : (c & 0xF8) == 0xF0 ? 4
                                         : 0;
    for (size_t k = 1; k < length; ++k)
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
        length = 0;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || length == 0) {
      out += Format("\\u%04x", c);
    } else {
      out.append(text, i, length);
      i += length - 1;
    }
  }
  return out + "\"";
}

std::string Number(bool known, uint64_t value) {
  return known ? std::to_string(value) : "null";
}

std::string Text(bool known, const std::string& value) {
  return known ? Quoted(value) : "null";
}

const char kOwn[] = "QelPatch's own";

std::string Bool(bool value) {
  return value ? "true" : "false";
}
}  // namespace

namespace {
// What one release (or step) says of its container, manifest and versions.
std::string StepHead(const CReleaseReview& review) {
  std::string out;
  if (review.compressed)
    out += Format("container: %s, unpacks to %" PRIu64 " bytes\n",
                  review.streams ? "compressed streams" : "xz-compressed", review.containerSize);
  if (!review.hasManifest)
    out += "no manifest: a release of an older builder, checked as it was then\n";
  else if (review.codePage == 0)
    out += "manifest: checked; names in ASCII\n";
  else
    out += Format("manifest: checked; names for code page %" PRIu32 "\n", review.codePage);
  if (!review.fromVersion.empty() || !review.toVersion.empty())
    out += Format("versions: %s to %s\n", review.fromVersion.c_str(), review.toVersion.c_str());
  return out;
}

// The program players download.
std::string ProgramLines(const CReleaseReview& review) {
  std::string out;
  if (review.productKnown)
    out += Format("program: %s, version %s\n", review.productName.c_str(),
                  review.productVersion.c_str());
  if (review.settingsKnown) {
    const CProgramSettings& studio = review.settings;
    out += "title: " + (studio.title.empty() ? kOwn : studio.title) + "\n";
    out += "registry value: " +
           (studio.namesInstallPath ? RegistryValueText(studio.installPath) : kOwn) + "\n";
    out += std::string("background: ") + (studio.ownBackground ? "the studio's" : kOwn) +
           "; icon: " + (studio.ownIcon ? "the studio's" : kOwn) + "\n";
  }
  if (review.programSizeKnown)
    out += Format("players download QelPatch.exe of %" PRIu64 " bytes\n", review.programSize);
  else
    out += "players download QelPatch.exe of a size not known here: " + review.programNote + "\n";
  return out;
}

// One release's (or step's) entries, removals and totals.
std::string StepTable(const CReleaseReview& review) {
  const CTotals totals = TotalsOf(review);
  std::string out = Format("%-8s %-22s %8s %12s %14s  %s\n", "status", "kind", "chunks", "payload",
                           "copied", "name");
  const std::string indent(32, ' ');
  for (const CEntryReview& entry : review.entries) {
    out +=
        Format("%-8s %-22s %8" PRIu32 " %12" PRIu64 " %14" PRIu64 "  %s\n", StatusOf(entry),
               entry.kind.c_str(), entry.chunks, entry.payload, entry.copied, entry.name.c_str());
    if (entry.package)
      out += Format("%sbefore %s  after %s\n", indent.c_str(),
                    entry.digestBefore.empty() ? "(none)" : entry.digestBefore.c_str(),
                    entry.digestAfter.c_str());
    if (entry.listed)
      out +=
          Format("%sold %s  new %" PRIu64 "  digest %s%s%s%s%s\n", indent.c_str(),
                 entry.replaces ? std::to_string(entry.oldSize).c_str() : "(none)", entry.newSize,
                 entry.digest.c_str(), entry.copiedDigest.empty() ? "" : "  copied digest ",
                 entry.copiedDigest.c_str(), entry.differs ? "  payload as differences" : "",
                 entry.covered ? " along covers" : "");
  }
  for (const auto& [name, size] : review.removed)
    out += Format("%-8s %-22s %8s %12s %14s  %s (%" PRIu64 " bytes)\n", "removed", "old file", "",
                  "", "", name.c_str(), size);
  for (const std::string& folder : review.removedFolders)
    out += Format("%-8s %-22s %8s %12s %14s  %s\n", "removed", "folder, once empty", "", "", "",
                  folder.c_str());
  const std::string counts = review.hasManifest ? Format("%" PRIu64 " new, %" PRIu64 " changed",
                                                         totals.fresh, totals.changed)
                                                : std::string();
  out += Format("%-8s %-22s %8s %12" PRIu64 " %14" PRIu64 "\n", "total", counts.c_str(), "",
                totals.payload, totals.copied);
  return out;
}

std::string ChainText(const CReleaseReview& review) {
  std::string out = Format(
      "%s: %s of %" PRIu64 " steps to version %s, %" PRIu64 " bytes; the patcher accepts it\n",
      review.path.c_str(), review.program ? "QelPatch.exe carrying a release" : "a release",
      static_cast<uint64_t>(review.steps.size()), review.toVersion.c_str(), review.releaseSize);
  out += ProgramLines(review);
  for (const CServedVersion& served : review.served)
    out += Format("serves %s: %" PRIu32 " %s, %" PRIu64 " bytes\n", served.version.c_str(),
                  served.steps, served.steps == 1 ? "step" : "steps", served.bytes);
  for (size_t k = 0; k < review.steps.size(); ++k) {
    const CReleaseReview& step = review.steps[k];
    out += Format("step %" PRIu64 ": %" PRIu64 " entries, %" PRIu64 " bytes\n",
                  static_cast<uint64_t>(k + 1), static_cast<uint64_t>(step.entries.size()),
                  step.releaseSize);
    out += StepHead(step) + StepTable(step);
  }
  return out;
}
}  // namespace

std::string ReviewText(const CReleaseReview& review) {
  if (!review.steps.empty()) return ChainText(review);
  const uint64_t entries = review.entries.size();
  std::string out = review.program ? Format("%s: QelPatch.exe carrying a release of %" PRIu64
                                            " entries, %" PRIu64 " bytes; the patcher accepts it\n",
                                            review.path.c_str(), entries, review.releaseSize)
                                   : Format("%s: a release of %" PRIu64 " entries, %" PRIu64
                                            " bytes; the patcher accepts it\n",
                                            review.path.c_str(), entries, review.releaseSize);
  return out + StepHead(review) + ProgramLines(review) + StepTable(review);
}

namespace {
// One release's (or step's) fields from "manifest" on, `product` (the
// program's fields, or nothing) after its container's, `indent` before each.
std::string StepJson(const CReleaseReview& review, const std::string& product,
                     const std::string& indent) {
  const CTotals totals = TotalsOf(review);
  const bool listed = review.hasManifest;
  std::string out;
  out += indent + "\"manifest\": " + (listed ? "true" : "false") + ",\n";
  out += indent + "\"code_page\": " + std::to_string(review.codePage) + ",\n";
  out += indent + "\"compressed\": " + (review.compressed ? "true" : "false") + ",\n";
  out += indent + "\"container_bytes\": " + std::to_string(review.containerSize) + ",\n";
  out += product;
  out += indent + "\"entries\": [";
  for (size_t i = 0; i < review.entries.size(); ++i) {
    const CEntryReview& e = review.entries[i];
    out += i == 0 ? "\n" : ",\n";
    out += indent + "  {\"name\": " + Quoted(e.name) +
           ", \"status\": " + Text(e.listed, e.replaces ? "changed" : "new") +
           ", \"kind\": " + Quoted(e.kind) + ", \"chunks\": " + std::to_string(e.chunks) +
           ", \"payload_bytes\": " + std::to_string(e.payload) +
           ", \"copied_bytes\": " + std::to_string(e.copied) +
           ", \"old_bytes\": " + Number(e.listed && e.replaces, e.oldSize) +
           ", \"new_bytes\": " + Number(e.listed, e.newSize) +
           ", \"digest\": " + Text(e.listed, e.digest) +
           ", \"copied_digest\": " + Text(!e.copiedDigest.empty(), e.copiedDigest) +
           ", \"differences\": " + (e.differs ? "true" : "false") +
           ", \"covers\": " + (e.covered ? "true" : "false") + ", \"index_digest_before\": " +
           Text(e.package && !e.digestBefore.empty(), e.digestBefore) +
           ", \"index_digest_after\": " + Text(e.package, e.digestAfter) + "}";
  }
  out += review.entries.empty() ? "],\n" : "\n" + indent + "],\n";
  out +=
      indent + "\"from_version\": " + Text(!review.fromVersion.empty(), review.fromVersion) + ",\n";
  out += indent + "\"to_version\": " + Text(!review.toVersion.empty(), review.toVersion) + ",\n";
  out += indent + "\"removed\": [";
  for (size_t i = 0; i < review.removed.size(); ++i)
    out += std::string(i == 0 ? "" : ", ") + "{\"name\": " + Quoted(review.removed[i].first) +
           ", \"bytes\": " + std::to_string(review.removed[i].second) + "}";
  out += "],\n" + indent + "\"removed_folders\": [";
  for (size_t i = 0; i < review.removedFolders.size(); ++i)
    out += std::string(i == 0 ? "" : ", ") + Quoted(review.removedFolders[i]);
  out += "],\n";
  out += indent + "\"totals\": {\"entries\": " + std::to_string(review.entries.size()) +
         ", \"new\": " + Number(listed, totals.fresh) +
         ", \"changed\": " + Number(listed, totals.changed) +
         ", \"payload_bytes\": " + std::to_string(totals.payload) +
         ", \"copied_bytes\": " + std::to_string(totals.copied) +
         ", \"new_bytes\": " + Number(listed, totals.made) + "}\n";
  return out;
}
}  // namespace

std::string ReviewJson(const CReleaseReview& review) {
  std::string out = "{\n";
  out += "  \"file\": " + Quoted(review.path) + ",\n";
  out += std::string("  \"form\": ") + (review.program ? "\"program\"" : "\"release\"") + ",\n";
  out += "  \"file_bytes\": " + std::to_string(review.fileSize) + ",\n";
  out += "  \"release_bytes\": " + std::to_string(review.releaseSize) + ",\n";
  out += "  \"program_bytes\": " + Number(review.programSizeKnown, review.programSize) + ",\n";
  // A studio's program: what it says; a text null and a flag false where it
  // is QelPatch's own.
  const CProgramSettings& studio = review.settings;
  const std::string product =
      "  \"product_name\": " + Text(review.productKnown, review.productName) + ",\n" +
      "  \"product_version\": " + Text(review.productKnown, review.productVersion) + ",\n" +
      "  \"studio\": " +
      (review.settingsKnown
           ? "{\"title\": " + Text(!studio.title.empty(), studio.title) + ", \"registry_value\": " +
                 Text(studio.namesInstallPath, RegistryValueText(studio.installPath)) +
                 ", \"own_background\": " + Bool(studio.ownBackground) +
                 ", \"own_icon\": " + Bool(studio.ownIcon) + "}"
           : std::string("null")) +
      ",\n";
  if (review.steps.empty()) return out + StepJson(review, product, "  ") + "}\n";
  out += product;
  out += "  \"to_version\": " + Quoted(review.toVersion) + ",\n";
  out += "  \"served\": [";
  for (size_t i = 0; i < review.served.size(); ++i)
    out += std::string(i == 0 ? "" : ", ") + "{\"version\": " + Quoted(review.served[i].version) +
           ", \"steps\": " + std::to_string(review.served[i].steps) +
           ", \"bytes\": " + std::to_string(review.served[i].bytes) + "}";
  out += "],\n  \"steps\": [";
  for (size_t k = 0; k < review.steps.size(); ++k)
    out += std::string(k == 0 ? "\n" : ",\n") +
           "    {\n      \"release_bytes\": " + std::to_string(review.steps[k].releaseSize) +
           ",\n" + StepJson(review.steps[k], "", "      ") + "    }";
  return out + "\n  ]\n}\n";
}
