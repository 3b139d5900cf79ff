// The field of view a window shape gets, and the keys' effect on the angle.
#include <gtest/gtest.h>

#include <set>

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

TEST(RotationOf, OnlyTheFourRotationKeysTurn) {
  for (int key = 0; key < 256; ++key) {
    const float step = rotationOf(static_cast<unsigned char>(key));
    if (key == 'x' || key == 'X') {
      EXPECT_EQ(step, 5.0F) << key;
    } else if (key == 'z' || key == 'Z') {
      EXPECT_EQ(step, -5.0F) << key;
    } else {
      EXPECT_EQ(step, 0.0F) << key;
    }
  }
}

TEST(WrapViewAngle, BothEndsWrapIntoTheHalfOpenTurn) {
  EXPECT_EQ(wrapViewAngle(-5.0F), 355.0F);
  EXPECT_EQ(wrapViewAngle(360.0F), 0.0F);
  EXPECT_EQ(wrapViewAngle(0.0F), 0.0F);
  EXPECT_EQ(wrapViewAngle(355.0F), 355.0F);
}

TEST(WrapViewAngle, StepsFromEveryReachableAngleStayOnTheGrid) {
  std::set<float> grid;
  for (int k = 0; k < 72; ++k) {
    grid.insert(static_cast<float>(5 * k));
  }
  for (float a : grid) {
    EXPECT_EQ(grid.count(wrapViewAngle(a + 5.0F)), 1U) << a;
    EXPECT_EQ(grid.count(wrapViewAngle(a - 5.0F)), 1U) << a;
  }
}
