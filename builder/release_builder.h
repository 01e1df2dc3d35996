#pragma once
// Compares an old and a new game folder and writes the release that turns
// the old one into the new one: one entry per changed or new file, ordered by
// name, and in the manifest the old folder's files and folders the new one
// lacks, which the patcher removes (those the studio keeps aside). Each entry is planned and
// written before the next file is read, and its files are mapped only meanwhile; the listings
// and what the manifest says of each file wait in scratch files beside the output
// (record_spool.h). So memory and mappings stay the same for a game of any number of files.

#include <memory>
#include <string>
#include <vector>

#include "builder/game_folder.h"
#include "builder/progress_bar.h"
#include "builder/record_spool.h"
#include "builder/release_entry.h"
#include "container/container_writer.h"
#include "container/name_code_page.h"
#include "container/stream_splitter.h"

// The new folder's files by how the release carries them.
struct CReleaseCounts {
  uint32_t rebuilt = 0;  // made partly of bytes copied from the installed file
  uint32_t whole = 0;    // carried whole
  uint32_t unchanged = 0;
};

class CReleaseBuilder {
 public:
  // Files whose path matches one of `whole` travel whole (path_pattern.h),
  // as do the files players edit (kEditedByPlayers) unless one of `delta`
  // matches them.
  void SendWhole(std::vector<std::string> whole, std::vector<std::string> delta) {
    whole_ = std::move(whole);
    delta_ = std::move(delta);
  }
  // Files of the old folder only that the release leaves installed.
  void Keep(std::vector<std::string> patterns) { keep_ = std::move(patterns); }
  // The versions' labels, for the manifest.
  void NameVersions(std::string from, std::string to) {
    fromVersion_ = std::move(from);
    toVersion_ = std::move(to);
  }
  // Whether archives may be deflated: not in a release compressed as a whole.
  void DeflateArchives(bool deflate) { deflate_ = deflate; }
  // The output whose folder receives the scratch files.
  void ScratchBeside(std::string output) { beside_ = std::move(output); }
  // Lists both folders under `rules`, checks that no path is a file in one
  // and a folder in the other, and checks the new one's names and sizes:
  // whatever can be refused without reading the files is refused here,
  // before a byte of the release is written. False, with `why` naming the
  // file. A pattern of the rules, of SendWhole or of Keep that matches no
  // path it could is named in PatternWarnings().
  bool Prepare(const std::string& oldFolder, const std::string& newFolder,
               const CNameEncoder& encoder, const CFolderRules& rules, CProgressBar& progress,
               std::string* why);
  const std::vector<std::string>& PatternWarnings() const { return patternWarnings_; }
  // The bytes of the new folder's files, for a progress bar.
  uint64_t InputBytes() const { return inputBytes_; }

  // Plans and writes the entries through `stream`. False, with `why`, for a
  // file the release cannot carry, a file that changed while it was read, or
  // a release that would pass `sizeLimit` bytes (then its whole size is
  // measured for the message, and OverLimit() is true); the caller discards
  // what was written.
  bool Write(CContainerStream& stream, uint64_t sizeLimit, CProgressBar& progress,
             std::string* why);
  // Writes again what Write wrote with archives stored (the container file
  // `stored`, read back an entry at a time), as Write writes it with archives
  // deflated: every package entry and every copy as planned, only the
  // archives' files read again and deflated. The counts and warnings stay
  // Write's; the manifest becomes the new release's. False, with `why`, as
  // Write.
  bool WriteDeflated(const std::string& stored, CContainerStream& stream, uint64_t sizeLimit,
                     CProgressBar& progress, std::string* why);

  // Splits what Write wrote (the container file `stored`, read back an
  // entry at a time) into the streams of `splitter`, each entry with the old
  // folder's file it is made from. What the manifest says of the entries so
  // carried is kept apart, for WriteManifest of a head carried as streams.
  // False, with `why`.
  bool SplitStreams(const std::string& stored, CStreamSplitter& splitter, CProgressBar& progress,
                    std::string* why);

  bool OverLimit() const { return overLimit_; }
  const CReleaseCounts& Counts() const { return counts_; }
  // The manifest of what Write wrote, given the digests of the container,
  // but for its lists, which wait on the disk for WriteManifest.
  CReleaseManifest ManifestHead(const CContainerDigests& digests) const;
  // The whole manifest that `head` (ManifestHead's, its carrying set)
  // begins, through `sink`. False, with `why`.
  bool WriteManifest(const CReleaseManifest& head, const CByteSink& sink, std::string* why) const;
  // Both folders as Prepare listed them, read back into memory. False, with
  // `why`.
  bool ReadListings(CGameFolder& old, CGameFolder& latest, std::string* why) const;
  // Files of the old folder that the new one lacks: how many the release
  // removes, and those it leaves installed (--keep, or a name the code page
  // cannot hold).
  uint32_t RemovedCount() const { return static_cast<uint32_t>(removed_.Count()); }
  const std::vector<std::string>& Kept() const { return kept_; }
  const std::vector<std::string>& Warnings() const { return warnings_; }

 private:
  bool PlanEntry(const CFilePair& pair, const CScanProgress& scanned, CEntryPlan& entry,
                 std::string* why);
  // Adds the entry unless the release passes `sizeLimit` with it, which
  // `size` and `over` keep track of.
  bool AddWithinLimit(const CEntryPlan& entry, uint64_t sizeLimit, CContainerStream& stream,
                      uint64_t& size, bool& over, std::string* why);
  bool RefuseOverLimit(uint64_t size, uint64_t sizeLimit, std::string* why);
  // The manifest's words on the removed files and folders: the old files'
  // sizes and digests, the names encoded.
  bool DescribeRemoved(std::string* why);
  bool NoteUnchanged(const std::string& name, uint64_t size, std::string* why);

  std::string beside_;
  std::string oldFolder_;
  std::string newFolder_;
  CSpooledFolder old_;
  CSpooledFolder new_;
  uint64_t inputBytes_ = 0;
  CReleaseCounts counts_;
  uint32_t codePage_ = 0;
  // Whether the file at `name` travels whole.
  bool TravelsWhole(const std::string& name) const;

  std::vector<std::string> whole_;
  std::vector<std::string> delta_;
  bool deflate_ = true;
  bool overLimit_ = false;
  // Per entry, what the manifest says of it (ListedRecord), in container
  // order.
  std::unique_ptr<CRecordSpool> listed_;
  std::unique_ptr<CRecordSpool> carried_;  // listed_ as SplitStreams carries the entries
  std::vector<std::string> keep_;
  uint64_t removable_ = 0;  // files of the old folder only that --keep does not keep
  bool removedDescribed_ = false;
  CRecordSpool removed_;  // the removed files, described (AppendRemovedFile)
  std::vector<std::string> kept_;
  std::vector<std::string> removedFolders_;
  std::vector<std::string> removedFolderNames_;
  CRecordSpool unchanged_;  // for the manifest (AppendUnchangedFile)
  std::string fromVersion_;
  std::string toVersion_;
  std::vector<std::string> warnings_;
  std::vector<std::string> patternWarnings_;
};
