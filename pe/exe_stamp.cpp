#include "pe/exe_stamp.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"
#include "base/refusal.h"
#include "base/version.h"
#include "pe/pe_format.h"
#include "pe/pe_image.h"
#include "pe/program_look.h"
#include "pe/resource_tree.h"
#include "resources/resource_ids.h"

namespace {
constexpr uint16_t kPatchDataLanguage = 1042;
constexpr char kMarkerPrefix[] = "QelPatch stub ";
constexpr char kReleaseSection[] = ".qpd";
constexpr char kTreeSection[] = ".qrsrc";

uint64_t AlignUp(uint64_t value, uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

// The version a stub's marker names, or false when the data is no marker.
bool MarkerVersion(const uint8_t* data, uint32_t size, std::string& version) {
  const size_t prefix = sizeof kMarkerPrefix - 1;
  if (size < prefix || size > prefix + 64 || std::memcmp(data, kMarkerPrefix, prefix) != 0)
    return false;
  version.assign(reinterpret_cast<const char*>(data) + prefix, size - prefix);
  return true;
}

// Whether `count` more section headers fit after the stub's, in the room the
// headers leave before the first section's data.
bool HasHeaderRoom(const CPeImage& image, const uint8_t* stub, uint32_t count) {
  uint32_t firstData = image.HeadersSize();
  for (const CPeSection& section : image.Sections())
    if (section.rawSize != 0 && section.rawOffset < firstData) firstData = section.rawOffset;
  const uint32_t from = image.SectionTableEnd();
  bool room = from + count * kSectionHeaderSize <= firstData;
  for (uint32_t i = from; room && i < from + count * kSectionHeaderSize; ++i) room = stub[i] == 0;
  return room;
}

void PutSectionHeader(uint8_t* header, const char* name, uint64_t size, uint64_t address,
                      uint64_t rawSize, uint32_t rawOffset) {
  std::memcpy(header, name, std::strlen(name));
  PutU32(header + kSectionVirtualSizeField, static_cast<uint32_t>(size));
  PutU32(header + kSectionAddressField, static_cast<uint32_t>(address));
  PutU32(header + kSectionRawSizeField, static_cast<uint32_t>(rawSize));
  PutU32(header + kSectionRawOffsetField, rawOffset);
  PutU32(header + kSectionCharacteristicsField, kSectionInitializedData | kSectionReadable);
}

bool FindPatchData(const CPeImage& image, CPeResource& data, std::string* why) {
  std::string damage;
  if (image.FindResource(RT_PATCH_DATA, IDR_PATCH_DATA, kPatchDataLanguage, data, &damage))
    return true;
  return Refuse(why, damage.empty() ? "not QelPatch.exe: it has no patch data resource" : damage);
}
}  // namespace

std::string StubMarker() {
  return kMarkerPrefix + std::string(QELPATCH_VERSION);
}

bool LooksLikeExe(const uint8_t* data, uint64_t size) {
  return size >= 2 && GetU16(data) == kDosMagic;
}

bool CExeStamper::Open(const uint8_t* stub, uint32_t stubSize, std::string* why) {
  CPeImage image;
  std::string reason;
  if (!image.Parse(stub, stubSize, &reason))
    return Refuse(why, "not a QelPatch stub (" + reason + ")");
  uint32_t signature = 0, signatureSize = 0;
  image.Directory(kDirectorySecurity, signature, signatureSize);
  if (signatureSize != 0)
    return Refuse(why,
                  "the stub is signed, and stamping would break its signature: stamp the "
                  "unsigned stub, then sign the result");
  CPeResource data;
  if (image.Subsystem() != kSubsystemWindowsGui)
    return Refuse(why, "not a QelPatch stub (not a window program)");
  if (!FindPatchData(image, data, &reason))
    return Refuse(why, "not a QelPatch stub (" + reason + ")");
  std::string version;
  if (!MarkerVersion(stub + data.fileOffset, data.size, version))
    return Refuse(why, "not a stub: it already carries a release; stamp QelPatch-stub.exe");
  if (version != QELPATCH_VERSION)
    return Refuse(why, "the stub of QelPatch " + version + ", not of this builder's version " +
                           QELPATCH_VERSION);

  // The new section header goes after the last one.
  header_ = image.SectionTableEnd();
  imageEnd_ = 0;
  for (const CPeSection& section : image.Sections()) {
    const uint32_t extent = std::max(section.virtualSize, section.rawSize);
    imageEnd_ =
        std::max(imageEnd_, AlignUp(uint64_t{section.address} + extent, image.SectionAlignment()));
  }
  if (!HasHeaderRoom(image, stub, 1))
    return Refuse(why, "the stub has no room for another section header");
  CPeResource versionInfo;
  versionFields_ = CVersionFields();
  if (image.FindResource(kVersionType, kVersionId, CPeImage::kAnyLanguage, versionInfo, &reason)) {
    if (!ReadVersionFields(stub, versionInfo.fileOffset, versionInfo.size, versionFields_, &reason))
      return Refuse(why, "not a QelPatch stub (" + reason + ")");
  } else if (!reason.empty()) {
    return Refuse(why, "not a QelPatch stub (" + reason + ")");
  }
  stub_ = stub;
  stubSize_ = stubSize;
  optional_ = image.OptionalHeaderOffset();
  dataEntry_ = data.entryOffset;
  sections_ = static_cast<uint32_t>(image.Sections().size());
  fileAlignment_ = image.FileAlignment();
  sectionAlignment_ = image.SectionAlignment();
  releaseOffset_ = static_cast<uint32_t>(AlignUp(stubSize, fileAlignment_));
  releaseAddress_ = imageEnd_;
  tree_.clear();
  background_.clear();
  releaseSize_ = 0;
  releaseSum_ = CPeChecksum();
  return true;
}

bool CExeStamper::SetVersion(const CProgramVersion& version, std::string* why) {
  // Tried on a copy, so that a refusal comes before the release is read.
  std::vector<uint8_t> trial(stub_, stub_ + stubSize_);
  if (!WriteVersion(versionFields_, version, trial.data(), why)) return false;
  version_ = version;
  return true;
}

bool CExeStamper::SetLook(const CProgramLook& look, std::string* why) {
  if (look.Empty()) return true;
  CPeImage image;
  std::vector<CPeResourceItem> items;
  std::string reason;
  if (!image.Parse(stub_, stubSize_, &reason) || !image.ListResources(items, &reason))
    return Refuse(why, "not a QelPatch stub (" + reason + ")");
  if (!HasHeaderRoom(image, stub_, 2))
    return Refuse(why, "the stub has no room for two more section headers");

  backgroundOffset_ = 0;
  for (const CPeResourceItem& item : items)
    if (item.type.Is(kResourceBitmap) && item.name.Is(IDB_BACKGROUND) &&
        item.data.size == look.background.size())
      backgroundOffset_ = item.data.fileOffset;
  if (!look.background.empty() && backgroundOffset_ == 0)
    return Refuse(why, "the stub has no bitmap 130 of " + std::to_string(look.background.size()) +
                           " bytes for the background");
  std::vector<CResourceLeaf> leaves;
  if (!LookResources(stub_, items, look, leaves, why)) return false;
  size_t patchData = 0;
  for (size_t i = 0; i < leaves.size(); ++i)
    if (leaves[i].type.named && leaves[i].type.name == u"DAT" &&
        leaves[i].name.Is(IDR_PATCH_DATA) && leaves[i].language.Is(kPatchDataLanguage))
      patchData = i;
  std::vector<uint32_t> entries;
  tree_ = WriteResourceTree(leaves, static_cast<uint32_t>(imageEnd_), entries);
  treeOffset_ = static_cast<uint32_t>(AlignUp(stubSize_, fileAlignment_));
  dataEntry_ = treeOffset_ + entries[patchData];
  releaseOffset_ = static_cast<uint32_t>(treeOffset_ + AlignUp(tree_.size(), fileAlignment_));
  releaseAddress_ = imageEnd_ + AlignUp(tree_.size(), sectionAlignment_);
  background_ = look.background;
  return true;
}

void CExeStamper::AddRelease(const uint8_t* data, size_t size) {
  releaseSum_.Add(data, size);
  releaseSize_ += size;
}

void CExeStamper::ReplaceZeros(const uint8_t* data, size_t size) {
  releaseSum_.ReplaceZeros(data, size);
}

bool CExeStamper::Finish(std::vector<uint8_t>& head, uint32_t& tailPadding,
                         std::string* why) const {
  const uint64_t rawSize = AlignUp(releaseSize_, fileAlignment_);
  const uint64_t imageSize = releaseAddress_ + AlignUp(releaseSize_, sectionAlignment_);
  if (imageSize > UINT32_MAX || releaseOffset_ + rawSize > UINT32_MAX)
    return Refuse(why, "the release does not fit in a 32-bit program");
  const uint32_t size = static_cast<uint32_t>(releaseSize_);
  head.assign(stub_, stub_ + stubSize_);
  head.resize(releaseOffset_, 0);
  uint32_t header = header_;
  uint64_t initializedData = rawSize;
  if (!tree_.empty()) {
    const uint64_t treeRawSize = AlignUp(tree_.size(), fileAlignment_);
    std::copy(tree_.begin(), tree_.end(), head.begin() + treeOffset_);
    PutSectionHeader(&head[header], kTreeSection, tree_.size(), imageEnd_, treeRawSize,
                     treeOffset_);
    header += kSectionHeaderSize;
    initializedData += treeRawSize;
    const uint32_t directory = optional_ + kOptionalDirectoriesOffset + kDirectoryResource * 8;
    PutU32(&head[directory], static_cast<uint32_t>(imageEnd_));
    PutU32(&head[directory + 4], static_cast<uint32_t>(tree_.size()));
    std::copy(background_.begin(), background_.end(), head.begin() + backgroundOffset_);
  }
  PutSectionHeader(&head[header], kReleaseSection, size, releaseAddress_, rawSize, releaseOffset_);
  const uint32_t count = optional_ - kFileHeaderSize + kFileSectionCountField;
  PutU16(&head[count],
         static_cast<uint16_t>(sections_ + (header - header_) / kSectionHeaderSize + 1));
  PutU32(&head[optional_ + kOptionalImageSizeField], static_cast<uint32_t>(imageSize));
  PutU32(&head[optional_ + kOptionalInitializedDataField],
         GetU32(&head[optional_ + kOptionalInitializedDataField]) +
             static_cast<uint32_t>(initializedData));
  PutU32(&head[dataEntry_], static_cast<uint32_t>(releaseAddress_));
  PutU32(&head[dataEntry_ + 4], size);
  tailPadding = static_cast<uint32_t>(rawSize - releaseSize_);
  if (!WriteVersion(versionFields_, version_, head.data(), why)) return false;

  // The head's length is even, so its words and the release's add up in
  // any order.
  PutU32(&head[optional_ + kOptionalChecksumField], 0);
  CPeChecksum checksum = releaseSum_;
  checksum.AddZeros(tailPadding);
  checksum.Add(head.data(), head.size());
  PutU32(&head[optional_ + kOptionalChecksumField], checksum.Finish());
  return true;
}

CReleaseFileForm FormOfReleaseFile(const uint8_t* data, uint64_t size, const uint8_t*& release,
                                   uint32_t& releaseSize, std::string* whyNot) {
  // A 32-bit program is smaller than 4 GiB.
  if (size > UINT32_MAX) return CReleaseFileForm::kReleaseFile;
  const auto size32 = static_cast<uint32_t>(size);
  if (ReleaseInExe(data, size32, release, releaseSize, whyNot)) return CReleaseFileForm::kProgram;
  CPeImage image;
  return image.Parse(data, size32, nullptr) ? CReleaseFileForm::kOtherProgram
                                            : CReleaseFileForm::kReleaseFile;
}

bool ReleaseInExe(const uint8_t* exe, uint32_t size, const uint8_t*& release, uint32_t& releaseSize,
                  std::string* why) {
  CPeImage image;
  CPeResource data;
  if (!image.Parse(exe, size, why) || !FindPatchData(image, data, why)) return false;
  std::string version;
  if (MarkerVersion(exe + data.fileOffset, data.size, version))
    return Refuse(why, "the stub of QelPatch " + version + ": it carries no release");
  release = exe + data.fileOffset;
  releaseSize = data.size;
  return true;
}
