#pragma once
// The console patcher's command line (qelpatch; qelpatch-console on
// Windows). Without options it runs as QelPatch.exe does: the release it
// carries, the game folder from QELPATCH_INSTALL_PATH (standing in for the
// registry) or asked for. As the release engineer's tool it applies a
// release file or a QelPatch.exe to a folder:
//
//   qelpatch [--release FILE] [--game DIR]
//   qelpatch --help | --version

#include <cstdint>
#include <string>
#include <vector>

#include "platform/mapped_file.h"

struct CPatcherOptions {
  bool help = false;
  bool version = false;
  std::string release;  // empty: the release this program carries
  std::string game;     // empty: the stored path, or the folder prompt
};

extern const char kPatcherUsage[];

// False, with `why`, for a command line the patcher does not take.
bool ParsePatcherOptions(const std::vector<std::string>& args, CPatcherOptions& options,
                         std::string* why);

// The release of a file given with --release: the file itself, or the one
// inside a QelPatch.exe (signed or not), told apart by the program's whole
// make-up. The patcher checks the release as it checks its own.
class CChosenRelease {
 public:
  // False, with `why` naming the file, when it cannot be opened or read.
  bool Open(const std::string& path, std::string* why);
  // Once open: false, with `why` naming the file, when it holds no release
  // to check (a program that carries none, a file larger than any release).
  bool FindRelease(std::string* why);
  const uint8_t* Data() const { return data_; }
  uint32_t Size() const { return size_; }

 private:
  CMappedFile file_;
  const uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
};
