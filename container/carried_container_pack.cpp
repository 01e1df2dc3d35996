#include <lzma.h>

#include "base/refusal.h"
#include "container/carried_container.h"

bool PackContainer(const uint8_t* data, uint64_t size, std::vector<uint8_t>& out, std::string* why,
                   const CPackProgress& progress) {
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, 9) != 0) return Refuse(why, "the compressor has no preset 9");
  options.dict_size = DictionaryFor(size);
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_stream_encoder(&stream, filters, LZMA_CHECK_NONE) != LZMA_OK)
    return Refuse(why, "not enough memory for the compressor");
  // One call per output block: the whole input is given at once, so the
  // result depends on nothing but the bytes.
  const size_t start = out.size();
  std::vector<uint8_t> block(1u << 20);
  stream.next_in = data;
  stream.avail_in = static_cast<size_t>(size);
  lzma_ret result = LZMA_OK;
  while (result == LZMA_OK) {
    stream.next_out = block.data();
    stream.avail_out = block.size();
    result = lzma_code(&stream, LZMA_FINISH);
    out.insert(out.end(), block.data(), stream.next_out);
    if (progress) progress(stream.total_in);
  }
  lzma_end(&stream);
  if (result != LZMA_STREAM_END) {
    out.resize(start);
    return Refuse(why, "the compressor failed (" + std::to_string(result) + ")");
  }
  return true;
}
