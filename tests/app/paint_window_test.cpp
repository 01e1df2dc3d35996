// PaintWindow into a memory device context, for progress states set through
// the worker's real progress record.
#include <gtest/gtest.h>

#include <memory>

#include "app/qel_client_startup.h"
#include "engine/failure_reason.h"
#include "resources/resource_ids.h"
#include "tests/app/gdi_image_support.h"

namespace {
constexpr int W = 366;
constexpr int H = 213;
// A row of the bar band above the percentage text.
constexpr int kBarRow = 174;
const RECT kPercentBox = {20, 173, 346, 198};
const RECT kStatusBox = {0, 133, 366, 163};
const CRgb kPlainGrey = {200, 200, 200};
const CRgb kPlainOrange = {255, 200, 100};

const CBitmapPixels& Background() {
  static CBitmapPixels pixels(
      LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_BACKGROUND)));
  return pixels;
}

class PaintWindowTest : public ::testing::Test {
 protected:
  // A fresh application object per picture: the progress record only grows.
  std::unique_ptr<CQelClientStartup> MakeApp(bool withBackground) {
    auto app = std::make_unique<CQelClientStartup>();
    app->instance = GetModuleHandleA(nullptr);
    if (withBackground) {
      app->LoadBackground();
      app->MakeMemoryDC(target_.Dc());
    }
    return app;
  }

  // Paints with `done` of `total` and the status text.
  void Paint(uint32_t done, uint32_t total, const std::string& text, bool withBackground = true,
             bool completed = false) {
    auto app = MakeApp(withBackground);
    app->worker.Progress().SetTotal(total);
    app->worker.Progress().AddDone(done);
    app->worker.Progress().SetStatusText(text);
    app->completed = completed;
    app->PaintWindow(target_.Dc());
    app->ReleaseBackground();
  }

  bool BarFilledAt(int x) const {
    return target_.Pixel(x, kBarRow) == Background().Pixel(x, kBarRow + H);
  }
  bool TrackEmptyAt(int x) const {
    return target_.Pixel(x, kBarRow) == Background().Pixel(x, kBarRow);
  }

  CPaintTarget target_{W, H};
};

TEST_F(PaintWindowTest, BackgroundArtworkHasTheTrackWhereTheBarGoes) {
  ASSERT_EQ(Background().Width(), W);
  ASSERT_EQ(Background().Height(), 2 * H);
  // The upper half differs from the lower only inside the track.
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      bool inTrack = x >= 17 && x < 349 && y >= 173 && y < 198;
      EXPECT_EQ(Background().Pixel(x, y) != Background().Pixel(x, y + H), inTrack) << x << "," << y;
      if (HasFailure()) return;
    }
  }
  // A dark frame one pixel outside the track.
  EXPECT_TRUE(Background().Pixel(16, 185).r < 100 && Background().Pixel(349, 185).r < 100);
  EXPECT_TRUE(Background().Pixel(100, 172).r < 100 && Background().Pixel(100, 198).r < 100);
}

// The bar ends at 17 + trunc(332 * ratio), and not at all below one percent;
// the rest of the track and everything above the status line is background.
TEST_F(PaintWindowTest, BarWidthFollowsTheRatio) {
  const struct {
    uint32_t done, total;
    const char* text;
    int barEnd;
  } cases[] = {
      {0, 0, "", 17},
      {500, 0, "Creating PatchData....", 17},  // done before the total is known
      {99, 10000, "Start Patch.....", 17},     // just below one percent
      {1, 100, "Patch map84.pkg ", 20},        // one percent: three pixels
      {1, 2, "", 183},
      {7, 7, "Patch map84.pkg ", 349},  // up to the frame
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.done) + " of " + std::to_string(c.total));
    Paint(c.done, c.total, c.text);
    for (int x = 17; x < 349; ++x)
      EXPECT_TRUE(x < c.barEnd ? BarFilledAt(x) : TrackEmptyAt(x)) << x;
    for (int x : {16, 349}) EXPECT_EQ(target_.Pixel(x, kBarRow), Background().Pixel(x, kBarRow));
    int changed = 0;
    for (int y = 0; y < kStatusBox.top; ++y)
      for (int x = 0; x < W; ++x) changed += target_.Pixel(x, y) != Background().Pixel(x, y);
    EXPECT_EQ(changed, 0);
    EXPECT_TRUE(target_.AnyDark(kPercentBox));
    EXPECT_EQ(target_.AnyDark(kStatusBox), c.text[0] != '\0');
  }
}

TEST_F(PaintWindowTest, RatioAboveOneIsNotClamped) {
  Paint(3, 2, "", /*withBackground=*/false);
  EXPECT_EQ(target_.Pixel(360, kBarRow), kPlainOrange);  // 17 + 498 lies past the window
}

