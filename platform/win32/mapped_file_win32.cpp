// Inputs mapped with a file mapping. The file is opened sharing reading
// only, so no other program can write to it while it is read; one that held
// it open for writing already makes the open fail, with the reason.
#include "platform/interrupt_cleanup.h"
#include "platform/mapped_file.h"
#include "platform/win32/wide_path.h"

const uint8_t CMappedFile::kEmpty = 0;

namespace {
int64_t Nanoseconds(LARGE_INTEGER time) {
  return time.QuadPart * 100;
}

bool IdentityOf(HANDLE file, CFileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION information;
  FILE_BASIC_INFO basic;
  if (!GetFileInformationByHandle(file, &information) ||
      !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
    return false;
  identity.device = information.dwVolumeSerialNumber;
  identity.inode = uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow;
  identity.size = uint64_t{information.nFileSizeHigh} << 32 | information.nFileSizeLow;
  identity.modified = Nanoseconds(basic.LastWriteTime);
  identity.changed = Nanoseconds(basic.ChangeTime);
  return true;
}
}  // namespace

CMappedFile::~CMappedFile() {
  UnregisterMapping(slot_);
  if (mapping_) UnmapViewOfFile(mapping_);
}

bool CMappedFile::Map(const std::string& path, std::string* why) {
  HANDLE file = CreateFileW(LongPath(Widen(path, CP_UTF8)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (why) *why = "cannot open " + path + ": " + ErrorMessage(GetLastError());
    return false;
  }
  if (GetFileType(file) != FILE_TYPE_DISK || !IdentityOf(file, identity_)) {
    if (why) *why = "cannot read " + path + ": not a regular file";
    CloseHandle(file);
    return false;
  }
  size_ = identity_.size;
  if (size_ != 0) {
    HANDLE section = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    void* view = section ? MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0) : nullptr;
    const DWORD error = GetLastError();
    if (section) CloseHandle(section);
    if (!view) {
      if (why) *why = "cannot read " + path + ": " + ErrorMessage(error);
      size_ = 0;
      CloseHandle(file);
      return false;
    }
    mapping_ = view;
    data_ = static_cast<const uint8_t*>(view);
    slot_ = RegisterMapping(view, static_cast<size_t>(size_), path);
  }
  CloseHandle(file);
  return true;
}

bool CMappedFile::Unchanged(std::string* why) const {
  HANDLE file = CreateFileW(LongPath(Widen(path_, CP_UTF8)).c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  CFileIdentity now;
  const bool same = file != INVALID_HANDLE_VALUE && IdentityOf(file, now) && now == identity_;
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (same) return true;
  if (why) *why = ChangedWhileRead(path_);
  return false;
}
