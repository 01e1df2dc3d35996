#include "builder/stream_packing.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "base/refusal.h"
#include "container/carried_container.h"

namespace {
struct CStreamFiles {
  CScratchFile raw[kCarrierStreamCount];
  CScratchFile packed[kCarrierStreamCount];
  std::string failed[kCarrierStreamCount];
};

// Compresses one raw stream file into its packed file.
void PackOne(CStreamFiles& files, uint32_t s, std::atomic<uint64_t>& read) {
  CScratchFile& packed = files.packed[s];
  const CPackOutput output = [&](const uint8_t* data, size_t size) {
    return packed.Write(data, size);
  };
  uint64_t before = 0;
  const CPackProgress progress = [&](uint64_t bytes) {
    read += bytes - before;
    before = bytes;
  };
  CContainerPacker packer(files.raw[s].Size(), output, progress, StreamTuning(s));
  std::string unread;
  ReadFileInPieces(
      files.raw[s].Path(),
      [&](const uint8_t* data, size_t size) { return packer.Take(data, size); }, &unread);
  std::string why;
  if (!unread.empty())
    files.failed[s] = unread;
  else if (!packer.Finish(&why) || !packed.EndWriting())
    files.failed[s] = packed.Failed() ? packed.Error() : why;
}

// Packs the streams, the largest first, on as many threads as there are
// cores; each compressor keeps its own memory (kPackDictionaryLimit).
bool PackAll(CStreamFiles& files, uint64_t total, CProgressBar& progress, std::string* why) {
  std::vector<uint32_t> order;
  for (uint32_t s = 0; s < kCarrierStreamCount; ++s)
    if (files.raw[s].Size() != 0) order.push_back(s);
  std::sort(order.begin(), order.end(),
            [&](uint32_t a, uint32_t b) { return files.raw[a].Size() > files.raw[b].Size(); });
  std::atomic<size_t> next{0};
  std::atomic<uint64_t> read{0};
  const size_t threads =
      std::max<size_t>(1, std::min<size_t>(std::thread::hardware_concurrency(), order.size()));
  const auto work = [&] {
    for (size_t i; (i = next++) < order.size();) PackOne(files, order[i], read);
  };
  progress.Begin("compressing", 0, total);
  std::vector<std::thread> pool;
  for (size_t t = 1; t < threads; ++t) pool.emplace_back(work);
  // This thread packs too, and between its streams tells the bar how far
  // all of them have come.
  for (size_t i; (i = next++) < order.size();) {
    PackOne(files, order[i], read);
    progress.Update(0, read);
  }
  for (std::thread& thread : pool) thread.join();
  progress.Finish();
  for (const std::string& failed : files.failed)
    if (!failed.empty()) return Refuse(why, failed);
  return true;
}
}  // namespace

bool WriteStreamCarrier(CReleaseBuilder& builder, const std::string& stored,
                        const std::string& beside, CProgressBar& progress, CScratchFile& out,
                        CDigest128& payloadDigest, std::string* why) {
  std::unique_ptr<CStreamFiles> files(new CStreamFiles);
  CStreamSplitter::CSinks sinks;
  for (uint32_t s = 0; s < kCarrierStreamCount; ++s) {
    if (!files->raw[s].Open(beside, why) || !files->packed[s].Open(beside, why)) return false;
    CScratchFile& raw = files->raw[s];
    sinks[s] = [&raw](const uint8_t* data, size_t size) { return raw.Write(data, size); };
  }
  CStreamSplitter splitter(sinks);
  if (!builder.SplitStreams(stored, splitter, progress, why)) return false;
  uint64_t total = 0;
  for (CScratchFile& raw : files->raw) {
    if (!raw.EndWriting()) return Refuse(why, raw.Error());
    total += raw.Size();
  }
  if (!PackAll(*files, total, progress, why)) return false;
  CCarrierSizes sizes;
  for (uint32_t s = 0; s < kCarrierStreamCount; ++s)
    sizes[s] = CCarrierStreamSize{files->raw[s].Size(), files->packed[s].Size()};
  const std::vector<uint8_t> head = CarrierHead(sizes);
  if (!out.Write(head.data(), head.size())) return Refuse(why, out.Error());
  const auto copy = [&](const uint8_t* data, size_t size) { return out.Write(data, size); };
  for (CScratchFile& packed : files->packed)
    if (packed.Size() != 0 && !ReadFileInPieces(packed.Path(), copy, why))
      return out.Failed() ? Refuse(why, out.Error()) : false;
  payloadDigest = splitter.PayloadDigest();
  return true;
}
