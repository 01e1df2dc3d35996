#pragma once
// Records a build writes once, in order, and reads back in order as often as
// it needs: what a game of any number of files asks to be remembered per file
// waits in a scratch file beside the output (platform/scratch_file.h), not in
// memory. Each record is its length (4 bytes, little-endian), then its bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_cursor.h"
#include "platform/files.h"
#include "platform/scratch_file.h"

class CRecordSpool {
 public:
  // Starts the spool anew beside the output `path`. False, with `why`.
  bool Open(const std::string& path, std::string* why);
  // False, with Error(), when the file cannot be written.
  bool Add(const std::string& record);
  // Ends the writing; the records can be read from then on. False, with
  // `why`.
  bool EndWriting(std::string* why);
  uint64_t Count() const { return count_; }
  std::string Error() const { return file_.Error(); }

  // Reads the records in the order they were added; a failure is latched,
  // so a loop checks once, after it.
  class CReader {
   public:
    explicit CReader(const CRecordSpool& spool);
    // The next record; false after the last one or on a failure.
    bool Next(std::string& record);
    // False, with `why`, when the reading stopped on a failure.
    bool Ended(std::string* why) const;

   private:
    bool Take(uint8_t* out, uint32_t size);

    const CRecordSpool& spool_;
    platform::CFile file_;
    std::vector<uint8_t> buffer_;
    CByteCursor cursor_{nullptr, 0};
    uint64_t read_ = 0;  // bytes of the file in the buffer or before it
    uint64_t left_;      // records not yet given
    std::string error_;
  };

 private:
  CScratchFile file_;
  uint64_t count_ = 0;
};
