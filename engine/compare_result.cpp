#include "engine/compare_result.h"

#include "base/byte_cursor.h"
#include "base/diagnostics.h"
#include "digest/package_index_digest.h"
#include "engine/failure_reason.h"
#include "engine/install_dir.h"
#include "engine/patch_container.h"
#include "engine/up_to_date.h"

namespace {
const char kDifferentQuestion[] =
    "This file is different with PatchFile.\nDo you want to continue patch ?";

}  // namespace

bool CCompareResult::ComparePatchFiles(platform::WindowHandle owner, const uint8_t* patchData,
                                       uint32_t patchDataSize) {
  const uint32_t codePage = platform::AnsiCodePage();
  CByteCursor cursor(patchData, patchDataSize);
  uint32_t entryCount = cursor.ReadU32();
  diagnostics::CompareStart();
  for (uint32_t i = 0; i < entryCount; ++i) {
    CEntryRecord record;
    if (!ReadEntryRecord(cursor, record)) return false;
    total_ += record.payloadSize;
    std::string name = record.name;

    bool dependsOnInstalled = NameExtension(name, codePage) == ".pkg" && record.chunkCount >= 2;
    if (!dependsOnInstalled) {
      if (!IsInstalledFileNew(patchData, patchDataSize, cursor.Tell(), record, InstallDir + name,
                              codePage))
        names_.push_back(name);
    } else {
      diagnostics::Compared(name);
      std::string digest = GetPackageIndexDigest(name);
      bool checked = record.digestBefore[0] != '\0';
      if (!checked || digest == record.digestBefore) {
        if (checked || digest != record.digestAfter) names_.push_back(name);
      } else if (digest == record.digestAfter) {
        // Already what this patch installs (an earlier run got this far).
      } else if (!platform::AskYesNo(owner, kDifferentQuestion, name.c_str())) {
        refusal_ = FileFailure(
            name, digest.empty() ? CFailureCause::kMissing : CFailureCause::kNotExpectedVersion);
        return false;
      }
    }

    CChunkRecord first;
    if (!SkipEntry(cursor, record, first)) return false;
  }
  return true;
}

std::string CCompareResult::GetPackageIndexDigest(const std::string& name) const {
  return ::GetPackageIndexDigest(InstallDir + name);
}

void CCompareResult::CopyNames(std::vector<std::string>& destination) const {
  destination.insert(destination.end(), names_.begin(), names_.end());
}
