// SPDX-License-Identifier: MIT
// The colour table's values and its bounds-checked read.
#include <gtest/gtest.h>

#include <string>

#include "bitmap/color_bitmap.h"

class ColorBitmap : public testing::Test {
 protected:
  void SetUp() override { initColorBitmap(); }
};

TEST_F(ColorBitmap, CellsRoundTheWaveOnceToFloat) {
  const struct {
    int row;
    int col;
    float value;
  } cases[] = {
      {0, 0, 0.75F}, {0, 12, 0.25F}, {6, 0, 1.0F}, {50, 50, 0.8415061F}, {99, 99, 0.8535534F},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(colorBitmapAt(c.row, c.col), c.value) << c.row << "," << c.col;
  }
  // With the true pi, sin(18 pi / 12) + cos(12 pi / 12) would be exactly -2.
  EXPECT_GT(colorBitmapAt(18, 12), 0.0F);
  EXPECT_LT(colorBitmapAt(18, 12), 1e-12F);
}

TEST_F(ColorBitmap, ReadsOutsideReportBothPositionsAndGiveZero) {
  const struct {
    int row;
    int col;
  } cases[] = {{-1, 5}, {100, 0}, {0, 100}, {0, -1}, {-7, 200}};
  for (const auto& c : cases) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(colorBitmapAt(c.row, c.col), 0.0F);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: try access outside color bitmap. Position: (" + std::to_string(c.row) + ", " +
                  std::to_string(c.col) + ")\n");
  }
}
