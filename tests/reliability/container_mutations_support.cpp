#include "tests/reliability/container_mutations_support.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/byte_cursor.h"
#include "base/little_endian.h"
#include "container/patch_container.h"

namespace {
// Field offsets inside an entry record.
constexpr uint32_t kDigestBeforeAt = 1024;
constexpr uint32_t kDigestAfterAt = 1057;
constexpr uint32_t kReservedAt = 1090;
constexpr uint32_t kPayloadSizeAt = 1092;
constexpr uint32_t kChunkCountAt = 1096;
// Field offsets inside a chunk record.
constexpr uint32_t kChunkOffsetAt = 4;
constexpr uint32_t kChunkSizeAt = 8;

std::string FieldText(const Bytes& bytes, uint32_t at, uint32_t fieldSize) {
  auto begin = bytes.begin() + at;
  return std::string(begin, std::find(begin, begin + fieldSize, 0));
}

class CMutantList {
 public:
  explicit CMutantList(const Bytes& base) : base_(base) {}

  void Word(const std::string& what, uint32_t at, uint32_t value) {
    if (GetU32(&base_[at]) == value) return;
    Bytes changed = base_;
    PutU32(&changed[at], value);
    Add(what + " = " + std::to_string(value), std::move(changed));
  }

  // The values that matter for a count, size or offset field.
  void WordBoundaries(const std::string& what, uint32_t at, const std::vector<uint32_t>& extra) {
    uint32_t now = GetU32(&base_[at]);
    std::vector<uint32_t> values = {
        0,          1,          now - 1,    now + 1,
        0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, static_cast<uint32_t>(base_.size())};
    values.insert(values.end(), extra.begin(), extra.end());
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    for (uint32_t value : values) Word(what, at, value);
  }

  void Byte(const std::string& what, uint32_t at, uint8_t value) {
    if (base_[at] == value) return;
    Bytes changed = base_;
    changed[at] = value;
    Add(what, std::move(changed));
  }

  // A text field set to `text` and its NUL, the rest of the field kept.
  void Text(const std::string& what, uint32_t at, uint32_t fieldSize, const std::string& text) {
    if (text.size() >= fieldSize) return;
    Bytes changed = base_;
    std::memcpy(&changed[at], text.data(), text.size());
    changed[at + text.size()] = 0;
    Add(what + " \"" + text + "\"", std::move(changed));
  }

  // Every NUL of a text field replaced, so the text runs to the field's end.
  void NoNul(const std::string& what, uint32_t at, uint32_t fieldSize) {
    Bytes changed = base_;
    for (uint32_t i = 0; i < fieldSize; ++i)
      if (changed[at + i] == 0) changed[at + i] = 'x';
    Add(what + " without its NUL", std::move(changed));
  }

  void Add(const std::string& what, Bytes container) {
    mutants_.push_back({what, std::move(container)});
  }

  std::vector<CMutant> Take() { return std::move(mutants_); }

 private:
  const Bytes& base_;
  std::vector<CMutant> mutants_;
};

void DigestMutants(CMutantList& list, const std::string& what, uint32_t at,
                   const std::string& digest) {
  list.NoNul(what, at, kDigestFieldSize);
  list.Text(what, at, kDigestFieldSize, "");
  if (digest.size() != 32) return;
  std::string changed = digest;
  changed[31] = changed[31] == '0' ? '1' : '0';
  list.Text(what, at, kDigestFieldSize, changed);
  std::string upper = digest;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  list.Text(what, at, kDigestFieldSize, upper);
  list.Text(what, at, kDigestFieldSize, digest.substr(0, 31));
}

void NameMutants(CMutantList& list, const std::string& what, uint32_t at, const std::string& name,
                 const std::vector<CEntryLayout>& layout) {
  list.NoNul(what, at, kNameFieldSize);
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  size_t dot = name.find_last_of('.');
  size_t slash = name.find_last_of('/');
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  const std::string names[] = {"",
                               "/" + name,
                               "\\" + name,
                               "../" + name,
                               "..\\" + name,
                               "C:" + name,
                               "C:\\" + base,
                               "sub/../../" + base,
                               "sub//" + base,
                               name + "/",
                               ".",
                               "..",
                               upper,
                               dot == std::string::npos ? name + ".pkg" : name.substr(0, dot),
                               dot == std::string::npos ? name : name.substr(0, dot) + ".pk",
                               name + std::string(1000 - name.size(), 'n'),
                               "missing/folder/" + base};
  for (const std::string& text : names) list.Text(what, at, kNameFieldSize, text);
  for (const CEntryLayout& other : layout)
    if (other.name != name)
      list.Text(what + " named like another entry", at, kNameFieldSize, other.name);
}
}  // namespace

