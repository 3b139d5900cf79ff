// SPDX-License-Identifier: MIT
// Fills the view cone on the map panel with yellow from the colour table.
#include "view_cone.h"

#include <GL/glut.h>

#include "color_bitmap.h"
#include "view_state.h"

ScanPlan scanPlanFor(ViewSector sector) {
  switch (sector) {
    case ViewSector::PlusX:
      return ScanPlan{1, MAP_HALF_X, false};
    case ViewSector::MinusX:
      return ScanPlan{-1, MAP_NEG_HALF_X, false};
    case ViewSector::PlusY:
      return ScanPlan{1, MAP_HALF_Y, true};
    case ViewSector::MinusY:
    default:
      return ScanPlan{-1, MAP_NEG_HALF_Y, true};
  }
}

// The product is exact in double; truncation toward zero follows.
static int truncatedProduct(int i, float slope) {
  return static_cast<int>(static_cast<double>(i) * static_cast<double>(slope));
}

static ScanLine clampedLine(int lo, int hi, int half, int negHalf) {
  // The lower bound stays one unit inside the square's edge, so no read
  // reaches row or column 0 of the table.
  const int lowest = negHalf + 1;
  return ScanLine{lo < lowest ? lowest : lo, hi > half ? half : hi};
}

ScanLine scanLineBounds(ViewSector sector, int i, ConeSlopes slopes) {
  switch (sector) {
    case ViewSector::PlusX:
      return clampedLine(truncatedProduct(i, slopes.tanMinus), truncatedProduct(i, slopes.tanPlus),
                         MAP_HALF_Y, MAP_NEG_HALF_Y);
    case ViewSector::MinusX:
      return clampedLine(truncatedProduct(i, slopes.tanPlus), truncatedProduct(i, slopes.tanMinus),
                         MAP_HALF_Y, MAP_NEG_HALF_Y);
    case ViewSector::PlusY:
      return clampedLine(truncatedProduct(i, slopes.cotPlus), truncatedProduct(i, slopes.cotMinus),
                         MAP_HALF_X, MAP_NEG_HALF_X);
    case ViewSector::MinusY:
    default:
      return clampedLine(truncatedProduct(i, slopes.cotMinus), truncatedProduct(i, slopes.cotPlus),
                         MAP_HALF_X, MAP_NEG_HALF_X);
  }
}

MapPoint scanPoint(ScanPlan plan, int i, int j) {
  return plan.acrossX ? MapPoint{j, i} : MapPoint{i, j};
}

void fillViewCone(ConeSlopes slopes) {
  glPointSize(FILL_POINT_SIZE);
  // The scan follows the sector of the view itself, not of either edge.
  const ViewSector sector = viewSectorOf(viewAngle);
  const ScanPlan plan = scanPlanFor(sector);
  for (int i = 0; i != plan.end; i += plan.step) {
    const ScanLine line = scanLineBounds(sector, i, slopes);
    glBegin(GL_POINTS);
    for (int j = line.lo; j < line.hi; ++j) {
      const MapPoint p = scanPoint(plan, i, j);
      const float v = colorBitmapAt(MAP_HALF_X + p.x, MAP_HALF_Y + p.y);
      glColor3f(v, v, 0.0F);
      glVertex2i(p.x, p.y);
    }
    glEnd();
  }
}
