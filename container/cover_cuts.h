#pragma once
// Covers: an entry's chunk table told by its differences. A cover is the
// stretch of a file made from an installed file along one diagonal, from a
// copy on that diagonal to the next copy on another (or the file's end).
// Along it, the made bytes less the installed bytes under them are zero
// where the entry copies; so the chunks inside a cover are told again from
// those differences alone: the zero run that starts the cover is a copy, and
// so is every later zero run of kCoverCopyLeast bytes or more; the bytes
// between are payload, and so is the rest of the cover past the installed
// file's end. The builder cuts the chunks of an entry that travels as covers
// by this rule (so the cut is exact), the carrier's splitter checks it, and
// the patcher tells the chunks again by it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Shorter zero runs stay inside payload: a copy chunk's record costs more
// than a few payload bytes in the container.
constexpr uint32_t kCoverCopyLeast = 16;

// Whether an entry of `madeSize` bytes in `chunkCount` chunks along
// `coverCount` covers is best carried as covers: when its chunks are short
// and most of them continue a cover, as in recompiled code, the zero runs
// pack far smaller than the chunks' sizes do (by a seventh on a recompiled
// program). With long chunks (moved data, assets) the sizes cost next to
// nothing and covers come out a little larger, and with a cover to every
// few chunks there are few sizes left to save.
constexpr uint64_t kCoverChunkMost = 128;
constexpr uint64_t kCoverChunksLeast = 16;
inline bool CoversPay(uint64_t madeSize, uint64_t chunkCount, uint64_t coverCount) {
  return coverCount != 0 && madeSize <= kCoverChunkMost * chunkCount &&
         chunkCount >= kCoverChunksLeast * coverCount;
}

struct CCoverCut {
  bool copy;
  uint32_t size;
  bool operator==(const CCoverCut& other) const { return copy == other.copy && size == other.size; }
};

// Cuts one cover into chunks, its differences taken as they come.
class CCoverCutter {
 public:
  explicit CCoverCutter(std::vector<CCoverCut>& cuts) : cuts_(cuts) {}

  // The next differences of the part of the cover inside the installed file.
  void Take(const uint8_t* differences, size_t size);
  // As Take of `count` zeros: a copy's differences.
  void TakeZeros(uint64_t count);
  // The cover ends `beyond` bytes past the installed file's end. False when
  // it did not start with a copy.
  bool End(uint32_t beyond);

  // From now on, the payload's differences are written at `to` as they are
  // cut (none when null), and KeptEnd() is where the next goes: no more than
  // the payload's bytes plus kCoverCopyLeast are written before a cut.
  void Keep(uint8_t* to) { keep_ = to; }
  uint8_t* KeptEnd() const { return keep_; }

 private:
  void Cut(bool copy, uint64_t size) { cuts_.push_back({copy, static_cast<uint32_t>(size)}); }

  std::vector<CCoverCut>& cuts_;
  bool started_ = false;
  bool broken_ = false;
  bool copying_ = false;
  uint64_t length_ = 0;  // of the chunk being cut, less the zero run at its end
  uint64_t zeros_ = 0;   // the zero run at the end of the payload being cut
  uint8_t* keep_ = nullptr;
};

// A cover of an entry: where it starts in the file made, its diagonal and
// its length.
struct CCover {
  uint64_t start;
  int64_t diagonal;
  uint64_t length;
};

// An entry's covers and their cuts, from its chunks handed in order (each at
// `at` in the file made) with the installed file they copy from.
class CEntryCovers {
 public:
  CEntryCovers(const uint8_t* old, uint64_t oldSize) : old_(old), oldSize_(oldSize) {}

  void Copy(uint64_t at, uint32_t size, uint64_t offset);
  void Payload(uint64_t at, uint32_t size, const uint8_t* bytes);
  // False when a cover did not start with a copy.
  bool End();

  const std::vector<CCover>& Covers() const { return covers_; }
  // The chunks the covers tell, from the first copy on.
  const std::vector<CCoverCut>& Cuts() const { return cuts_; }

 private:
  // Of a chunk at `at`, the bytes that lie over the installed file.
  uint32_t Within(uint64_t at, uint32_t size) const;
  bool EndCover() { return !cutter_ || cutter_->End(static_cast<uint32_t>(beyond_)); }

  const uint8_t* old_;
  uint64_t oldSize_;
  std::vector<CCover> covers_;
  std::vector<CCoverCut> cuts_;
  std::unique_ptr<CCoverCutter> cutter_;
  uint64_t beyond_ = 0;  // of the cover, the bytes past the installed file's end
  bool broken_ = false;
  std::vector<uint8_t> differences_;
};