std::vector<CEntryLayout> ContainerLayout(const Bytes& container) {
  std::vector<CEntryLayout> layout;
  CByteCursor cursor(container.data(), static_cast<uint32_t>(container.size()));
  uint32_t count = cursor.ReadU32();
  for (uint32_t i = 0; i < count; ++i) {
    CEntryLayout entry;
    entry.record = cursor.Tell();
    CEntryRecord record;
    if (!ReadEntryRecord(cursor, record)) break;
    entry.name = record.name;
    entry.chunkCount = record.chunkCount;
    entry.payloadSize = record.payloadSize;
    for (uint32_t c = 0; c < record.chunkCount; ++c) {
      uint32_t at = cursor.Tell();
      CChunkRecord chunk;
      if (!ReadChunkRecord(cursor, chunk)) break;
      (chunk.IsPayload() ? entry.payloadChunks : entry.copyChunks).push_back(at);
    }
    entry.payloadArea = cursor.Tell();
    cursor.Seek(entry.payloadArea + entry.payloadSize);
    layout.push_back(entry);
  }
  return layout;
}

std::vector<CMutant> FieldMutants(const Bytes& container) {
  CMutantList list(container);
  const std::vector<CEntryLayout> layout = ContainerLayout(container);
  list.WordBoundaries("entryCount", 0, {});

  for (size_t e = 0; e < layout.size(); ++e) {
    const CEntryLayout& entry = layout[e];
    const uint32_t r = entry.record;
    const std::string at = "entry " + std::to_string(e) + " (" + entry.name + ") ";
    NameMutants(list, at + "name", r, entry.name, layout);
    DigestMutants(list, at + "digestBefore", r + kDigestBeforeAt,
                  FieldText(container, r + kDigestBeforeAt, kDigestFieldSize));
    DigestMutants(list, at + "digestAfter", r + kDigestAfterAt,
                  FieldText(container, r + kDigestAfterAt, kDigestFieldSize));
    list.Byte(at + "reserved byte changed", r + kReservedAt, container[r + kReservedAt] ^ 0x5A);
    list.WordBoundaries(at + "payloadSize", r + kPayloadSizeAt, {});
    // 12 times 0x15555556 overflows 32 bits to 8.
    list.WordBoundaries(at + "chunkCount", r + kChunkCountAt, {0x15555556, 0x15555555});

    std::vector<uint32_t> chunks = entry.payloadChunks;
    chunks.insert(chunks.end(), entry.copyChunks.begin(), entry.copyChunks.end());
    for (uint32_t c : chunks) {
      const std::string chunk =
          at + "chunk " + std::to_string((c - r - kEntryRecordSize) / 12) + " ";
      const bool payload = container[c] != 0;
      list.Byte(chunk + (payload ? "flag made copy" : "flag made payload"), c, payload ? 0 : 1);
      if (payload) list.Byte(chunk + "flag 0x80", c, 0x80);
      list.Byte(chunk + "reserved byte changed", c + 1, container[c + 1] ^ 0x5A);
      list.WordBoundaries(chunk + "offset", c + kChunkOffsetAt, {});
      list.WordBoundaries(chunk + "size", c + kChunkSizeAt, {});
    }
    if (entry.payloadSize > 0) {
      const uint32_t area = entry.payloadArea;
      const uint32_t last = area + entry.payloadSize - 1;
      list.Byte(at + "first payload byte changed", area, container[area] ^ 0xFF);
      list.Byte(at + "middle payload byte changed", area + entry.payloadSize / 2,
                container[area + entry.payloadSize / 2] ^ 0xFF);
      list.Byte(at + "last payload byte changed", last, container[last] ^ 0xFF);
    }
  }

  Bytes longer = container;
  longer.push_back(0);
  list.Add("one byte after the last entry", std::move(longer));
  if (!layout.empty()) {
    // The first entry again at the end, counted: its payload offsets point
    // at the first copy's area.
    Bytes repeated = container;
    const CEntryLayout& first = layout.front();
    uint32_t end = first.payloadArea + first.payloadSize;
    repeated.insert(repeated.end(), container.begin() + first.record, container.begin() + end);
    PutU32(&repeated[0], GetU32(&container[0]) + 1);
    list.Add("first entry repeated at the end", std::move(repeated));
  }
  return list.Take();
}

