// The version resource's fields as the stamper fills them: found in a
// VS_VERSIONINFO laid out as resource compilers lay it out, written with the
// product's name and version padded with NULs (or the stub's own texts
// without their padding), refused when they do not fit, and a damaged
// resource refused without a read out of bounds.
#include "pe/version_resource.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/little_endian.h"

namespace {
using Bytes = std::vector<uint8_t>;

void Pad4(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}

void AppendText(Bytes& b, const std::u16string& text) {
  for (char16_t c : text)
    b.push_back(static_cast<uint8_t>(c)), b.push_back(static_cast<uint8_t>(c >> 8));
  b.push_back(0), b.push_back(0);
}

Bytes Node(const std::u16string& key, uint16_t type, const Bytes& value, uint16_t valueLength,
           const std::vector<Bytes>& children) {
  Bytes b(6, 0);
  PutU16(&b[2], valueLength);
  PutU16(&b[4], type);
  AppendText(b, key);
  Pad4(b);
  b.insert(b.end(), value.begin(), value.end());
  for (const Bytes& child : children) {
    Pad4(b);
    b.insert(b.end(), child.begin(), child.end());
  }
  PutU16(&b[0], static_cast<uint16_t>(b.size()));
  return b;
}

Bytes Text(const std::u16string& key, const std::u16string& value) {
  Bytes bytes;
  AppendText(bytes, value);
  return Node(key, 1, bytes, static_cast<uint16_t>(value.size() + 1), {});
}

// The stub's resource: the fixed part at version 1.0.0.0, texts padded.
Bytes StubResource() {
  Bytes fixed(52, 0);
  PutU32(&fixed[0], 0xFEEF04BD);
  PutU32(&fixed[8], 0x00010000);
  PutU32(&fixed[16], 0x00010000);
  const std::u16string pad(20, u' ');
  const Bytes table =
      Node(u"040904b0", 1, {}, 0,
           {Text(u"FileDescription", u"QelPatch game patcher" + pad),
            Text(u"FileVersion", u"1.0.0      "), Text(u"OriginalFilename", u"QelPatch.exe"),
            Text(u"ProductName", u"QelPatch" + pad), Text(u"ProductVersion", u"1.0.0      ")});
  return Node(u"VS_VERSION_INFO", 0, fixed, 52,
              {Node(u"StringFileInfo", 1, {}, 0, {table}),
               Node(u"VarFileInfo", 1, {}, 0, {Node(u"Translation", 0, {9, 4, 0xB0, 4}, 4, {})})});
}

// A text of the file as a reader of the resource sees it: up to its NUL.
std::u16string TextAt(const Bytes& file, const CVersionText& field) {
  std::u16string text;
  for (uint32_t i = 0; i < field.units && GetU16(&file[field.offset + 2 * i]) != 0; ++i)
    text.push_back(static_cast<char16_t>(GetU16(&file[field.offset + 2 * i])));
  return text;
}

// The resource at offset 0x100 of a file.
Bytes FileWith(const Bytes& resource) {
  Bytes file(0x100 + resource.size(), 0xAA);
  std::copy(resource.begin(), resource.end(), file.begin() + 0x100);
  return file;
}
}  // namespace

