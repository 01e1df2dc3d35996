#include "builder/entry_covers.h"

#include <algorithm>

#include "container/cover_cuts.h"

namespace {
uint32_t MadeSize(const CChunkPlan& chunk) {
  return chunk.payload ? chunk.PayloadSize() : chunk.size;
}

// The payload chunk of the bytes [at, at + size) that `chunks` make, which
// start at `starts`: borrowed where one borrowed chunk holds them all, else
// gathered.
CChunkPlan MadePayload(const std::vector<CChunkPlan>& chunks, const std::vector<uint64_t>& starts,
                       const uint8_t* old, uint64_t at, uint32_t size) {
  size_t i =
      static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin() - 1);
  const CChunkPlan& first = chunks[i];
  if (first.view && at + size <= starts[i] + first.size)
    return CChunkPlan::PayloadView(first.view + (at - starts[i]), size);
  std::vector<uint8_t> bytes;
  bytes.reserve(size);
  for (uint64_t end = at + size; at < end; ++i) {
    const CChunkPlan& chunk = chunks[i];
    const uint64_t from = at - starts[i];
    const uint64_t count = std::min<uint64_t>(end, starts[i] + MadeSize(chunk)) - at;
    const uint8_t* source = chunk.payload ? chunk.PayloadData() + from : old + chunk.offset + from;
    bytes.insert(bytes.end(), source, source + count);
    at += count;
  }
  return CChunkPlan::Payload(std::move(bytes));
}
}  // namespace

void CutAlongCovers(CEntryPlan& entry, const uint8_t* old, uint64_t oldSize) {
  std::vector<uint64_t> starts;
  CEntryCovers cut(old, oldSize);
  uint64_t at = 0;
  for (const CChunkPlan& chunk : entry.chunks) {
    starts.push_back(at);
    if (chunk.payload) {
      cut.Payload(at, chunk.PayloadSize(), chunk.PayloadData());
    } else {
      cut.Copy(at, chunk.size, chunk.offset);
    }
    at += MadeSize(chunk);
  }
  const std::vector<CCover>& covers = cut.Covers();
  if (!CoversPay(at, entry.chunks.size(), covers.size()) || !cut.End()) return;
  std::vector<CChunkPlan> chunks;
  // The chunks before the first copy stay as they are.
  size_t lead = 0;
  while (entry.chunks[lead].payload) chunks.push_back(std::move(entry.chunks[lead++]));
  at = covers.front().start;
  size_t cover = 0;
  int64_t diagonal = 0;
  for (const CCoverCut& piece : cut.Cuts()) {
    if (cover < covers.size() && covers[cover].start == at) diagonal = covers[cover++].diagonal;
    chunks.push_back(
        piece.copy ? CChunkPlan::Copy(static_cast<uint32_t>(static_cast<int64_t>(at) + diagonal),
                                      piece.size)
                   : MadePayload(entry.chunks, starts, old, at, piece.size));
    at += piece.size;
  }
  entry.chunks = std::move(chunks);
}
