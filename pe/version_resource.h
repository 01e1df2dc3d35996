#pragma once
// QelPatch.exe's version resource (VS_VERSIONINFO) as the stamper fills it:
// the fixed part's file and product version numbers, and the texts
// FileDescription, ProductName, FileVersion and ProductVersion, which the
// stub holds as fixed-length fields (resources/version.rc.in pads them with
// spaces). Each text is written over its field, padded with NULs, so no byte
// of the program moves.

#include <cstdint>
#include <string>

#include "pe/program_version.h"

// The version resource: type 16, number 1, in whatever language the
// resource compiler gave it.
constexpr uint16_t kVersionType = 16;
constexpr uint16_t kVersionId = 1;

// Where a text lies: the file offset of its value and its UTF-16 units, the
// closing NUL included.
struct CVersionText {
  uint32_t offset = 0;
  uint32_t units = 0;
};

struct CVersionFields {
  uint32_t fixedInfo = 0;  // the file offset of VS_FIXEDFILEINFO; 0: none
  CVersionText fileDescription;
  CVersionText productName;
  CVersionText fileVersion;
  CVersionText productVersion;
};

// Reads where the fields of the resource at `offset` (`size` bytes) of the
// file lie. False, with `why`, for a damaged resource; a field the resource
// lacks stays empty.
bool ReadVersionFields(const uint8_t* file, uint32_t offset, uint32_t size, CVersionFields& fields,
                       std::string* why);

// A text as a reader of the resource sees it, up to its NUL, without the
// stub's padding spaces.
std::u16string FieldText(const uint8_t* file, const CVersionText& field);

// Writes `version` over the fields in `image` (the program's first bytes,
// the resource among them): a text not given is the stub's own, without its
// padding. False, with `why`, when a field it needs is missing or too short.
bool WriteVersion(const CVersionFields& fields, const CProgramVersion& version, uint8_t* image,
                  std::string* why);
