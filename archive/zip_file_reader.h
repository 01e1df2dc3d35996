#pragma once
// Reads a plain single-volume zip archive: the end record must be the file's
// last 22 bytes (no archive comment), entries are stored or deflated, and
// bytes in front of the archive are allowed. Open reads the central directory
// into an index and checks every local header against it; then one entry at a
// time is read, with a running CRC-32 checked when the entry is closed.
//
// Nothing is trusted: an archive of 2 GiB or more, a ZIP64 placeholder, or an
// entry whose header or data lies outside the file is refused by Open.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/zip_file_entry.h"
#include "archive/zip_file_read_info.h"
#include "archive/zip_source.h"

class CZipFileReader {
 public:
  CZipFileReader() = default;
  ~CZipFileReader();
  CZipFileReader(const CZipFileReader&) = delete;
  CZipFileReader& operator=(const CZipFileReader&) = delete;

  // Closes whatever was open, then opens the archive and builds and checks
  // its index. On false the archive is closed.
  bool Open(const std::string& path);
  // The same for an archive from `source`, which must outlive the reader's
  // open state.
  bool Open(CZipSource& source);
  void Close();

  // Ends the current entry (without a CRC check), then opens the named one:
  // exact, case-sensitive lookup. False for an unknown name, a method other
  // than stored or deflated, a stored entry whose data is not its size, or
  // deflated data whose first block cannot be read.
  bool OpenEntry(const std::string& name);
  // Up to size bytes of the open entry; 0 at its end or with no entry open. A
  // negative result closes the entry and is passed on.
  int32_t Read(uint8_t* buffer, int32_t size);
  // Ends the open entry; true when its CRC-32 matched. False with none open.
  bool CloseEntry();

  // The directory's records in their order (a later duplicate name hides an
  // earlier one from OpenEntry, but both are here).
  const std::vector<std::unique_ptr<CZipFileEntry>>& Entries() const { return entries_; }

 private:
  bool ReadDirectory(int64_t fileLength);
  bool CheckLocalHeaders(int64_t fileLength);
  // Reads a name, extra field or comment of the stored length at position;
  // keeps at most its first 1024 bytes, up to the first zero byte.
  bool ReadBoundedField(uint64_t position, uint32_t length, std::string& value);

  // The open archive: the file of Open(path), or the caller's source.
  std::unique_ptr<CZipFileSource> file_;
  CZipSource* stream_ = nullptr;
  std::vector<std::unique_ptr<CZipFileEntry>> entries_;
  // std::string orders bytes as unsigned chars, shorter first on a tie.
  std::map<std::string, CZipFileEntry*> index_;
  std::vector<uint8_t> inputBuffer_;
  std::vector<uint8_t> outputBuffer_;
  std::unique_ptr<CZipFileReadInfo> current_;
};
