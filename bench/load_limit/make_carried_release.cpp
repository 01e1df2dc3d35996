// Makes a release file that carries its container compressed, for measuring
// how large a container QelPatch.exe can unpack:
//
//   qelpatch-bench-carried OUT CONTAINER_MIB [FILE_MIB]
//
// The container holds one package sent whole, big.pkg, filling CONTAINER_MIB
// MiB: FILE_MIB MiB of random bytes (which do not compress, so the release
// file is about that large) and then a line of text repeated. The builder
// would carry such a container stored past its limit; this does not ask.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "container/container_writer.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: qelpatch-bench-carried OUT CONTAINER_MIB [FILE_MIB]\n");
    return 2;
  }
  const uint64_t containerSize = std::strtoull(argv[2], nullptr, 10) << 20;
  const uint64_t randomSize = argc == 4 ? std::strtoull(argv[3], nullptr, 10) << 20 : 0;
  const uint64_t records = 4 + 1100 + 12;
  if (containerSize < records + randomSize || containerSize > UINT32_MAX) {
    std::fprintf(stderr, "the container must hold its records and the random bytes, under 4 GiB\n");
    return 2;
  }
  std::vector<uint8_t> content(containerSize - records);
  std::mt19937 random(1);
  for (uint64_t at = 0; at < randomSize; ++at) content[at] = static_cast<uint8_t>(random());
  const std::string line = "The old road runs north through the pass to the harbour town.\n";
  for (uint64_t at = randomSize; at < content.size(); ++at)
    content[at] = static_cast<uint8_t>(line[at % line.size()]);

  CEntryPlan entry;
  entry.name = "big.pkg";
  entry.chunks.push_back(
      CChunkPlan::PayloadView(content.data(), static_cast<uint32_t>(content.size())));
  std::vector<uint8_t> stored, compressed;
  std::string why;
  CReleaseView view;
  if (!BuildReleaseFile({entry}, {{{}, {content.data(), content.size()}}}, 0, stored, &why) ||
      !ReadReleaseFile(stored.data(), stored.size(), view, &why) ||
      !CompressedReleaseFile(view.container, view.containerSize, view.manifest, compressed, &why)) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
  }
  FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr ||
      std::fwrite(compressed.data(), 1, compressed.size(), out) != compressed.size() ||
      std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::printf("%s: %zu bytes, unpacking to %llu\n", argv[1], compressed.size(),
              static_cast<unsigned long long>(containerSize));
  return 0;
}
