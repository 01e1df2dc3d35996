#pragma once
// One release loaded as the patcher takes it, for every reader of releases:
// the patcher, the Linux patcher's --release, and the builder's --show,
// --stamp and --verify. It finds the manifest, unpacks a compressed
// container, validates the container, checks it against the manifest, and
// settles which code page the names are in, all here.

#include <cstdint>
#include <string>
#include <vector>

#include "container/patch_container.h"
#include "container/release_manifest.h"
#include "container/stream_carrier.h"

enum class CLoadRefusal {
  kNone,
  kDamaged,        // the manifest, the container or its names are not sound
  kOutOfMemory,    // the compressed container could not be unpacked for memory
  kOtherCodePage,  // the names are for a code page this system does not use
};

struct CLoadRules {
  // The names' code page when the release names none (a release without a
  // manifest, or of ASCII names): the system's, or the builder's option.
  uint32_t fallbackCodePage = 0;
  // Where set, the code page this system names files in, which must be the
  // release's unless it is UTF-8 (Linux takes any name); the names are then
  // taken into UTF-8. 0 leaves them as the release writes them.
  uint32_t systemCodePage = 0;
  // The most of the covers' difference runs kept from the tables to the
  // payload (stream_carrier.h); past it, the covers are unpacked twice.
  uint64_t coversKept = kCoversKeptLimit;
};

struct CLoadedRelease {
  CReleaseView view;           // the container's bytes, the manifest, the unpacked buffer
  CPatchContainer container;   // the validated entries
  uint32_t namesCodePage = 0;  // the code page the release's names are written in

  // The entry's name as the release writes it, which its archives use.
  const char* ReleaseNameOf(const CContainerEntry& entry) const;
  // The manifest's word on an entry; null for a release without one.
  const CManifestEntry* ManifestOf(const CContainerEntry& entry) const;

  // Makes the entry's payload readable (`entry.payload`) where the release
  // carries it as streams, unpacked one entry at a time in container order;
  // the entry held before lets go of its payload. Every other release holds
  // all of it already. False with `refusal` and `why`.
  bool HoldPayload(const CContainerEntry& entry, CLoadRefusal& refusal, std::string* why);
  // The held entry's payload, carried as streams, for the installed bytes
  // that its differences are added to; null for any other release.
  uint8_t* HeldPayload() const;
  // Where the payload is unpacked one entry at a time, unpacks what is left
  // and checks it against the manifest's payload digest; true at once for
  // other releases, whose payload was checked as they loaded.
  bool CheckPayload(std::string* why);

  // Where the names were taken into UTF-8 from another code page (the
  // manifest's other names are taken in place): the taken names,
  // which the entries point at, and the release's own.
  std::vector<std::string> localNames;
  std::vector<const char*> releaseNames;

 private:
  CContainerEntry* held_ = nullptr;
};

// The names' code page: the manifest's when it names one, else `fallback`.
uint32_t NamesCodePageOf(const CReleaseView& view, uint32_t fallback);

// Loads data[0, size). False with `refusal` and, when asked, `why` (what is
// damaged, or the code pages that differ). `unpacking` hears how far the
// unpacking of a compressed container has come.
bool LoadRelease(const uint8_t* data, uint64_t size, const CLoadRules& rules,
                 CLoadedRelease& release, CLoadRefusal& refusal, std::string* why,
                 const CUnpackProgress& unpacking = {});
