#include <lzma.h>

#include <algorithm>

#include "base/refusal.h"
#include "container/carried_container.h"

namespace {
constexpr uint32_t kSmallestDictionary = 4096;
constexpr uint32_t kPresetDictionary = 64u << 20;
// Unpacked between two reports of progress: a container of hundreds of
// mebibytes takes seconds to unpack in the 32-bit program.
constexpr uint64_t kProgressStep = 1u << 20;
}  // namespace

uint32_t DictionaryFor(uint64_t size) {
  uint32_t dictionary = kSmallestDictionary;
  while (dictionary < size && dictionary < kPresetDictionary) dictionary *= 2;
  return dictionary;
}

uint64_t UnpackMemory(uint64_t size) {
  // The decoder's own state besides its dictionary is well under 1 MiB.
  return uint64_t{DictionaryFor(size)} + (1u << 20);
}

bool UnpackContainer(const uint8_t* carried, uint64_t carriedSize, uint8_t* out, uint64_t size,
                     bool& outOfMemory, std::string* why, const CUnpackProgress& progress) {
  // A damaged header could ask for any dictionary; the size allows this much.
  lzma_stream stream = LZMA_STREAM_INIT;
  lzma_ret result = lzma_stream_decoder(&stream, UnpackMemory(size), 0);
  stream.next_in = carried;
  stream.avail_in = static_cast<size_t>(carriedSize);
  stream.next_out = out;
  if (progress) progress(0, size);
  // The input is given at once, the output a step at a time; a call that
  // can make no progress says so.
  while (result == LZMA_OK) {
    stream.avail_out = static_cast<size_t>(std::min(kProgressStep, size - stream.total_out));
    result = lzma_code(&stream, LZMA_FINISH);
    if (progress) progress(stream.total_out, size);
  }
  const uint64_t consumed = stream.total_in;
  const uint64_t written = stream.total_out;
  lzma_end(&stream);
  outOfMemory = result == LZMA_MEM_ERROR;
  if (outOfMemory) return Refuse(why, "not enough memory to unpack the patch data");
  // A full output before the stream's end, or a stream cut short.
  if (result == LZMA_BUF_ERROR)
    return Refuse(why,
                  "the compressed container does not unpack to " + std::to_string(size) + " bytes");
  if (result != LZMA_STREAM_END)
    return Refuse(why, "the compressed container is damaged (" + std::to_string(result) + ")");
  if (consumed != carriedSize) return Refuse(why, "bytes follow the compressed container");
  if (written != size)
    return Refuse(why, "the compressed container unpacks to " + std::to_string(written) +
                           " bytes, not " + std::to_string(size));
  return true;
}
