#include "pe/exe_output.h"

#include "base/refusal.h"

bool CExeOutput::Open(const std::string& stubPath, const std::string& exePath,
                      const CProgramVersion& version, const CProgramLook& look, std::string* why) {
  if (!stub_.Open(stubPath, why)) return false;
  std::string reason;
  if (stub_.Size() > UINT32_MAX ||
      !stamper_.Open(stub_.Data(), static_cast<uint32_t>(stub_.Size()), &reason))
    return Refuse(why, stubPath + ": " + (reason.empty() ? "too large" : reason));
  if (!stamper_.SetVersion(version, &reason) || !stamper_.SetLook(look, &reason))
    return Refuse(why, stubPath + ": " + reason);
  if (!file_.Open(exePath, why)) return false;
  // The head takes this place once the release's size is known.
  const std::vector<uint8_t> room(stamper_.ReleaseOffset(), 0);
  if (!file_.Write(room.data(), room.size())) return Refuse(why, file_.Error());
  return true;
}

bool CExeOutput::Write(const uint8_t* data, size_t size) {
  stamper_.AddRelease(data, size);
  return file_.Write(data, size);
}

bool CExeOutput::Overwrite(uint32_t position, const uint8_t* data, size_t size) {
  stamper_.ReplaceZeros(data, size);
  return file_.Overwrite(uint64_t{stamper_.ReleaseOffset()} + position, data, size);
}

bool CExeOutput::Finish(std::string* why) {
  std::vector<uint8_t> head;
  uint32_t tail = 0;
  if (!stamper_.Finish(head, tail, why)) return false;
  const std::vector<uint8_t> zeros(tail, 0);
  if (!file_.Write(zeros.data(), zeros.size()) || !file_.Overwrite(0, head.data(), head.size()) ||
      !file_.Close())
    return Refuse(why, file_.Error());
  finished_ = true;
  return true;
}

bool CExeOutput::Commit(std::string* why) {
  return (finished_ || Finish(why)) && file_.Commit(why);
}
