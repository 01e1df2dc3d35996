#pragma once
// Checks a release exactly as the patcher does before it touches a file, and
// lists its entries: name, kind, chunk count, payload and copied bytes, and
// both digests.

#include <cstdint>
#include <string>

#include "container/name_code_page.h"
#include "container/patch_container.h"
#include "container/release_manifest.h"

// Writes the listing to `out`, names shown in UTF-8. False, with `why`, when
// the release cannot be read, the patcher would refuse it (its names read in
// the encoder's code page), or it is larger than `sizeLimit`, what
// QelPatch.exe can carry.
bool ShowRelease(const std::string& path, const CNameEncoder& encoder, uint64_t sizeLimit,
                 std::string& out, std::string* why);

// The check ShowRelease makes, for the bytes of a release named `path`: no
// larger than `sizeLimit` and accepted by the patcher with names read in
// `codePage`; the validated entries go to `container` when it is given.
bool CheckRelease(const std::string& path, const uint8_t* data, uint64_t size, uint32_t codePage,
                  uint64_t sizeLimit, CPatchContainer* container, std::string* why,
                  CReleaseView* view = nullptr);
