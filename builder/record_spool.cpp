#include "builder/record_spool.h"

#include "base/little_endian.h"
#include "base/refusal.h"

namespace {
// Read from the file at a time: large enough that the system is asked
// rarely, small beside the rest of the build.
constexpr uint32_t kReadSize = 64 * 1024;
}  // namespace

bool CRecordSpool::Open(const std::string& path, std::string* why) {
  count_ = 0;
  return file_.Open(path, why);
}

bool CRecordSpool::Add(const std::string& record) {
  uint8_t length[4];
  PutU32(length, static_cast<uint32_t>(record.size()));
  if (!file_.Write(length, sizeof length) || !file_.Write(record.data(), record.size()))
    return false;
  ++count_;
  return true;
}

bool CRecordSpool::EndWriting(std::string* why) {
  return file_.EndWriting() || Refuse(why, file_.Error());
}

CRecordSpool::CReader::CReader(const CRecordSpool& spool)
    : spool_(spool), buffer_(kReadSize), left_(spool.count_) {
  if (left_ != 0 && !file_.OpenRead(spool.file_.Path())) error_ = platform::LastFileErrorText();
}

bool CRecordSpool::CReader::Next(std::string& record) {
  if (left_ == 0 || !error_.empty()) return false;
  uint8_t length[4];
  if (!Take(length, sizeof length)) return false;
  record.resize(GetU32(length));
  if (!Take(reinterpret_cast<uint8_t*>(&record[0]), static_cast<uint32_t>(record.size())))
    return false;
  --left_;
  return true;
}

// Copies the file's next `size` bytes out, reading more of it as the buffer
// runs dry.
bool CRecordSpool::CReader::Take(uint8_t* out, uint32_t size) {
  while (size != 0) {
    if (cursor_.Remaining() == 0) {
      const int64_t got = file_.ReadAt(read_, buffer_.data(), kReadSize);
      if (got <= 0) {
        error_ = got < 0 ? platform::LastFileErrorText() : "it ends before its last record";
        return false;
      }
      read_ += static_cast<uint64_t>(got);
      cursor_ = CByteCursor(buffer_.data(), static_cast<uint32_t>(got));
    }
    const uint32_t taken = cursor_.Read(out, size);
    out += taken;
    size -= taken;
  }
  return true;
}

bool CRecordSpool::CReader::Ended(std::string* why) const {
  return error_.empty() || Refuse(why, "cannot read a scratch file of the build, " +
                                           spool_.file_.Path() + ": " + error_);
}
