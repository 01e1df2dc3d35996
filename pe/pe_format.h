#pragma once
// The parts of the Windows PE32 layout that the builder reads and writes when
// it puts a release into QelPatch.exe: the headers, the section table and the
// resource tree. Offsets are from the start of each structure.

#include <cstdint>

// The DOS header: "MZ", and where the PE header starts.
constexpr uint16_t kDosMagic = 0x5A4D;
constexpr uint32_t kDosPeOffsetField = 0x3C;

// "PE\0\0", then the file header (20 bytes).
constexpr uint32_t kPeSignature = 0x00004550;
constexpr uint32_t kFileHeaderOffset = 4;
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kFileSectionCountField = 2;   // u16
constexpr uint32_t kFileOptionalSizeField = 16;  // u16
constexpr uint16_t kMachineI386 = 0x014C;

// The optional header of a PE32 image.
constexpr uint32_t kOptionalHeaderOffset = kFileHeaderOffset + kFileHeaderSize;
constexpr uint16_t kOptionalMagicPe32 = 0x010B;
constexpr uint32_t kOptionalInitializedDataField = 8;  // u32
constexpr uint32_t kOptionalSectionAlignmentField = 32;
constexpr uint32_t kOptionalFileAlignmentField = 36;
constexpr uint32_t kMaxFileAlignment = 0x10000;  // the format's largest
constexpr uint32_t kOptionalImageSizeField = 56;
constexpr uint32_t kOptionalHeadersSizeField = 60;
constexpr uint32_t kOptionalChecksumField = 64;
constexpr uint32_t kOptionalSubsystemField = 68;  // u16
constexpr uint32_t kOptionalDirectoryCountField = 92;
constexpr uint32_t kOptionalDirectoriesOffset = 96;  // 8 bytes each: address, size
constexpr uint16_t kSubsystemWindowsGui = 2;
constexpr uint32_t kDirectoryResource = 2;
constexpr uint32_t kDirectorySecurity = 4;  // the Authenticode signature

// A section header (40 bytes).
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kSectionNameSize = 8;
constexpr uint32_t kSectionVirtualSizeField = 8;
constexpr uint32_t kSectionAddressField = 12;
constexpr uint32_t kSectionRawSizeField = 16;
constexpr uint32_t kSectionRawOffsetField = 20;
constexpr uint32_t kSectionCharacteristicsField = 36;
constexpr uint32_t kSectionInitializedData = 0x00000040;
constexpr uint32_t kSectionReadable = 0x40000000;

// The resource tree: a directory (16 bytes) with its named entries, then its
// numbered ones (8 bytes each); an entry's high bit marks a name (an offset to
// a counted UTF-16 string) or a sub-directory. Offsets are from the start of
// the resource section; a data entry's address is an image address.
constexpr uint32_t kResourceDirectorySize = 16;
constexpr uint32_t kResourceNamedCountField = 12;  // u16, then the numbered count
constexpr uint32_t kResourceEntrySize = 8;
constexpr uint32_t kResourceHighBit = 0x80000000;
constexpr uint32_t kResourceDataEntrySize = 16;  // address, size, code page, reserved
constexpr uint32_t kResourceMaxDepth = 3;        // type, name, language
// The system's resource types that a studio's program replaces or adds.
constexpr uint32_t kResourceBitmap = 2;
constexpr uint32_t kResourceIcon = 3;
constexpr uint32_t kResourceData = 10;  // RT_RCDATA
constexpr uint32_t kResourceIconGroup = 14;
