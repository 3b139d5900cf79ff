// SPDX-License-Identifier: MIT
// The view-cone fill: one point per map unit between the cone's edges,
// scanned line by line away from the centre.
#pragma once

#include "map_panel.h"

constexpr float FILL_POINT_SIZE = 1.0F;  // pixels, one point per map unit

// The lines of one scan: i runs 0, step, 2 * step, ... and stops at end.
struct ScanPlan {
  int step;      // +1 or -1
  int end;       // first index not scanned
  bool acrossX;  // lines are rows of constant y, points are (j, i)
};

// One line's points run over j = lo ... hi - 1.
struct ScanLine {
  int lo;
  int hi;
};

ScanPlan scanPlanFor(ViewSector sector);
// Bounds of line i, truncated from the exact products and clamped to the square.
ScanLine scanLineBounds(ViewSector sector, int i, ConeSlopes slopes);
// Map position of point j on line i.
MapPoint scanPoint(ScanPlan plan, int i, int j);

// Third drawing step; draws in the transform drawMapPanel left current.
void fillViewCone(ConeSlopes slopes);
