#pragma once
// QelPatch.exe written by the builder: the stub (the project's QelPatch.exe
// built without a release) carries the patch data resource "DAT" 136 under
// language 1042 holding only its marker, "QelPatch stub " and its version.
// Stamping appends a section ".qpd" holding the release, points that
// resource's data entry at it, sets the section count, the image size, the
// size of initialized data and the checksum, and fills the version
// resource's fixed-length fields (version_resource.h); nothing else changes
// and no time is written, so the same stub, release and version give the
// same bytes. A studio's program (program_look.h) also gets its resource
// tree written anew, in a section ".qrsrc" before the release's, with the
// studio's icon and settings; its background takes the place of the stub's
// bitmap 130, byte for byte.

#include <cstdint>
#include <string>
#include <vector>

#include "pe/pe_checksum.h"
#include "pe/program_look.h"
#include "pe/program_version.h"
#include "pe/version_resource.h"

// The marker of a stub of this version.
std::string StubMarker();

// Stamps one program: the release's bytes go to the output at
// ReleaseOffset() as they come, through AddRelease; Finish then gives the
// head that goes before them (the stub with its headers set) and the zeros
// that go after.
class CExeStamper {
 public:
  // False, with `why`, for a stub that is signed, is not a stub of this
  // version, or has no room for another section.
  bool Open(const uint8_t* stub, uint32_t stubSize, std::string* why);
  // What the program's version resource says (version_resource.h); by
  // default the stub's own texts. False, with `why`, when the stub's fields
  // cannot hold it.
  bool SetVersion(const CProgramVersion& version, std::string* why);
  // What a studio's program carries besides (program_look.h); once, before
  // the release. False, with `why`, for a stub that cannot take it.
  bool SetLook(const CProgramLook& look, std::string* why);
  uint32_t ReleaseOffset() const { return releaseOffset_; }
  // The size of the program carrying a release of `releaseSize` bytes.
  uint64_t ProgramSize(uint64_t releaseSize) const {
    return releaseOffset_ + (releaseSize + fileAlignment_ - 1) / fileAlignment_ * fileAlignment_;
  }
  void AddRelease(const uint8_t* data, size_t size);
  // Bytes written over zeros already added, at an even offset of the release
  // (a count known only at the end).
  void ReplaceZeros(const uint8_t* data, size_t size);
  // False, with `why`, when the release makes the program too large.
  bool Finish(std::vector<uint8_t>& head, uint32_t& tailPadding, std::string* why) const;

 private:
  const uint8_t* stub_ = nullptr;
  uint32_t stubSize_ = 0;
  uint32_t header_ = 0;  // where the new section header goes
  uint32_t optional_ = 0;
  uint32_t dataEntry_ = 0;
  uint32_t sections_ = 0;
  uint32_t fileAlignment_ = 0;
  uint32_t sectionAlignment_ = 0;
  uint32_t releaseOffset_ = 0;
  uint64_t imageEnd_ = 0;  // of the stub's sections
  uint64_t releaseAddress_ = 0;
  // A studio's program: its resource tree's section and where it lies in
  // the file, and its background with the file offset of the stub's.
  std::vector<uint8_t> tree_;
  uint32_t treeOffset_ = 0;
  std::vector<uint8_t> background_;
  uint32_t backgroundOffset_ = 0;
  uint64_t releaseSize_ = 0;
  CPeChecksum releaseSum_;
  CVersionFields versionFields_;
  CProgramVersion version_;
};

// The release a QelPatch.exe carries; false, with `why`, for a stub or a
// program that is not QelPatch.exe.
bool ReleaseInExe(const uint8_t* exe, uint32_t size, const uint8_t*& release, uint32_t& releaseSize,
                  std::string* why);

// Whether the bytes start like a Windows program ("MZ"), as a release of
// 23,117 entries does too: only their whole make-up tells them apart.
bool LooksLikeExe(const uint8_t* data, uint64_t size);

// What a file given as a release is, told by its whole make-up, never by its
// first bytes: a QelPatch.exe (signed or not), with `release` the release it
// carries; a Windows program that carries none (a stub, another program),
// with `whyNot` saying which; or anything else, which only a release file
// can be.
enum class CReleaseFileForm { kProgram, kOtherProgram, kReleaseFile };
CReleaseFileForm FormOfReleaseFile(const uint8_t* data, uint64_t size, const uint8_t*& release,
                                   uint32_t& releaseSize, std::string* whyNot);
