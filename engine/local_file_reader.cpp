#include "engine/local_file_reader.h"

void CLocalFileReader::OpenLocal(const std::string& path, uint32_t chunkCount) {
  CloseLocal();
  openError_ = platform::FileError::kNone;
  if (chunkCount > 1 && !file_.OpenRead(path)) openError_ = platform::LastFileError();
}

bool CLocalFileReader::ReadLocalAt(uint8_t* buffer, uint64_t offset, uint32_t size) {
  if (!file_.IsOpen()) {
    cause_ = openError_ == platform::FileError::kNotFound ? CFailureCause::kMissing
                                                          : CauseOf(openError_);
    return false;
  }
  const int64_t got = file_.ReadAt(offset, buffer, size);
  if (got == static_cast<int64_t>(size)) return true;
  // Shorter than the patch expects: another version of the file.
  cause_ = got < 0 ? CauseOf(platform::LastFileError()) : CFailureCause::kNotExpectedVersion;
  return false;
}

void CLocalFileReader::CloseLocal() {
  file_.Close();
}
