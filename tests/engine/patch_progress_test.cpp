#include "engine/patch_progress.h"

#include <gtest/gtest.h>

TEST(PatchProgress, RatioIsZeroBeforeTheTotalWhateverDoneHolds) {
  CPatchProgress progress;
  progress.AddDone(500);
  EXPECT_EQ(progress.GetRatio(), 0.0f);
  progress.SetTotal(1000);
  EXPECT_EQ(progress.GetRatio(), 0.5f);
}

TEST(PatchProgress, RatioAboveOneIsPassedOnUnclamped) {
  CPatchProgress progress;
  progress.SetTotal(100);
  progress.AddDone(100);
  EXPECT_EQ(progress.GetRatio(), 1.0f);
  progress.AddDone(50);
  EXPECT_EQ(progress.GetRatio(), 1.5f);
}

TEST(PatchProgress, DoneWrapsModulo2To32) {
  CPatchProgress progress;
  progress.SetTotal(10);
  progress.AddDone(0xFFFFFFFFu);
  progress.AddDone(2);
  EXPECT_EQ(progress.GetRatio(), 0.1f);
}

TEST(PatchProgress, StatusTextWithALineFeedIsStoredWhole) {
  CPatchProgress progress;
  EXPECT_EQ(progress.GetStatusText(), "");
  progress.SetStatusText("first line\nsecond line");
  float ratio = -1;
  std::string text;
  progress.Snapshot(ratio, text);
  EXPECT_EQ(text, "first line\nsecond line");
  EXPECT_EQ(ratio, 0.0f);
}
