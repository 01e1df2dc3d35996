#include "engine/local_file_reader.h"

void CLocalFileReader::OpenLocal(const std::string& path, uint32_t chunkCount) {
  CloseLocal();
  if (chunkCount > 1) file_.OpenRead(path);
}

bool CLocalFileReader::ReadLocalAt(uint8_t* buffer, uint64_t offset, uint32_t size) {
  return file_.IsOpen() && file_.ReadAt(offset, buffer, size) == static_cast<int64_t>(size);
}

void CLocalFileReader::CloseLocal() {
  file_.Close();
}
