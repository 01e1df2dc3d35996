#pragma once
// The pre-patch comparison: the plan of the run (what becomes of each entry
// of the release), and the progress total of the whole run.

#include <cstdint>
#include <string>
#include <vector>

#include "container/patch_container.h"
#include "container/release_manifest.h"
#include "engine/failure_reason.h"
#include "engine/patch_host.h"
#include "engine/patch_progress.h"

// What the run does with an entry.
enum class CPlannedAction {
  kRebuild,   // a package rebuilt from its installed one and the patch data
  kWhole,     // a package sent whole
  kUnpack,    // a file unpacked from its one-entry archive
  kUpToDate,  // already the new version: left alone
  kKept,      // not the version the patch expects; the user chose to go on without it
};

struct CPlannedEntry {
  const CContainerEntry* entry;
  CPlannedAction action;

  // Whether the run makes the entry's file.
  bool Makes() const {
    return action != CPlannedAction::kUpToDate && action != CPlannedAction::kKept;
  }
};

class CCompareResult {
 public:
  // Walks every entry of the (validated) container. A ".pkg" entry of two or
  // more chunks depends on the installed package: it is listed when the
  // package's index digest equals digestBefore (or digestBefore is empty),
  // passed over as up to date when it already equals digestAfter, and
  // otherwise the user is asked: Yes goes on without it, No ends with false
  // and the reason in Refusal(). Every other entry is listed unless its
  // installed file already is the new one (up_to_date.h). The total is the
  // sum of every payloadSize, listed or not.
  //
  // With the release's manifest, an entry whose installed file already has
  // the new size and digest is passed over, whatever its kind, and a package
  // whose index is already the new one but whose bytes are not is refused:
  // no patch can make it new.
  // `host` answers the question and takes the diagnostic lines; `progress`,
  // when given, names each installed file while it is read.
  bool ComparePatchFiles(CPatchHost& host, const CPatchContainer& container,
                         const CReleaseManifest* manifest = nullptr,
                         CPatchProgress* progress = nullptr);
  // The same on bytes not yet validated: a malformed container ends with false.
  bool ComparePatchFiles(CPatchHost& host, const uint8_t* patchData, uint32_t patchDataSize);
  const std::string& Refusal() const { return refusal_; }

  // The index digest of InstallDir + name; empty when it cannot be opened.
  std::string GetPackageIndexDigest(CPatchHost& host, const std::string& name) const;

  // Every entry of the container, in its order, with its action.
  const std::vector<CPlannedEntry>& Plan() const { return plan_; }
  // The files the user chose to go on without; they stay as they are.
  std::vector<std::string> Kept() const;
  uint32_t GetTotal() const { return total_; }

 private:
  // Asks whether to go on without the entry's file, which differs from the
  // version the release expects: Yes keeps it as it is, No ends the
  // comparison with `declined` as the reason.
  bool AskAboutDifference(CPatchHost& host, const CContainerEntry& entry, CFailureCause declined);
  void Add(const CContainerEntry& entry, CPlannedAction action) {
    plan_.push_back({&entry, action});
  }

  // The container checked by the overload on bytes, which the plan points into.
  CPatchContainer validated_;
  std::vector<CPlannedEntry> plan_;
  uint32_t total_ = 0;
  std::string refusal_;
};

// The index digest of the package InstallDir + name; empty, with the line
// "LocalFile: <path> is not exist!!" to the host, when it cannot be opened.
std::string InstalledIndexDigest(CPatchHost& host, const std::string& name);
