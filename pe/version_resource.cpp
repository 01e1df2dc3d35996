#include "pe/version_resource.h"

#include "base/byte_cursor.h"
#include "base/little_endian.h"
#include "base/refusal.h"
#include "pe/utf16_text.h"

namespace {
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFixedInfoSize = 52;
constexpr uint32_t kFileVersionField = 8;  // MS, LS, then the product version's
constexpr uint32_t kNodeHeaderSize = 6;
constexpr uint16_t kTextNode = 1;

uint32_t Align4(uint32_t at) {
  return (at + 3) & ~3u;
}

// One node of the resource: its length, its value and its children, all
// inside the resource, offsets from its start.
struct CNode {
  uint32_t end = 0;
  uint32_t value = 0;
  uint32_t valueLength = 0;  // bytes, or UTF-16 units for text
  std::u16string key;
  uint32_t children = 0;
};

bool ReadNode(const uint8_t* resource, uint32_t size, uint32_t at, CNode& node) {
  CByteCursor cursor(resource, size);
  cursor.Seek(at);
  const uint32_t length = cursor.ReadU16();
  node.valueLength = cursor.ReadU16();
  const uint16_t type = cursor.ReadU16();
  if (cursor.Failed() || length < kNodeHeaderSize || length > size - at) return false;
  node.end = at + length;
  node.key.clear();
  for (;;) {
    const uint16_t c = cursor.ReadU16();
    if (cursor.Failed() || cursor.Tell() > node.end) return false;
    if (c == 0) break;
    node.key.push_back(static_cast<char16_t>(c));
  }
  node.value = Align4(cursor.Tell());
  const uint64_t valueBytes = type == kTextNode ? uint64_t{node.valueLength} * 2 : node.valueLength;
  if (node.value > node.end || valueBytes > node.end - node.value) return false;
  node.children = Align4(static_cast<uint32_t>(node.value + valueBytes));
  return true;
}

// The texts of one string table.
void TakeTexts(const uint8_t* resource, uint32_t size, const CNode& table, uint32_t base,
               CVersionFields& fields, bool& damaged) {
  for (uint32_t at = table.children; at < table.end;) {
    CNode text;
    if (!ReadNode(resource, size, at, text) || text.end > table.end) {
      damaged = true;
      return;
    }
    CVersionText* field = text.key == u"FileDescription"  ? &fields.fileDescription
                          : text.key == u"ProductName"    ? &fields.productName
                          : text.key == u"FileVersion"    ? &fields.fileVersion
                          : text.key == u"ProductVersion" ? &fields.productVersion
                                                          : nullptr;
    if (field) *field = CVersionText{base + text.value, text.valueLength};
    at = Align4(text.end);
  }
}

bool WriteText(const CVersionText& field, const std::u16string& text, const char* name,
               uint8_t* image, std::string* why) {
  if (field.units == 0)
    return Refuse(why, std::string("the stub's version resource has no ") + name);
  if (text.size() >= field.units)
    return Refuse(why, std::string("the stub's ") + name + " holds " +
                           std::to_string(field.units - 1) + " characters, not " +
                           std::to_string(text.size()));
  for (uint32_t i = 0; i < field.units; ++i)
    PutU16(image + field.offset + 2 * i, i < text.size() ? static_cast<uint16_t>(text[i]) : 0);
  return true;
}

std::u16string VersionText(const uint16_t (&version)[4]) {
  std::u16string text;
  ToUtf16(std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
              std::to_string(version[2]) + "." + std::to_string(version[3]),
          text);
  return text;
}
}  // namespace

std::u16string FieldText(const uint8_t* file, const CVersionText& field) {
  std::u16string text;
  for (uint32_t i = 0; i < field.units; ++i) {
    const char16_t c = static_cast<char16_t>(GetU16(file + field.offset + 2 * i));
    if (c == 0) break;
    text.push_back(c);
  }
  while (!text.empty() && text.back() == u' ') text.pop_back();
  return text;
}

bool ReadVersionFields(const uint8_t* file, uint32_t offset, uint32_t size, CVersionFields& fields,
                       std::string* why) {
  fields = CVersionFields();
  const uint8_t* resource = file + offset;
  CNode root;
  if (!ReadNode(resource, size, 0, root) || root.key != u"VS_VERSION_INFO")
    return Refuse(why, "a damaged version resource");
  if (root.valueLength >= kFixedInfoSize && GetU32(resource + root.value) == kFixedInfoSignature)
    fields.fixedInfo = offset + root.value;
  bool damaged = false;
  for (uint32_t at = root.children; at < root.end && !damaged;) {
    CNode block;
    if (!ReadNode(resource, size, at, block) || block.end > root.end) break;
    for (uint32_t t = block.children;
         block.key == u"StringFileInfo" && t < block.end && !damaged;) {
      CNode table;
      if (!ReadNode(resource, size, t, table) || table.end > block.end) {
        damaged = true;
        break;
      }
      TakeTexts(resource, size, table, offset, fields, damaged);
      t = Align4(table.end);
    }
    at = Align4(block.end);
  }
  return !damaged || Refuse(why, "a damaged version resource");
}

bool WriteVersion(const CVersionFields& fields, const CProgramVersion& version, uint8_t* image,
                  std::string* why) {
  std::u16string name;
  ToUtf16(version.productName, name);
  const std::u16string number = VersionText(version.version);
  const bool given = !version.productName.empty() || version.hasVersion;
  // A stub without the fields is stamped as it is, unless they are asked for.
  if (!given && fields.fileDescription.units == 0 && fields.productName.units == 0 &&
      fields.fileVersion.units == 0 && fields.productVersion.units == 0)
    return true;
  const auto text = [&](const CVersionText& field, bool isName) {
    if (isName && !version.productName.empty()) return name;
    if (!isName && version.hasVersion) return number;
    return FieldText(image, field);
  };
  if (!WriteText(fields.fileDescription, text(fields.fileDescription, true), "FileDescription",
                 image, why) ||
      !WriteText(fields.productName, text(fields.productName, true), "ProductName", image, why) ||
      !WriteText(fields.fileVersion, text(fields.fileVersion, false), "FileVersion", image, why) ||
      !WriteText(fields.productVersion, text(fields.productVersion, false), "ProductVersion", image,
                 why))
    return false;
  if (!version.hasVersion) return true;
  if (fields.fixedInfo == 0) return Refuse(why, "the stub's version resource has no numbers");
  const uint32_t high = uint32_t{version.version[0]} << 16 | version.version[1];
  const uint32_t low = uint32_t{version.version[2]} << 16 | version.version[3];
  for (uint32_t field = kFileVersionField; field <= kFileVersionField + 8; field += 8) {
    PutU32(image + fields.fixedInfo + field, high);
    PutU32(image + fields.fixedInfo + field + 4, low);
  }
  return true;
}
