#pragma once
// How one changed or new file of the game travels in a release.
//
// A package (".pkg", exactly as the patcher tests the extension) present in
// both folders becomes a delta: the new package's 32-byte header as the first
// payload chunk, copy chunks for every run of the new package found in the
// old one, payload chunks for the rest, checked by both index digests. A new
// package is sent whole as one payload chunk. Any other file travels as a
// one-entry zip archive named as the entry: deflated (in a release carried
// as it is), stored, or stored with its data partly copied from the
// installed file, whichever is smallest. The files players edit travel
// whole (kEditedByPlayers): a player's edit of a settings file would
// otherwise stop the patch, to save little.

#include <string>
#include <vector>

#include "container/container_writer.h"
#include "container/entry_kind.h"
#include "container/patch_container.h"
#include "delta/delta_matcher.h"
#include "platform/mapped_file.h"

// The files that travel whole unless the studio says otherwise: settings
// and texts, which players edit. Other small files travel as differences,
// checked at the comparison like any file that copies.
inline const std::vector<std::string> kEditedByPlayers = {"**/*.ini", "**/*.cfg", "**/*.conf",
                                                          "**/*.txt"};

struct CFilePair {
  std::string name;                  // the release's bytes for it, '/' separated
  const CMappedFile* old = nullptr;  // null: the file is new
  const CMappedFile* latest = nullptr;
  bool whole = false;  // sent whole, never copied from the installed file
};

// Plans the entry; payload chunks borrow the new file's mapped bytes. False,
// with `why`, for a file the release cannot carry. `warning` is set when the
// entry had to travel in another form than the usual one. A package's digests
// are checked against what the patcher's own fingerprint reads from the files,
// so the release says of each package what the patcher will find.
bool PlanPackageEntry(const CFilePair& pair, const CScanProgress& progress, CEntryPlan& entry,
                      CEntryKind& kind, std::string* why, std::string* warning);
// An archive is deflated only when `deflate` is set (a release carried as
// it is) or its stored form would be too large.
bool PlanArchiveEntry(const CFilePair& pair, bool deflate, const CScanProgress& progress,
                      CEntryPlan& entry, std::string* why);

// The plan that writes an entry of a validated container again, borrowing
// its payload bytes from the container.
CEntryPlan PlanOfEntry(const CPatchContainer& container, const CContainerEntry& entry);
// The archive entry `stored` (planned with `deflate` unset) as PlanArchiveEntry
// plans it with `deflate` set, from the file it was planned from: only the
// deflating is done again. False, with `why`, when `latest` is no longer that
// file.
bool DeflateStoredArchive(const CEntryPlan& stored, const CMappedFile& latest, CEntryPlan& entry,
                          std::string* why);

// What an entry costs in the container beyond its entry record.
uint64_t EntryCost(const CEntryPlan& entry);
// Whether the entry copies bytes from the installed file.
bool HasCopies(const CEntryPlan& entry);
