#pragma once
// Checks a release exactly as the patcher does before it touches a file, and
// reviews it for the release engineer: per entry its status (new, changed),
// kind, chunk count, payload and copied bytes, the sizes and digest of the
// file it makes, the digest of what it copies from the installed file and
// the index digests of a package; totals, the code page, the size of the
// QelPatch.exe players download, the product name and version its
// properties show, and a studio's title, registry value and artwork.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "builder/release_input.h"
#include "container/name_code_page.h"
#include "container/patch_container.h"
#include "container/release_manifest.h"
#include "engine/program_settings.h"

struct CEntryReview {
  std::string name;  // UTF-8
  std::string kind;  // "delta", "whole package", "archive, deflated", ...
  uint32_t chunks = 0;
  uint64_t payload = 0;
  uint64_t copied = 0;
  bool package = false;
  std::string digestBefore;  // of the installed package's index; empty: not checked
  std::string digestAfter;
  // The manifest's word: whether an installed file is replaced, the sizes
  // and the digest of the file the entry makes.
  bool listed = false;
  bool replaces = false;
  uint64_t oldSize = 0;
  uint64_t newSize = 0;
  std::string digest;
  // Of the bytes the entry reads of the installed file, in chunk order;
  // empty when it copies none.
  std::string copiedDigest;
  bool differs = false;  // its payload travels as differences from the installed file
  bool covered = false;  // and its chunk table as covers
};

// A version a release of several steps serves: the steps it takes from
// there and their bytes (the index's aside).
struct CServedVersion {
  std::string version;
  uint32_t steps = 0;
  uint64_t bytes = 0;
};

// A release's review; for a release of several steps, the file's fields and
// toVersion here and each step's in `steps`.
struct CReleaseReview {
  std::string path;
  bool program = false;  // QelPatch.exe; otherwise a release file
  uint64_t fileSize = 0;
  uint64_t releaseSize = 0;
  bool hasManifest = false;
  uint32_t codePage = 0;       // of the names; 0: ASCII
  bool compressed = false;     // the container is carried compressed
  bool streams = false;        // as streams (else as one xz stream)
  uint64_t containerSize = 0;  // as the patcher reads it
  // What players download: the program itself, or the one the stub would
  // make of the release; `programNote` says why it is unknown.
  bool programSizeKnown = false;
  uint64_t programSize = 0;
  std::string programNote;
  // What a program's properties show (its version resource); unknown for a
  // release file, and for a program without the resource.
  bool productKnown = false;
  std::string productName;
  std::string productVersion;
  // What a program's settings say (QelPatch's own when it has none);
  // unknown for a release file.
  bool settingsKnown = false;
  CProgramSettings settings;
  std::vector<CEntryReview> entries;
  std::string fromVersion;  // the versions' labels; empty from older builders
  std::string toVersion;
  std::vector<std::pair<std::string, uint64_t>> removed;  // old files removed, their sizes
  std::vector<std::string> removedFolders;
  std::vector<CReleaseReview> steps;  // of a release of several steps
  std::vector<CServedVersion> served;
};

// Reviews the release file or QelPatch.exe at `path` (release_input.h); the
// stub measures the program a release file makes. False, with `why`, when
// the input cannot be read or the patcher would refuse it.
bool ReviewRelease(const std::string& path, const CNameEncoder& encoder,
                   const std::string& stubPath, CReleaseReview& review, std::string* why);

// The check ReviewRelease makes, for the bytes of a release named `path`: no
// larger than `sizeLimit` and every step accepted by the patcher with names
// read in `codePage`; the validated steps go to `steps` when it is given.
bool CheckRelease(const std::string& path, const uint8_t* data, uint64_t size, uint32_t codePage,
                  uint64_t sizeLimit, std::vector<CInputStep>* steps, std::string* why);
