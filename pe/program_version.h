#pragma once
// What QelPatch.exe's version resource says: what Explorer shows in the
// program's properties and signing tools read. The stub's resource holds
// fixed-length texts (resources/version.rc.in) that stamping fills, so that
// the program's layout stays the stub's.

#include <cstddef>
#include <cstdint>
#include <string>

// The longest product name, in UTF-16 units: the room of the stub's fields.
constexpr size_t kProductNameLength = 100;

struct CProgramVersion {
  // Shown as the file description and the product name; empty: the stub's
  // own texts, "QelPatch game patcher" and "QelPatch".
  std::string productName;
  // The file and product version, numbers and texts; absent: the builder's.
  bool hasVersion = false;
  uint16_t version[4] = {};
};

// Whether a UTF-8 text can be shown as a name (the product's, a studio's
// title): 1 to `longest` UTF-16 units, none a control character.
bool IsShownName(const std::string& text, size_t longest);
