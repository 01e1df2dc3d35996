// libFuzzer target: the input is a package file. Its index digest, read from
// the file, must equal the MD5 of the byte range the index walk covers,
// worked out here in memory: from the index offset (the header's word at 20)
// through the 12-byte index header and each length-prefixed record, cut at
// the end of the file. A file shorter than its 32-byte header gives the digest
// of 12 zero bytes. Damaged counts and lengths must neither hang nor allocate
// beyond the file.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/byte_cursor.h"
#include "digest/digest_text.h"
#include "digest/md5.h"
#include "digest/package_index_digest.h"
#include "platform/files.h"

namespace {
std::string Md5Text(const uint8_t* data, uint32_t size) {
  CMD5Hash md5;
  md5.Update(data, size);
  uint8_t digest[16];
  md5.GetDigest(digest);
  return DigestToHex(digest);
}

uint32_t WordAt(const uint8_t* data, uint32_t at) {
  CByteCursor cursor(data + at, 4);
  return cursor.ReadU32();
}

// The digest the index walk must give, from the bytes in memory.
std::string ExpectedDigest(const uint8_t* data, uint32_t size) {
  const uint8_t zeros[12] = {};
  if (size < 32) return Md5Text(zeros, sizeof zeros);
  const uint32_t start = WordAt(data, 20) < size ? WordAt(data, 20) : size;
  CByteCursor index(data + start, size - start);
  index.ReadU32();
  uint32_t count = index.ReadU32();
  index.ReadU32();
  for (uint32_t i = 0; i < count && !index.Failed(); ++i) index.Skip(index.ReadU32());
  // A failed read stops the walk; what it had consumed is still digested.
  uint32_t end = index.Failed() ? size - start : index.Tell();
  return Md5Text(data + start, end);
}

struct CPackageFile {
  CPackageFile()
      : path((std::filesystem::temp_directory_path() /
              ("qelpatch-fuzz-" + std::to_string(::getpid()) + ".pkg"))
                 .string()) {}
  ~CPackageFile() { platform::DeleteFile(path); }
  const std::string path;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const CPackageFile package;
  if (size > UINT32_MAX) return 0;
  platform::CFile file;
  if (!file.Create(package.path) || !file.Write(data, static_cast<uint32_t>(size)) || !file.Close())
    return 0;
  std::string digest = GetPackageIndexDigest(package.path);
  std::string expected = ExpectedDigest(data, static_cast<uint32_t>(size));
  if (digest != expected) {
    std::fprintf(stderr, "package digest fuzzer: %s, expected %s\n", digest.c_str(),
                 expected.c_str());
    std::abort();
  }
  return 0;
}
