#include "pe/exe_output.h"

bool CExeOutput::Open(const std::string& stubPath, const std::string& exePath, std::string* why) {
  if (!stub_.Open(stubPath, why)) return false;
  std::string reason;
  if (stub_.Size() > UINT32_MAX ||
      !stamper_.Open(stub_.Data(), static_cast<uint32_t>(stub_.Size()), reason)) {
    if (why) *why = stubPath + ": " + (reason.empty() ? "too large" : reason);
    return false;
  }
  if (!file_.Open(exePath, why)) return false;
  // The head takes this place once the release's size is known.
  const std::vector<uint8_t> room(stamper_.ReleaseOffset(), 0);
  return file_.Write(room.data(), room.size()) || (why && (*why = file_.Error(), false));
}

bool CExeOutput::Write(const uint8_t* data, size_t size) {
  stamper_.AddRelease(data, size);
  return file_.Write(data, size);
}

bool CExeOutput::Overwrite(uint32_t position, const uint8_t* data, size_t size) {
  stamper_.ReplaceZeros(data, size);
  return file_.Overwrite(uint64_t{stamper_.ReleaseOffset()} + position, data, size);
}

bool CExeOutput::Commit(std::string* why) {
  std::vector<uint8_t> head;
  uint32_t tail = 0;
  std::string reason;
  if (!stamper_.Finish(head, tail, reason)) {
    if (why) *why = reason;
    return false;
  }
  const std::vector<uint8_t> zeros(tail, 0);
  if (!file_.Write(zeros.data(), zeros.size()) || !file_.Overwrite(0, head.data(), head.size())) {
    if (why) *why = file_.Error();
    return false;
  }
  return file_.Commit(why);
}
