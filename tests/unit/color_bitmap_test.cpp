// SPDX-License-Identifier: MIT
// The colour table's values and its bounds-checked read.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "color_bitmap.h"

TEST(ColorCellValue, ZeroPhaseAndQuarterPeriodsAreExact) {
  EXPECT_EQ(colorCellValue(0, 0), 0.75F);
  EXPECT_EQ(colorCellValue(0, 12), 0.25F);
  EXPECT_EQ(colorCellValue(6, 0), 1.0F);
}

TEST(ColorCellValue, ApproximatePiLeavesATinyPositiveMinimum) {
  // sin(18 pi/12) + cos(12 pi/12) would be exactly -2 with the true pi.
  const float v = colorCellValue(18, 12);
  EXPECT_GT(v, 0.0F);
  EXPECT_LT(v, 1e-12F);
}

TEST(ColorCellValue, InteriorAndFarCornerRoundOnceToFloat) {
  EXPECT_EQ(colorCellValue(50, 50), 0.8415061F);
  EXPECT_EQ(colorCellValue(99, 99), 0.8535534F);
}

TEST(ColorBitmap, EveryCellLiesInUnitRangeAfterInit) {
  initColorBitmap();
  testing::internal::CaptureStdout();
  for (int row = 0; row < COLOR_BITMAP_SIZE; ++row) {
    for (int col = 0; col < COLOR_BITMAP_SIZE; ++col) {
      const float v = colorBitmapAt(row, col);
      ASSERT_GE(v, 0.0F) << row << "," << col;
      ASSERT_LE(v, 1.0F) << row << "," << col;
      ASSERT_EQ(v, colorCellValue(row, col)) << row << "," << col;
    }
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(ColorBitmapAt, CornersReadWithoutMessage) {
  initColorBitmap();
  testing::internal::CaptureStdout();
  EXPECT_EQ(colorBitmapAt(0, 0), 0.75F);
  EXPECT_EQ(colorBitmapAt(99, 99), 0.8535534F);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(ColorBitmapAt, OutsideReadsReportBothPositionsAndGiveZero) {
  initColorBitmap();
  struct Case {
    int row;
    int col;
    const char* message;
  };
  const Case cases[] = {
      {-1, 5, "Error: try access outside color bitmap. Position: (-1, 5)\n"},
      {100, 0, "Error: try access outside color bitmap. Position: (100, 0)\n"},
      {0, 100, "Error: try access outside color bitmap. Position: (0, 100)\n"},
      {0, -1, "Error: try access outside color bitmap. Position: (0, -1)\n"},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStdout();
    const float v = colorBitmapAt(c.row, c.col);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
    EXPECT_EQ(v, 0.0F);
  }
}