TEST_F(PaintWindowTest, AfterSuccessShowsCompletionWhateverTheRecordHolds) {
  Paint(1, 4, "Patch map84.pkg ", true, /*completed=*/true);
  std::vector<uint32_t> completed = target_.Pixels();
  Paint(4, 4, "Patch Complete.");
  EXPECT_EQ(completed, target_.Pixels());
  for (int x = 17; x < 349; ++x) EXPECT_TRUE(BarFilledAt(x)) << x;
}

TEST_F(PaintWindowTest, StatusTextShowsOnlyItsFirstLine) {
  Paint(0, 0, "Patch map84.pkg \nsecond line");
  std::vector<uint32_t> twoLines = target_.Pixels();
  Paint(0, 0, "Patch map84.pkg ");
  EXPECT_EQ(twoLines, target_.Pixels());
}

TEST_F(PaintWindowTest, StatusTextIsCentred) {
  // Letters with full strokes at both ends (anti-aliased dots are not dark).
  Paint(0, 0, "HUNDRED MILES");
  int left = W, right = 0, top = H, bottom = 0;
  for (int y = kStatusBox.top; y < kStatusBox.bottom; ++y) {
    for (int x = 0; x < W; ++x) {
      if (!target_.Pixel(x, y).Dark()) continue;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  ASSERT_LT(left, right);
  EXPECT_NEAR((left + right) / 2.0, W / 2.0, 3);
  EXPECT_NEAR((top + bottom) / 2.0, (133 + 163) / 2.0, 3);
}

TEST_F(PaintWindowTest, WithoutBackgroundPaintsPlainGreyAndAnOrangeBar) {
  Paint(1, 2, "Start Patch.....", /*withBackground=*/false);
  EXPECT_EQ(target_.Pixel(0, 0), kPlainGrey);
  EXPECT_EQ(target_.Pixel(W - 1, H - 1), kPlainGrey);
  EXPECT_EQ(target_.Pixel(17, kBarRow), kPlainOrange);
  EXPECT_EQ(target_.Pixel(182, kBarRow), kPlainOrange);
  EXPECT_EQ(target_.Pixel(183, kBarRow), kPlainGrey);
  EXPECT_TRUE(target_.AnyDark(kPercentBox));
  EXPECT_TRUE(target_.AnyDark(kStatusBox));
}

TEST_F(PaintWindowTest, LeavesTheDeviceContextsFontAsItWas) {
  HGDIOBJ before = GetCurrentObject(target_.Dc(), OBJ_FONT);
  Paint(1, 3, "Start Patch.....");
  EXPECT_EQ(GetCurrentObject(target_.Dc(), OBJ_FONT), before);
}
}  // namespace

// The reason a run failed, read whole in the window: every line of the
// engine's, with a long name, in at most two lines, its start and its end
// there (a path may lose its middle), and nothing drawn past the status box
// or at the window's sides.
TEST_F(PaintWindowTest, EveryFailureLineIsShownWholeInTheStatusBox) {
  const std::string name = "data/regions/the_northern_pass_and_its_villages/map_of_the_pass.pkg";
  std::vector<std::string> lines = {
      kDamagedRelease,
      "Not enough memory to unpack the patch data; close other programs and run the patch again",
      "Not enough memory to patch the game; close other programs and run the patch again",
      "Not enough disk space: the patch needs 4398046511.2 MB in the game folder, 4398046510.9 MB "
      "are free",
      "Another patch is running in this game folder",
      "This program carries no patch data",
      "No game folder was chosen",
      "This patch is for code page 1252; this system uses code page 932",
      "The game's installation path names no folder: C:\\Program Files (x86)\\Games\\" + name,
      WaitingFor(name)};
  for (int cause = 0; cause <= static_cast<int>(CFailureCause::kInstalledDamaged); ++cause)
    lines.push_back(FileFailure(name, static_cast<CFailureCause>(cause)));
  HGDIOBJ kept = SelectObject(target_.Dc(), GetStockObject(DEFAULT_GUI_FONT));
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    const std::vector<std::string> shown = CQelClientStartup().StatusLines(target_.Dc(), line);
    ASSERT_LE(shown.size(), 2u);
    EXPECT_EQ(shown.front().substr(0, 12), line.substr(0, 12));
    const size_t cut = shown.back().find("...");
    const std::string end = shown.back().substr(cut == std::string::npos ? 0 : cut + 3);
    EXPECT_EQ(end, line.substr(line.size() - end.size()));
    Paint(0, 0, line);
    for (int y = 0; y < kPercentBox.top; ++y)
      for (int x = 0; x < W; ++x)
        if (y < kStatusBox.top || y >= kStatusBox.bottom || x < 3 || x >= W - 3) {
          ASSERT_EQ(target_.Pixel(x, y), Background().Pixel(x, y)) << x << "," << y;
        }
  }
  SelectObject(target_.Dc(), kept);
}
