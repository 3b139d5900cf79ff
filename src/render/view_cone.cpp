// SPDX-License-Identifier: MIT
// Fills the view cone on the map panel with yellow from the colour table.
#include "render/view_cone.h"

#include <GL/glut.h>

#include "app/view_state.h"
#include "bitmap/color_bitmap.h"

// The member of ConeSlopes that bounds a scan line on one side.
using SlopeMember = float ConeSlopes::*;

// How the cone of one view sector is scanned: line i runs 0, step, 2 * step,
// ... up to end (excluded), and on each line j runs from the lower slope's
// bound to the upper one's.
struct SectorScan {
  int step;           // +1 or -1
  int end;            // first line index not scanned
  bool acrossX;       // lines are rows of constant y: point (j, i), else (i, j)
  SlopeMember lower;  // the slope that bounds j from below
  SlopeMember upper;  // the slope that bounds j from above
};

// One row per ViewSector, in the order the enum declares them.
static const SectorScan SECTOR_SCANS[] = {
    {1, MAP_HALF_X, false, &ConeSlopes::tanMinus, &ConeSlopes::tanPlus},    // PlusX
    {-1, -MAP_HALF_X, false, &ConeSlopes::tanPlus, &ConeSlopes::tanMinus},  // MinusX
    {1, MAP_HALF_Y, true, &ConeSlopes::cotPlus, &ConeSlopes::cotMinus},     // PlusY
    {-1, -MAP_HALF_Y, true, &ConeSlopes::cotMinus, &ConeSlopes::cotPlus},   // MinusY
};

// The product is exact in double; truncation toward zero follows.
static int truncatedProduct(int i, float slope) {
  return static_cast<int>(static_cast<double>(i) * static_cast<double>(slope));
}

// The points of one line run over j = lo ... hi - 1.
struct ScanLine {
  int lo;
  int hi;
};

// Bounds truncated from the exact products, then held inside the square.
static ScanLine scanLineOf(const SectorScan& scan, int i, ConeSlopes slopes) {
  const int half = scan.acrossX ? MAP_HALF_X : MAP_HALF_Y;  // j's extent on this line
  // The lower bound stays one unit inside the square's edge, so no read
  // reaches row or column 0 of the table.
  const int lo = truncatedProduct(i, slopes.*scan.lower);
  const int hi = truncatedProduct(i, slopes.*scan.upper);
  return ScanLine{lo < -half + 1 ? -half + 1 : lo, hi > half ? half : hi};
}

void fillViewCone(ConeSlopes slopes) {
  glPointSize(FILL_POINT_SIZE);
  // The scan follows the sector of the view itself, not of either edge.
  const SectorScan& scan = SECTOR_SCANS[static_cast<int>(viewSectorOf(viewAngle))];
  for (int i = 0; i != scan.end; i += scan.step) {
    const ScanLine line = scanLineOf(scan, i, slopes);
    glBegin(GL_POINTS);
    for (int j = line.lo; j < line.hi; ++j) {
      const int x = scan.acrossX ? j : i;
      const int y = scan.acrossX ? i : j;
      const float v = colorBitmapAt(MAP_HALF_X + x, MAP_HALF_Y + y);
      glColor3f(v, v, 0.0F);
      glVertex2i(x, y);
    }
    glEnd();
  }
}
