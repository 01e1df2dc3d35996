#pragma once
// Compares an old and a new game folder and plans the release that turns the
// old one into the new one: one entry per changed or new file, ordered by
// name. Files only in the old folder cannot be removed by a release; they are
// reported. The new files stay mapped until the release is written, since the
// payload chunks borrow their bytes.

#include <memory>
#include <string>
#include <vector>

#include "engine/container_writer.h"
#include "tools/mapped_file.h"
#include "tools/progress_bar.h"
#include "tools/release_entry.h"

struct CReleaseCounts {
  uint32_t deltas = 0;
  uint32_t wholePackages = 0;
  uint32_t archives = 0;
  uint32_t unchanged = 0;
};

class CReleaseBuilder {
 public:
  // False, with `why`, for bad input: a missing folder, an unreadable file,
  // an invalid package, a file or release over the format's limits, a new
  // file in a folder the old game lacks.
  bool Plan(const std::string& oldFolder, const std::string& newFolder, CProgressBar& progress,
            std::string* why);

  const CContainerWriter& Writer() const { return writer_; }
  const CReleaseCounts& Counts() const { return counts_; }
  // Files of the old folder that the new one lacks.
  const std::vector<std::string>& Removed() const { return removed_; }
  const std::vector<std::string>& Warnings() const { return warnings_; }

 private:
  bool PlanFile(const std::string& oldFolder, const std::string& newFolder, const std::string& name,
                bool inOld, CProgressBar& progress, uint64_t& done, std::string* why);

  std::vector<std::unique_ptr<CMappedFile>> latestFiles_;
  CContainerWriter writer_;
  CReleaseCounts counts_;
  std::vector<std::string> removed_;
  std::vector<std::string> warnings_;
};
