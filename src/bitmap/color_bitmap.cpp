// SPDX-License-Identifier: MIT
// The colour table: a sine along the rows plus a cosine along the columns.
#include "bitmap/color_bitmap.h"

#include <math.h>  // the C library's sin and cos, in double
#include <cstdio>

#include "app/view_state.h"

// Row-major intensities in [0, 1]; all zero until initColorBitmap runs.
static float colorBitmap[COLOR_BITMAP_SIZE * COLOR_BITMAP_SIZE];

static float colorCellValue(int row, int col) {
  // Kept in double throughout and rounded once, so every cell is the float
  // nearest to the exact wave value.
  const double rowPhase = row * PI_APPROX / COLOR_WAVE_CELLS_PER_PI;
  const double colPhase = col * PI_APPROX / COLOR_WAVE_CELLS_PER_PI;
  return static_cast<float>((sin(rowPhase) + cos(colPhase)) / 4.0 + 0.5);
}

void initColorBitmap() {
  for (int row = 0; row < COLOR_BITMAP_SIZE; ++row) {
    for (int col = 0; col < COLOR_BITMAP_SIZE; ++col) {
      colorBitmap[row * COLOR_BITMAP_SIZE + col] = colorCellValue(row, col);
    }
  }
}

float colorBitmapAt(int row, int col) {
  if (row < 0 || row >= COLOR_BITMAP_SIZE || col < 0 || col >= COLOR_BITMAP_SIZE) {
    printf("Error: try access outside color bitmap. Position: (%d, %d)\n", row, col);
    return 0.0F;
  }
  return colorBitmap[row * COLOR_BITMAP_SIZE + col];
}
