// A manifest written piece by piece: lists handed in otherwise than told are
// refused rather than written as a manifest that says other than it holds.
#include <gtest/gtest.h>

#include <functional>

#include "container/release_manifest.h"

TEST(ManifestWriter, ListsHandedInOtherwiseThanToldAreRefused) {
  CReleaseManifest head;
  head.fromVersion = "1.0";
  const CManifestCounts counts{2, 1, 1, 1};
  const CManifestEntry entry;
  const CRemovedFile removed{"old.txt", 3, CDigest128()};
  using CHand = std::function<void(CManifestWriter&)>;
  const CHand entries = [&](CManifestWriter& w) { w.Entry(entry), w.Entry(entry); };
  const CHand rest = [&](CManifestWriter& w) {
    w.Removed(removed), w.RemovedFolder("old"), w.Unchanged("same.pkg", 70000);
  };
  const struct {
    const char* what;
    CHand hand;
    bool written;
  } cases[] = {
      {"as told", [&](CManifestWriter& w) { entries(w), rest(w); }, true},
      {"an entry short", [&](CManifestWriter& w) { w.Entry(entry), rest(w); }, false},
      {"an entry more", [&](CManifestWriter& w) { entries(w), w.Entry(entry), rest(w); }, false},
      {"a removed file first", [&](CManifestWriter& w) { w.Removed(removed), entries(w); }, false},
      {"no unchanged file",
       [&](CManifestWriter& w) { entries(w), w.Removed(removed), w.RemovedFolder("old"); }, false},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes;
    const CManifestWriter::CSink sink = [&bytes](const uint8_t* data, size_t size) {
      bytes.insert(bytes.end(), data, data + size);
      return true;
    };
    CManifestWriter writer(head, counts, sink);
    c.hand(writer);
    EXPECT_EQ(writer.Finish(), c.written) << c.what;
    if (!c.written) continue;
    CReleaseView view;
    std::string why;
    ASSERT_TRUE(ReadReleaseManifest(bytes.data(), bytes.size(), view, &why)) << why;
    EXPECT_EQ(view.manifest.entries.size(), 2u);
    EXPECT_EQ(view.manifest.removed[0].name, "old.txt");
    EXPECT_EQ(view.manifest.unchanged[0].second, 70000u);
    EXPECT_EQ(view.manifest.fromVersion, "1.0");
  }
}
