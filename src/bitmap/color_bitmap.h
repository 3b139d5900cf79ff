// SPDX-License-Identifier: MIT
// The 100 x 100 table of intensities that shades the view-cone fill,
// generated once at start-up and read through a bounds-checked accessor.
#pragma once

constexpr int COLOR_BITMAP_SIZE = 100;  // cells, both rows and columns
// Cells per half period of the wave (a full period is 24 cells).
constexpr double COLOR_WAVE_CELLS_PER_PI = 12.0;

// Fills every cell; called once, before the first frame.
void initColorBitmap();
// The intensity of cell (row, col) in [0, 1], or 0 with a message on
// standard output for a position outside the table.
float colorBitmapAt(int row, int col);
