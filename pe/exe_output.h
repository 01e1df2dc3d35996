#pragma once
// QelPatch.exe written whole or not at all: the stub's checks come first,
// then the release streams into the program as it is made or read, and the
// stub's headers go in front at the end.

#include <cstdint>
#include <string>
#include <vector>

#include "pe/exe_stamp.h"
#include "platform/atomic_output.h"
#include "platform/mapped_file.h"

class CExeOutput {
 public:
  // Reads and checks the stub and that it takes `version` and `look`, then
  // opens the output; false, with `why`.
  bool Open(const std::string& stubPath, const std::string& exePath, const CProgramVersion& version,
            const CProgramLook& look, std::string* why);
  // The release's bytes, in order.
  bool Write(const uint8_t* data, size_t size);
  // Bytes of the release written again at an even position (its entry count).
  bool Overwrite(uint32_t position, const uint8_t* data, size_t size);
  // The whole program in its temporary file, to be read back before the
  // commit; false, with `why`.
  bool Finish(std::string* why);
  const std::string& TemporaryPath() const { return file_.TemporaryPath(); }
  bool Commit(std::string* why);
  std::string Error() const { return file_.Error(); }

 private:
  CMappedFile stub_;
  CExeStamper stamper_;
  CAtomicOutput file_;
  bool finished_ = false;
};
