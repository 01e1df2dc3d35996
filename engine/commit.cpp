// The second pass of a patch: each temporary file is checked and then moved
// over its installed file in one atomic step. A file that is not complete and
// checked never replaces an installed one; its temporary file is removed.
#include "archive/unpack_archive_entry.h"
#include "engine/compare_result.h"
#include "engine/install_dir.h"
#include "engine/patch_worker.h"
#include "engine/temporary_name.h"

bool CPatchWorker::CommitPatchedFiles(std::vector<std::string> names) {
  CCompareResult digests;
  // A fresh cursor: the run's may have latched a failure at the end.
  recordCursor_.reset(new CByteCursor(patchData, patchDataSize));
  recordCursor_->ReadU32();

  bool allInstalled = true;
  for (size_t i = 0; i < names.size(); ++i) {
    bool found = false;
    while (ReadEntryRecord(*recordCursor_, currentEntry_)) {
      found = names[i] == currentEntry_.name;
      if (!SkipEntry(*recordCursor_, currentEntry_, currentChunk_) || found) break;
    }
    if (!found) return false;

    const std::string tempName = TemporaryName(names[i]);
    const std::string tempPath = InstallDir + tempName;
    bool ok = i < written_.size() && written_[i];
    if (NameExtension(names[i]) == ".pkg") {
      // A package rebuilt from pieces must carry the index this patch makes;
      // a package sent whole is taken as it came.
      if (ok && currentEntry_.chunkCount > 1)
        ok = digests.GetPackageIndexDigest(tempName) == currentEntry_.digestAfter;
    } else {
      ok = ok && UnpackArchiveEntry(tempPath, names[i]);
    }
    ok = ok && platform::ReplaceFile(tempPath, InstallDir + names[i]);
    if (!ok) {
      platform::DeleteFile(tempPath);
      platform::DeleteFile(tempPath + ".zip");
      allInstalled = false;
    }
  }
  return allInstalled;
}
