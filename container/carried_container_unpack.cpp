#include <lzma.h>

#include "base/refusal.h"
#include "container/carried_container.h"

namespace {
constexpr uint32_t kSmallestDictionary = 4096;
constexpr uint32_t kPresetDictionary = 64u << 20;
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
                     bool& outOfMemory, std::string* why) {
  // A damaged header could ask for any dictionary; the size allows this much.
  uint64_t memoryLimit = UnpackMemory(size);
  size_t in = 0;
  size_t written = 0;
  const lzma_ret result = lzma_stream_buffer_decode(&memoryLimit, 0, nullptr, carried, &in,
                                                    static_cast<size_t>(carriedSize), out, &written,
                                                    static_cast<size_t>(size));
  outOfMemory = result == LZMA_MEM_ERROR;
  if (outOfMemory) return Refuse(why, "not enough memory to unpack the patch data");
  // The output is told on success only: a full output buffer or a truncated
  // stream both end here.
  if (result == LZMA_BUF_ERROR)
    return Refuse(why,
                  "the compressed container does not unpack to " + std::to_string(size) + " bytes");
  if (result != LZMA_OK)
    return Refuse(why, "the compressed container is damaged (" + std::to_string(result) + ")");
  if (in != carriedSize) return Refuse(why, "bytes follow the compressed container");
  if (written != size)
    return Refuse(why, "the compressed container unpacks to " + std::to_string(written) +
                           " bytes, not " + std::to_string(size));
  return true;
}