CMutant Truncated(const Bytes& container, uint32_t length) {
  return {"cut to " + std::to_string(length) + " bytes",
          Bytes(container.begin(), container.begin() + length)};
}

CMutant RandomMutant(const Bytes& container, std::mt19937& random) {
  const std::vector<CEntryLayout> layout = ContainerLayout(container);
  // Positions inside the count, the records and the chunk tables.
  std::vector<std::pair<uint32_t, uint32_t>> structure = {{0, 4}};
  for (const CEntryLayout& entry : layout) structure.push_back({entry.record, entry.payloadArea});

  CMutant mutant{"", container};
  Bytes& bytes = mutant.container;
  auto below = [&](uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(random() % n); };
  auto somewhere = [&]() -> uint32_t {
    if (bytes.empty()) return 0;
    if (random() % 4 != 0) {
      // Mostly where the structure is.
      const auto& range = structure[below(static_cast<uint32_t>(structure.size()))];
      uint32_t at = range.first + below(range.second - range.first);
      if (at < bytes.size()) return at;
    }
    return below(static_cast<uint32_t>(bytes.size()));
  };

  const uint32_t changes = 1 + below(3);
  for (uint32_t i = 0; i < changes && !bytes.empty(); ++i) {
    const uint32_t at = somewhere();
    const uint32_t size = static_cast<uint32_t>(bytes.size());
    switch (below(7)) {
      case 0:
        bytes[at] ^= static_cast<uint8_t>(1u << below(8));
        mutant.what += "bit flipped at " + std::to_string(at) + "; ";
        break;
      case 1:
        bytes[at] = static_cast<uint8_t>(random());
        mutant.what += "byte set at " + std::to_string(at) + "; ";
        break;
      case 2:
      case 3: {
        const uint32_t values[] = {0,          1,
                                   2,          12,
                                   32,         1100,
                                   0x7FFFFFFF, 0x80000000,
                                   0xFFFFFFFF, 0xFFFFFFF4,
                                   size,       size - 1,
                                   size + 1,   static_cast<uint32_t>(random())};
        uint32_t value = values[below(sizeof values / sizeof values[0])];
        uint32_t word = std::min(at, size >= 4 ? size - 4 : 0);
        if (size < 4) break;
        PutU32(&bytes[word], value);
        mutant.what += "word at " + std::to_string(word) + " = " + std::to_string(value) + "; ";
        break;
      }
      case 4: {
        uint32_t cut = below(std::min<uint32_t>(size - at, 64)) + 1;
        bytes.erase(bytes.begin() + at, bytes.begin() + at + cut);
        mutant.what += std::to_string(cut) + " bytes cut at " + std::to_string(at) + "; ";
        break;
      }
      case 5: {
        uint32_t count = below(64) + 1;
        for (uint32_t n = 0; n < count; ++n)
          bytes.insert(bytes.begin() + at, static_cast<uint8_t>(random()));
        mutant.what += std::to_string(count) + " bytes inserted at " + std::to_string(at) + "; ";
        break;
      }
      default: {
        uint32_t from = below(size);
        uint32_t count = std::min({below(1100) + 1, size - from, size - at});
        std::memmove(&bytes[at], &bytes[from], count);
        mutant.what += std::to_string(count) + " bytes from " + std::to_string(from) +
                       " copied to " + std::to_string(at) + "; ";
        break;
      }
    }
  }
  return mutant;
}
