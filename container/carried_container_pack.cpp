#include <lzma.h>

#include <algorithm>
#include <thread>

#include "base/refusal.h"
#include "container/carried_container.h"

namespace {
constexpr uint64_t kMiB = 1u << 20;
constexpr uint64_t kBlockLeast = 4 * kMiB;
}  // namespace

struct CContainerPacker::CState {
  lzma_stream stream = LZMA_STREAM_INIT;
  lzma_ret result = LZMA_OK;
  bool outputFailed = false;
  std::string unstarted;  // why the compressor could not start
  std::vector<uint8_t> block = std::vector<uint8_t>(1u << 20);
};

CContainerPacker::CContainerPacker(uint64_t size, const CPackOutput& output,
                                   const CPackProgress& progress, CPackTuning tuning)
    : state_(new CState), output_(output), progress_(progress) {
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, 9) != 0) {
    state_->result = LZMA_OPTIONS_ERROR;
    state_->unstarted = "the compressor has no preset 9";
    return;
  }
  options.dict_size = std::min(DictionaryFor(size), kPackDictionaryLimit);
  options.lc = tuning.lc;
  options.lp = tuning.lp;
  options.pb = tuning.pb;
  if (tuning.niceLength != 0) options.nice_len = tuning.niceLength;
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  // Blocks of whole MiB, no fewer than kBlockLeast: a small stream is one.
  const uint64_t block = (size / std::max<uint32_t>(tuning.blocks, 1) + kMiB) / kMiB * kMiB;
  if (tuning.blocks > 1 && block >= kBlockLeast && block < size) {
    lzma_mt threaded = {};
    threaded.threads = std::max(1u, std::min(tuning.blocks, std::thread::hardware_concurrency()));
    threaded.block_size = block;
    threaded.filters = filters;
    threaded.check = LZMA_CHECK_NONE;
    state_->result = lzma_stream_encoder_mt(&state_->stream, &threaded);
  } else {
    state_->result = lzma_stream_encoder(&state_->stream, filters, LZMA_CHECK_NONE);
  }
  if (state_->result != LZMA_OK) state_->unstarted = "not enough memory for the compressor";
}

CContainerPacker::~CContainerPacker() {
  lzma_end(&state_->stream);
}

// Feeds the piece to the compressor, handing on each output block as it
// fills; the last piece finishes the stream.
bool CContainerPacker::Code(const uint8_t* data, size_t size, bool last) {
  CState& state = *state_;
  lzma_stream& stream = state.stream;
  stream.next_in = data;
  stream.avail_in = size;
  while (state.result == LZMA_OK && !state.outputFailed && (last || stream.avail_in != 0)) {
    stream.next_out = state.block.data();
    stream.avail_out = state.block.size();
    state.result = lzma_code(&stream, last ? LZMA_FINISH : LZMA_RUN);
    const size_t made = static_cast<size_t>(stream.next_out - state.block.data());
    state.outputFailed = made != 0 && !output_(state.block.data(), made);
    if (progress_) progress_(stream.total_in);
  }
  return (state.result == LZMA_OK || (last && state.result == LZMA_STREAM_END)) &&
         !state.outputFailed;
}

bool CContainerPacker::Take(const uint8_t* data, size_t size) {
  return Code(data, size, false);
}

bool CContainerPacker::Finish(std::string* why) {
  if (Code(nullptr, 0, true)) return true;
  if (!state_->unstarted.empty()) return Refuse(why, state_->unstarted);
  if (state_->outputFailed) return Refuse(why, "write failed");
  return Refuse(why, "the compressor failed (" + std::to_string(state_->result) + ")");
}

bool PackContainer(const uint8_t* data, uint64_t size, std::vector<uint8_t>& out, std::string* why,
                   const CPackProgress& progress) {
  const size_t start = out.size();
  const CPackOutput output = [&out](const uint8_t* block, size_t made) {
    out.insert(out.end(), block, block + made);
    return true;
  };
  CContainerPacker packer(size, output, progress);
  packer.Take(data, static_cast<size_t>(size));
  if (packer.Finish(why)) return true;
  out.resize(start);
  return false;
}
