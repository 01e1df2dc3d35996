#include "pe/pe_image.h"

#include <cctype>

#include "base/byte_cursor.h"
#include "base/refusal.h"
#include "pe/pe_format.h"

namespace {
// A section's image range; its file data may be shorter (the rest is zeros).
bool Inside(uint32_t start, uint32_t length, uint32_t address, uint32_t size) {
  return address >= start && size <= length && address - start <= length - size;
}
}  // namespace

bool CPeImage::Parse(const uint8_t* data, uint32_t size, std::string* why) {
  data_ = data;
  size_ = size;
  sections_.clear();
  CByteCursor cursor(data, size);
  if (cursor.ReadU16() != kDosMagic || !cursor.Seek(kDosPeOffsetField))
    return Refuse(why, "not a Windows program");
  const uint32_t pe = cursor.ReadU32();
  if (!cursor.Seek(pe) || cursor.ReadU32() != kPeSignature)
    return Refuse(why, "not a Windows program");
  const uint16_t machine = cursor.ReadU16();
  const uint16_t sectionCount = cursor.ReadU16();
  cursor.Seek(pe + kFileHeaderOffset + kFileOptionalSizeField);
  const uint16_t optionalSize = optionalSize_ = cursor.ReadU16();
  optional_ = pe + kOptionalHeaderOffset;
  cursor.Seek(optional_);
  if (machine != kMachineI386 || cursor.ReadU16() != kOptionalMagicPe32 || cursor.Failed())
    return Refuse(why, "not a 32-bit Windows program");
  cursor.Seek(optional_ + kOptionalSectionAlignmentField);
  sectionAlignment_ = cursor.ReadU32();
  fileAlignment_ = cursor.ReadU32();
  cursor.Seek(optional_ + kOptionalHeadersSizeField);
  headersSize_ = cursor.ReadU32();
  cursor.Seek(optional_ + kOptionalSubsystemField);
  subsystem_ = cursor.ReadU16();
  cursor.Seek(optional_ + kOptionalDirectoryCountField);
  directoryCount_ = cursor.ReadU32();
  // The file alignment is bounded as the format bounds it: the stamper pads
  // the stub to it, and a damaged one would make a program of gigabytes.
  if (cursor.Failed() || sectionAlignment_ == 0 || fileAlignment_ == 0 ||
      fileAlignment_ > kMaxFileAlignment || (fileAlignment_ & (fileAlignment_ - 1)) != 0 ||
      (sectionAlignment_ & (sectionAlignment_ - 1)) != 0 ||
      directoryCount_ > (optionalSize - kOptionalDirectoriesOffset) / 8 ||
      optionalSize < kOptionalDirectoriesOffset)
    return Refuse(why, "damaged PE headers");

  cursor.Seek(optional_ + optionalSize);
  for (uint16_t i = 0; i < sectionCount; ++i) {
    CPeSection section;
    const uint8_t* name = cursor.Take(kSectionNameSize);
    if (!name) break;
    for (uint32_t c = 0; c < kSectionNameSize && name[c]; ++c) section.name += char(name[c]);
    section.virtualSize = cursor.ReadU32();
    section.address = cursor.ReadU32();
    section.rawSize = cursor.ReadU32();
    section.rawOffset = cursor.ReadU32();
    cursor.Skip(kSectionHeaderSize - kSectionRawOffsetField - 4);
    if (section.rawSize != 0 && !Inside(0, size, section.rawOffset, section.rawSize))
      return Refuse(why, "section " + section.name + " lies past the end of the file");
    sections_.push_back(section);
  }
  if (cursor.Failed()) return Refuse(why, "damaged section table");

  uint32_t address = 0;
  Directory(kDirectoryResource, address, resourceSize_);
  if (resourceSize_ != 0 && !FileOffset(address, resourceSize_, resourceBase_))
    return Refuse(why, "the resource tree lies outside the sections");
  return true;
}

uint32_t CPeImage::SectionTableEnd() const {
  return optional_ + optionalSize_ + static_cast<uint32_t>(sections_.size()) * kSectionHeaderSize;
}

void CPeImage::Directory(uint32_t index, uint32_t& address, uint32_t& size) const {
  address = size = 0;
  if (index >= directoryCount_) return;
  CByteCursor cursor(data_, size_);
  cursor.Seek(optional_ + kOptionalDirectoriesOffset + index * 8);
  address = cursor.ReadU32();
  size = cursor.ReadU32();
}

bool CPeImage::FileOffset(uint32_t address, uint32_t size, uint32_t& offset) const {
  // A section without file data holds no bytes, not even an empty range:
  // its file offset is not checked and may lie anywhere.
  for (const CPeSection& section : sections_) {
    if (section.rawSize == 0 || !Inside(section.address, section.rawSize, address, size)) continue;
    offset = section.rawOffset + (address - section.address);
    return true;
  }
  return false;
}

bool CPeImage::ReadDirectory(uint32_t directory, std::vector<CDirectoryEntry>& entries) const {
  entries.clear();
  CByteCursor tree(data_ + resourceBase_, resourceSize_);
  tree.Seek(directory + kResourceNamedCountField);
  const uint32_t named = tree.ReadU16();
  const uint32_t numbered = tree.ReadU16();
  for (uint32_t i = 0; i < named + numbered && !tree.Failed(); ++i) {
    CDirectoryEntry entry;
    entry.named = i < named;
    entry.key = tree.ReadU32() & (entry.named ? ~kResourceHighBit : ~0u);
    entry.target = tree.ReadU32();
    entries.push_back(entry);
  }
  return !tree.Failed();
}

