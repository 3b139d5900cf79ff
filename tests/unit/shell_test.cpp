// SPDX-License-Identifier: MIT
// The field of view a window shape gets.
#include <gtest/gtest.h>

#include "shell.h"

TEST(DesignRatioThreshold, IsTheFloatNearestTheDesignRatio) {
  EXPECT_EQ(DESIGN_RATIO_THRESHOLD, static_cast<float>(600.0 / 207.0));
  EXPECT_EQ(static_cast<double>(DESIGN_RATIO_THRESHOLD), 2.8985507488250732);
}

TEST(FieldOfViewFor, DesignSizeFallsJustBelowTheThresholdAndKeeps45) {
  EXPECT_EQ(fieldOfViewFor(600, 207), 45.0F);
}

TEST(FieldOfViewFor, SlightlyNarrowerWidens) { EXPECT_EQ(fieldOfViewFor(599, 207), 45.075127F); }

TEST(FieldOfViewFor, WiderShapesKeep45) {
  EXPECT_EQ(fieldOfViewFor(601, 207), 45.0F);
  EXPECT_EQ(fieldOfViewFor(1200, 207), 45.0F);
}

TEST(FieldOfViewFor, HalfTheDesignRatioDoublesTheAngle) {
  EXPECT_EQ(fieldOfViewFor(300, 207), 90.0F);
  EXPECT_EQ(fieldOfViewFor(600, 414), 90.0F);
}

TEST(FieldOfViewFor, TruncatesTheScaledHeight) {
  // 60000 / 207 = 289.86 is taken as 289 before scaling.
  EXPECT_EQ(fieldOfViewFor(100, 100), 130.05F);
}

TEST(FieldOfViewFor, VeryNarrowWindowsAreCappedAt160) {
  EXPECT_EQ(fieldOfViewFor(1, 207), 160.0F);
  EXPECT_EQ(fieldOfViewFor(1, 1000), 160.0F);
}

TEST(FieldOfViewFor, OnePixelSquareGives90) { EXPECT_EQ(fieldOfViewFor(1, 1), 90.0F); }
