#pragma once
// Reads a stored entry (method 0): the data bytes as they are in the file.

#include "archive/zip_file_entry.h"
#include "archive/zip_file_read_info.h"
#include "archive/zip_source.h"

class CZipFileReadInfoStored : public CZipFileReadInfo {
 public:
  CZipFileReadInfoStored(const CZipFileEntry& entry, CZipSource& stream);

  // A short read (the file shrank) delivers what there is; the CRC check then
  // tells. A non-positive size or a read error gives -1.
  int32_t Read(uint8_t* buffer, int32_t size) override;
  bool CheckCrc() override;

 private:
  const CZipFileEntry& entry_;
  CZipSource& stream_;
  int32_t bytesRead_ = 0;
  bool end_ = false;
  uint32_t crc_;
};