bool CPeImage::ReadName(uint32_t offset, size_t longest, std::u16string& name) const {
  CByteCursor text(data_ + resourceBase_, resourceSize_);
  text.Seek(offset);
  const uint32_t length = text.ReadU16();
  name.clear();
  if (length > longest) return false;
  for (uint32_t c = 0; c < length && !text.Failed(); ++c)
    name.push_back(static_cast<char16_t>(text.ReadU16()));
  return !text.Failed();
}

bool CPeImage::KeyOf(const CDirectoryEntry& entry, size_t longest, CResourceKey& key) const {
  key = CResourceKey();
  key.named = entry.named;
  if (!entry.named) {
    key.id = entry.key;
    return true;
  }
  return ReadName(entry.key, longest, key.name);
}

bool CPeImage::FindEntry(uint32_t directory, const char* name, uint16_t id, uint32_t& target,
                         std::string* why) const {
  std::vector<CDirectoryEntry> entries;
  if (!ReadDirectory(directory, entries)) return Refuse(why, "damaged resource tree");
  // Resource compilers store type names upper case.
  std::u16string wanted;
  for (const char* c = name; c && *c; ++c)
    wanted.push_back(static_cast<char16_t>(std::toupper(static_cast<unsigned char>(*c))));
  std::u16string found;
  for (const CDirectoryEntry& entry : entries) {
    const bool match =
        name ? entry.named && ReadName(entry.key, wanted.size(), found) && found == wanted
             : !entry.named && (entry.key == id || id == kAnyLanguage);
    if (match) {
      target = entry.target;
      return true;
    }
  }
  return Refuse(why, "");
}

bool CPeImage::ReadDataEntry(uint32_t node, CPeResource& out, std::string* why) const {
  CByteCursor entry(data_ + resourceBase_, resourceSize_);
  entry.Seek(node);
  out.entryOffset = resourceBase_ + node;
  out.address = entry.ReadU32();
  out.size = entry.ReadU32();
  out.codePage = entry.ReadU32();
  if (entry.Failed() || !FileOffset(out.address, out.size, out.fileOffset))
    return Refuse(why, "a resource's data lies outside the file");
  return true;
}

bool CPeImage::ListResources(std::vector<CPeResourceItem>& items, std::string* why) const {
  // A tree whose directories share entries could name more resources than
  // any program holds, and names far longer than any resource compiler
  // writes.
  constexpr size_t kMostResources = 4096;
  constexpr size_t kLongestName = 256;
  items.clear();
  if (resourceSize_ == 0) return true;
  std::vector<CDirectoryEntry> types, names, languages;
  if (!ReadDirectory(0, types)) return Refuse(why, "damaged resource tree");
  CPeResourceItem item;
  for (const CDirectoryEntry& type : types) {
    if ((type.target & kResourceHighBit) == 0 || !KeyOf(type, kLongestName, item.type) ||
        !ReadDirectory(type.target & ~kResourceHighBit, names))
      return Refuse(why, "damaged resource tree");
    for (const CDirectoryEntry& name : names) {
      if ((name.target & kResourceHighBit) == 0 || !KeyOf(name, kLongestName, item.name) ||
          !ReadDirectory(name.target & ~kResourceHighBit, languages))
        return Refuse(why, "damaged resource tree");
      for (const CDirectoryEntry& language : languages) {
        if ((language.target & kResourceHighBit) != 0 || items.size() == kMostResources ||
            !KeyOf(language, kLongestName, item.language))
          return Refuse(why, "damaged resource tree");
        if (!ReadDataEntry(language.target, item.data, why)) return false;
        items.push_back(item);
      }
    }
  }
  return true;
}

bool CPeImage::FindResource(const char* type, uint16_t id, uint16_t language, CPeResource& out,
                            std::string* why) const {
  return FindResourceOf(type, 0, id, language, out, why);
}

bool CPeImage::FindResource(uint16_t type, uint16_t id, uint16_t language, CPeResource& out,
                            std::string* why) const {
  return FindResourceOf(nullptr, type, id, language, out, why);
}

bool CPeImage::FindResourceOf(const char* typeName, uint16_t typeId, uint16_t id, uint16_t language,
                              CPeResource& out, std::string* why) const {
  if (resourceSize_ == 0) return Refuse(why, "");
  uint32_t node = 0;
  const char* names[kResourceMaxDepth] = {typeName, nullptr, nullptr};
  const uint16_t ids[kResourceMaxDepth] = {typeId, id, language};
  for (uint32_t level = 0; level < kResourceMaxDepth; ++level) {
    uint32_t target = 0;
    if (!FindEntry(node, names[level], ids[level], target, why)) return false;
    const bool directory = (target & kResourceHighBit) != 0;
    if (directory != (level + 1 < kResourceMaxDepth)) return Refuse(why, "damaged resource tree");
    node = target & ~kResourceHighBit;
  }
  return ReadDataEntry(node, out, why);
}
