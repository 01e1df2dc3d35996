#include "engine/removal_plan.h"

#include <algorithm>

#include "engine/install_dir.h"
#include "engine/up_to_date.h"
#include "platform/files.h"

CRemovalPlan PlanRemovals(const CReleaseManifest& manifest, CPatchProgress& progress) {
  CRemovalPlan plan;
  for (const CRemovedFile& file : manifest.removed) {
    const std::string path = InstallDir + file.name;
    if (!platform::FileExists(path)) continue;
    progress.SetStatusText("Checking " + file.name);
    (InstalledFileIs(path, file.size, file.digest) ? plan.files : plan.changed)
        .push_back(file.name);
  }
  plan.folders = manifest.removedFolders;
  // A folder's path sorts before every path below it.
  std::sort(plan.folders.rbegin(), plan.folders.rend());
  return plan;
}
