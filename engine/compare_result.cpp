#include "engine/compare_result.h"

#include "base/diagnostics.h"
#include "base/path_text.h"
#include "container/entry_kind.h"
#include "digest/package_index_digest.h"
#include "engine/failure_reason.h"
#include "engine/install_dir.h"
#include "engine/up_to_date.h"

namespace {
const char kDifferentQuestion[] =
    "This file is different with PatchFile.\nDo you want to continue patch ?";

}  // namespace

bool CCompareResult::ComparePatchFiles(CPatchHost& host, const uint8_t* patchData,
                                       uint32_t patchDataSize) {
  if (!ValidatePatchContainer(patchData, patchDataSize, kCodePageUtf8, nullptr, &validated_)) {
    refusal_ = kDamagedRelease;
    return false;
  }
  return ComparePatchFiles(host, validated_);
}

bool CCompareResult::ComparePatchFiles(CPatchHost& host, const CPatchContainer& container,
                                       const CReleaseManifest* manifest, CPatchProgress* progress) {
  // The loader carries the names in UTF-8.
  const uint32_t codePage = kCodePageUtf8;
  host.Diagnostic(diagnostics::kCompareStart);
  for (size_t i = 0; i < container.entries.size(); ++i) {
    const CContainerEntry& entry = container.entries[i];
    const CManifestEntry* listed = manifest ? &manifest->entries[i] : nullptr;
    total_ += entry.payloadSize;
    const std::string name = entry.name;
    // A file of the new size is read whole, which may take a while.
    auto isExact = [&] {
      if (progress) progress->SetStatusText("Checking " + name);
      return IsInstalledFileExact(InstallDir + name, *listed);
    };
    const CEntryKind kind = KindOf(entry, codePage);
    if (kind != CEntryKind::kDelta) {
      const bool isNew =
          listed ? isExact() : IsInstalledFileNew(container, entry, InstallDir + name, codePage);
      // Bytes copied from another file than the release was made from would
      // fail the archive's check only once working files are written.
      if (!isNew && listed && listed->copies &&
          !InstalledCopiesAre(container, entry, InstallDir + name, *listed)) {
        if (!AskAboutDifference(host, entry, CFailureCause::kNotExpectedVersion)) return false;
        continue;
      }
      Add(entry, isNew                               ? CPlannedAction::kUpToDate
                 : kind == CEntryKind::kWholePackage ? CPlannedAction::kWhole
                                                     : CPlannedAction::kUnpack);
      continue;
    }
    host.Diagnostic(diagnostics::Compared(name));
    const std::string digest = GetPackageIndexDigest(host, name);
    // Only a package whose index is already the new one can be the new
    // package: its bytes are read only then.
    if (listed && !digest.empty() && digest == entry.digestAfter && isExact()) {
      Add(entry, CPlannedAction::kUpToDate);
      continue;
    }
    const bool checked = entry.digestBefore[0] != '\0';
    // Differences are added to bytes the index does not cover: the package
    // must hold the very bytes they were taken against.
    if ((!checked || digest == entry.digestBefore) && listed && listed->differs &&
        !InstalledCopiesAre(container, entry, InstallDir + name, *listed)) {
      if (!AskAboutDifference(host, entry, CFailureCause::kNotExpectedVersion)) return false;
      continue;
    }
    if (!checked || digest == entry.digestBefore) {
      Add(entry, checked || listed || digest != entry.digestAfter ? CPlannedAction::kRebuild
                                                                  : CPlannedAction::kUpToDate);
    } else if (digest == entry.digestAfter) {
      // Already what this patch installs (an earlier run got this far), as
      // far as the index tells; the manifest tells the rest.
      if (listed) {
        refusal_ = FileFailure(name, CFailureCause::kInstalledDamaged);
        return false;
      }
      Add(entry, CPlannedAction::kUpToDate);
    } else if (!AskAboutDifference(
                   host, entry,
                   digest.empty() ? CFailureCause::kMissing : CFailureCause::kNotExpectedVersion)) {
      return false;
    }
  }
  return true;
}

bool CCompareResult::AskAboutDifference(CPatchHost& host, const CContainerEntry& entry,
                                        CFailureCause declined) {
  if (!host.AskYesNo(kDifferentQuestion, entry.name)) {
    refusal_ = FileFailure(entry.name, declined);
    return false;
  }
  Add(entry, CPlannedAction::kKept);
  return true;
}

std::string CCompareResult::GetPackageIndexDigest(CPatchHost& host, const std::string& name) const {
  return InstalledIndexDigest(host, name);
}

std::string InstalledIndexDigest(CPatchHost& host, const std::string& name) {
  const std::string path = InstallDir + name;
  std::string digest = ::GetPackageIndexDigest(path);
  if (digest.empty()) host.Diagnostic(diagnostics::NotExist(path));
  return digest;
}

std::vector<std::string> CCompareResult::Kept() const {
  std::vector<std::string> kept;
  for (const CPlannedEntry& planned : plan_)
    if (planned.action == CPlannedAction::kKept) kept.push_back(planned.entry->name);
  return kept;
}