TEST(VersionResource, TheProductsNameAndVersionFillTheFields) {
  const Bytes resource = StubResource();
  Bytes file = FileWith(resource);
  CVersionFields fields;
  std::string why;
  ASSERT_TRUE(
      ReadVersionFields(file.data(), 0x100, static_cast<uint32_t>(resource.size()), fields, &why))
      << why;
  CProgramVersion version;
  version.productName = "Game patch 1.1 \xE2\x80\x94 \xC3\xA9t\xC3\xA9";  // — été
  version.hasVersion = true;
  version.version[0] = 1, version.version[1] = 1, version.version[2] = 0, version.version[3] = 7;
  const Bytes before = file;
  ASSERT_TRUE(WriteVersion(fields, version, file.data(), &why)) << why;
  EXPECT_EQ(TextAt(file, fields.fileDescription), u"Game patch 1.1 \u2014 \u00e9t\u00e9");
  EXPECT_EQ(TextAt(file, fields.productName), u"Game patch 1.1 \u2014 \u00e9t\u00e9");
  EXPECT_EQ(TextAt(file, fields.fileVersion), u"1.1.0.7");
  EXPECT_EQ(TextAt(file, fields.productVersion), u"1.1.0.7");
  EXPECT_EQ(GetU32(&file[fields.fixedInfo + 8]), 0x00010001u);
  EXPECT_EQ(GetU32(&file[fields.fixedInfo + 12]), 0x00000007u);
  EXPECT_EQ(GetU32(&file[fields.fixedInfo + 16]), 0x00010001u);
  EXPECT_EQ(GetU32(&file[fields.fixedInfo + 20]), 0x00000007u);
  // Nothing outside the fields changed; the rest of each field is NULs.
  for (size_t i = 0; i < file.size(); ++i) {
    const auto inside = [&](const CVersionText& f) {
      return i >= f.offset && i < f.offset + 2 * f.units;
    };
    const bool field = inside(fields.fileDescription) || inside(fields.productName) ||
                       inside(fields.fileVersion) || inside(fields.productVersion) ||
                       (i >= fields.fixedInfo + 8 && i < fields.fixedInfo + 24);
    if (!field) {
      EXPECT_EQ(file[i], before[i]) << i;
    }
  }
  EXPECT_EQ(GetU16(&file[fields.productName.offset + 2 * (fields.productName.units - 1)]), 0u);
}

TEST(VersionResource, TheStubsOwnTextsAreTheDefault) {
  const Bytes resource = StubResource();
  Bytes file = FileWith(resource);
  CVersionFields fields;
  ASSERT_TRUE(ReadVersionFields(file.data(), 0x100, static_cast<uint32_t>(resource.size()), fields,
                                nullptr));
  ASSERT_TRUE(WriteVersion(fields, CProgramVersion(), file.data(), nullptr));
  EXPECT_EQ(TextAt(file, fields.fileDescription), u"QelPatch game patcher");
  EXPECT_EQ(TextAt(file, fields.productName), u"QelPatch");
  EXPECT_EQ(TextAt(file, fields.productVersion), u"1.0.0");
  EXPECT_EQ(GetU32(&file[fields.fixedInfo + 8]), 0x00010000u);
}

TEST(VersionResource, WhatDoesNotFitIsRefused) {
  const Bytes resource = StubResource();
  Bytes file = FileWith(resource);
  CVersionFields fields;
  ASSERT_TRUE(ReadVersionFields(file.data(), 0x100, static_cast<uint32_t>(resource.size()), fields,
                                nullptr));
  CProgramVersion version;
  version.productName = std::string(29, 'n');  // ProductName holds "QelPatch" and 20 spaces
  std::string why;
  EXPECT_FALSE(WriteVersion(fields, version, file.data(), &why));
  EXPECT_EQ(why, "the stub's ProductName holds 28 characters, not 29");
  version = CProgramVersion();
  version.hasVersion = true;
  version.version[0] = 65535, version.version[1] = 65535;  // "65535.65535.0.0"
  EXPECT_FALSE(WriteVersion(fields, version, file.data(), &why));
  EXPECT_EQ(why, "the stub's FileVersion holds 11 characters, not 15");
  // A stub without a version resource takes no name.
  version = CProgramVersion();
  version.productName = "Game patch";
  EXPECT_FALSE(WriteVersion(CVersionFields(), version, file.data(), &why));
  EXPECT_EQ(why, "the stub's version resource has no FileDescription");
  EXPECT_TRUE(WriteVersion(CVersionFields(), CProgramVersion(), file.data(), &why));
}

TEST(VersionResource, EveryTruncationIsReadWithinItsBytes) {
  const Bytes resource = StubResource();
  for (size_t size = 0; size < resource.size(); ++size) {
    // Exactly the bytes given: a read past them is a read of freed memory
    // under the sanitizers.
    const Bytes cut(resource.begin(), resource.begin() + size);
    CVersionFields fields;
    ReadVersionFields(cut.data(), 0, static_cast<uint32_t>(cut.size()), fields, nullptr);
    EXPECT_LE(uint64_t{fields.productName.offset} + 2 * fields.productName.units, size);
  }
}
