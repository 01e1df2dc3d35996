#pragma once
// Whether an installed file already is what an entry makes, judged from the
// patch data alone, so that a second run, or the run after an interruption,
// leaves finished files alone and asks nothing. For the entries that do not
// depend on an installed package's index digest:
//
// - a package sent whole: the installed file holds exactly its payload;
// - a file that travels as an archive: the installed file has the size and
//   CRC-32 that the archive's local header (the start of the first payload
//   chunk) records, and every byte of it that the patch data itself carries
//   is equal: all of a stored file's bytes but those copied from the old
//   installed file, all of a deflated file's bytes (inflated).
//
// A delta package is new when its index digest equals digestAfter; the
// comparison checks that itself. These judgements serve releases without a
// manifest; with one, the installed file's size and digest decide
// (IsInstalledFileExact), for every kind.

#include <cstdint>
#include <string>

#include "container/patch_container.h"
#include "container/release_manifest.h"

bool IsInstalledFileNew(const CPatchContainer& container, const CContainerEntry& entry,
                        const std::string& installedPath, uint32_t codePage);

// The installed file has exactly the size and digest the manifest lists for
// the new version: one read of it, none when its size differs.
bool IsInstalledFileExact(const std::string& installedPath, const CManifestEntry& listed);
// The same for any size and digest (an old version's file).
bool InstalledFileIs(const std::string& installedPath, uint64_t size, const CDigest128& digest);
// The bytes the entry reads of the installed file (installed_reads.h), in
// chunk order, have the manifest's copied digest: the file is the one the
// release was made from, as far as the entry reads it.
bool InstalledCopiesAre(const CPatchContainer& container, const CContainerEntry& entry,
                        const std::string& installedPath, const CManifestEntry& listed);
