#pragma once
// A PE32 image read in place: its headers, its section table, and its
// resources, one looked up by type name, number and language or all of them
// listed. Everything is read through the bounds-checked cursor; nothing is
// copied.

#include <cstdint>
#include <string>
#include <vector>

struct CPeSection {
  std::string name;
  uint32_t virtualSize = 0;
  uint32_t address = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
};

// A resource's data entry (where it lies in the file) and its bytes.
struct CPeResource {
  uint32_t entryOffset = 0;  // the file offset of its 16-byte data entry
  uint32_t address = 0;
  uint32_t size = 0;
  uint32_t codePage = 0;
  uint32_t fileOffset = 0;
};

// A resource's type, number or language in the tree: a number, or a name.
struct CResourceKey {
  bool named = false;
  uint32_t id = 0;
  std::u16string name;

  static CResourceKey Number(uint32_t number) {
    CResourceKey key;
    key.id = number;
    return key;
  }
  bool Is(uint32_t number) const { return !named && id == number; }
};

// One resource of the tree.
struct CPeResourceItem {
  CResourceKey type;
  CResourceKey name;
  CResourceKey language;
  CPeResource data;
};

class CPeImage {
 public:
  static constexpr uint16_t kAnyLanguage = 0xFFFF;

  // False, with `why`, for anything but a well-formed PE32 image.
  bool Parse(const uint8_t* data, uint32_t size, std::string* why);

  uint32_t OptionalHeaderOffset() const { return optional_; }
  uint16_t Subsystem() const { return subsystem_; }
  uint32_t SectionAlignment() const { return sectionAlignment_; }
  uint32_t FileAlignment() const { return fileAlignment_; }
  uint32_t HeadersSize() const { return headersSize_; }
  uint32_t SectionTableEnd() const;
  const std::vector<CPeSection>& Sections() const { return sections_; }
  // A data directory's image address and size (0, 0 when absent).
  void Directory(uint32_t index, uint32_t& address, uint32_t& size) const;

  // The file offset of `size` bytes at an image address, inside one section's file data.
  bool FileOffset(uint32_t address, uint32_t size, uint32_t& offset) const;

  // The resource of the named type, number and language; false when there
  // is none (`why` empty) or the resource tree is damaged (`why` says so).
  bool FindResource(const char* type, uint16_t id, uint16_t language, CPeResource& out,
                    std::string* why) const;
  // The same for a type of the system's, by its number (16: the version);
  // kAnyLanguage takes its first language.
  bool FindResource(uint16_t type, uint16_t id, uint16_t language, CPeResource& out,
                    std::string* why) const;
  // Every resource, in the tree's order; false, with `why`, when the tree is
  // damaged.
  bool ListResources(std::vector<CPeResourceItem>& items, std::string* why) const;

 private:
  // One directory of the tree: its entries' keys (a number, or where a
  // name lies) and what each leads to (with kResourceHighBit, a directory).
  struct CDirectoryEntry {
    bool named = false;
    uint32_t key = 0;
    uint32_t target = 0;
  };
  bool ReadDirectory(uint32_t directory, std::vector<CDirectoryEntry>& entries) const;
  // The counted UTF-16 name at `offset`; false when it lies outside the tree
  // or is longer than `longest` units.
  bool ReadName(uint32_t offset, size_t longest, std::u16string& name) const;
  // An entry's key; false for a name past `longest` or outside the tree.
  bool KeyOf(const CDirectoryEntry& entry, size_t longest, CResourceKey& key) const;
  bool ReadDataEntry(uint32_t node, CPeResource& out, std::string* why) const;
  bool FindEntry(uint32_t directory, const char* name, uint16_t id, uint32_t& target,
                 std::string* why) const;
  bool FindResourceOf(const char* typeName, uint16_t typeId, uint16_t id, uint16_t language,
                      CPeResource& out, std::string* why) const;

  const uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
  uint32_t optional_ = 0;
  uint16_t optionalSize_ = 0;
  uint32_t directoryCount_ = 0;
  uint16_t subsystem_ = 0;
  uint32_t sectionAlignment_ = 0;
  uint32_t fileAlignment_ = 0;
  uint32_t headersSize_ = 0;
  uint32_t resourceBase_ = 0;  // the file offset of the resource tree
  uint32_t resourceSize_ = 0;
  std::vector<CPeSection> sections_;
};
