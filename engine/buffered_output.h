#pragma once
// The rebuilt file's writes gathered in one buffer: a file of tens of
// thousands of small chunks is written in pieces of a megabyte, not one
// system call per chunk. Large pieces go straight through.

#include <cstdint>
#include <vector>

#include "digest/content_digest.h"
#include "platform/files.h"

class CBufferedOutput {
 public:
  static constexpr uint32_t kBufferSize = 1024 * 1024;

  // `digest`, when given, is fed every byte written.
  explicit CBufferedOutput(platform::CFile& file, CContentDigest* digest = nullptr)
      : file_(file), digest_(digest) {}
  // False when a write of the file failed (the file layer holds why).
  bool Write(const uint8_t* data, uint32_t size);
  // Writes what is gathered; call before the file is flushed.
  bool Drain();

 private:
  platform::CFile& file_;
  CContentDigest* digest_;
  std::vector<uint8_t> buffer_;
};
