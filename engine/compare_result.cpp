#include "engine/compare_result.h"

#include "base/diagnostics.h"
#include "container/entry_kind.h"
#include "digest/package_index_digest.h"
#include "engine/failure_reason.h"
#include "engine/install_dir.h"
#include "engine/up_to_date.h"

namespace {
const char kDifferentQuestion[] =
    "This file is different with PatchFile.\nDo you want to continue patch ?";

}  // namespace

bool CCompareResult::ComparePatchFiles(platform::WindowHandle owner, const uint8_t* patchData,
                                       uint32_t patchDataSize) {
  CPatchContainer container;
  if (!ValidatePatchContainer(patchData, patchDataSize, platform::AnsiCodePage(), nullptr,
                              &container)) {
    refusal_ = "The patch data is damaged; download the patch again";
    return false;
  }
  return ComparePatchFiles(owner, container);
}

bool CCompareResult::ComparePatchFiles(platform::WindowHandle owner,
                                       const CPatchContainer& container) {
  const uint32_t codePage = platform::AnsiCodePage();
  diagnostics::CompareStart();
  for (const CContainerEntry& entry : container.entries) {
    total_ += entry.payloadSize;
    const std::string name = entry.name;
    if (KindOf(entry, codePage) != CEntryKind::kDelta) {
      if (!IsInstalledFileNew(container, entry, InstallDir + name, codePage))
        names_.push_back(name);
      continue;
    }
    diagnostics::Compared(name);
    const std::string digest = GetPackageIndexDigest(name);
    const bool checked = entry.digestBefore[0] != '\0';
    if (!checked || digest == entry.digestBefore) {
      if (checked || digest != entry.digestAfter) names_.push_back(name);
    } else if (digest == entry.digestAfter) {
      // Already what this patch installs (an earlier run got this far).
    } else if (!platform::AskYesNo(owner, kDifferentQuestion, name.c_str())) {
      refusal_ = FileFailure(
          name, digest.empty() ? CFailureCause::kMissing : CFailureCause::kNotExpectedVersion);
      return false;
    }
  }
  return true;
}

std::string CCompareResult::GetPackageIndexDigest(const std::string& name) const {
  return ::GetPackageIndexDigest(InstallDir + name);
}

void CCompareResult::CopyNames(std::vector<std::string>& destination) const {
  destination.insert(destination.end(), names_.begin(), names_.end());
}
