// SPDX-License-Identifier: MIT
// The lines and bounds of the view-cone scan.
#include <gtest/gtest.h>

#include "view_angles.h"
#include "view_cone.h"

namespace {
ScanLine lineAt(float view, int i) {
  return scanLineBounds(viewSectorOf(view), i, coneSlopesFor(view));
}
}  // namespace

TEST(ScanPlanFor, XSectorsScanColumnsYSectorsScanRows) {
  struct Case {
    ViewSector sector;
    int step;
    int end;
    bool acrossX;
  };
  const Case cases[] = {{ViewSector::PlusX, 1, 50, false},
                        {ViewSector::MinusX, -1, -50, false},
                        {ViewSector::PlusY, 1, 50, true},
                        {ViewSector::MinusY, -1, -50, true}};
  for (const Case& c : cases) {
    const ScanPlan plan = scanPlanFor(c.sector);
    EXPECT_EQ(plan.step, c.step) << static_cast<int>(c.sector);
    EXPECT_EQ(plan.end, c.end) << static_cast<int>(c.sector);
    EXPECT_EQ(plan.acrossX, c.acrossX) << static_cast<int>(c.sector);
  }
}

TEST(ScanPoint, RowScansSwapTheIndices) {
  EXPECT_EQ(scanPoint(scanPlanFor(ViewSector::PlusX), 3, -2).x, 3);
  EXPECT_EQ(scanPoint(scanPlanFor(ViewSector::PlusX), 3, -2).y, -2);
  EXPECT_EQ(scanPoint(scanPlanFor(ViewSector::MinusY), 3, -2).x, -2);
  EXPECT_EQ(scanPoint(scanPlanFor(ViewSector::MinusY), 3, -2).y, 3);
}

TEST(ScanLineBounds, LineZeroIsEmptyForEveryAngle) {
  for (const float view : reachableViewAngles()) {
    const ScanLine line = lineAt(view, 0);
    EXPECT_EQ(line.lo, 0) << view;
    EXPECT_EQ(line.hi, 0) << view;
  }
}

TEST(ScanLineBounds, StraightAheadWidensWithDistance) {
  EXPECT_EQ(lineAt(0.0F, 1).lo, 0);
  EXPECT_EQ(lineAt(0.0F, 1).hi, 0);
  EXPECT_EQ(lineAt(0.0F, 2).lo, -1);
  EXPECT_EQ(lineAt(0.0F, 2).hi, 1);
  EXPECT_EQ(lineAt(0.0F, 10).lo, -5);
  EXPECT_EQ(lineAt(0.0F, 10).hi, 5);
  EXPECT_EQ(lineAt(0.0F, 49).lo, -28);
  EXPECT_EQ(lineAt(0.0F, 49).hi, 28);
}

TEST(ScanLineBounds, SteepEdgeIsHeldAtTheSquareFromLine14) {
  // At 45 the plus edge's slope is about 3.73: 13 lines stay inside.
  EXPECT_LT(lineAt(45.0F, 13).hi, 50);
  for (int i = 14; i < 50; ++i) {
    EXPECT_EQ(lineAt(45.0F, i).hi, 50) << i;
  }
}

TEST(ScanLineBounds, LowerBoundIsHeldOneInsideTheSquare) {
  // At 315 and 225 one edge is steep: lo is clamped at -49.
  EXPECT_EQ(lineAt(315.0F, 49).lo, -49);
  EXPECT_EQ(lineAt(225.0F, -49).lo, -49);
}

TEST(ScanLineBounds, NoReachableAngleLeavesTheSquare) {
  for (const float view : reachableViewAngles()) {
    const ScanPlan plan = scanPlanFor(viewSectorOf(view));
    for (int i = 0; i != plan.end; i += plan.step) {
      const ScanLine line = lineAt(view, i);
      EXPECT_GE(line.lo, -49) << view << " line " << i;
      EXPECT_LE(line.hi, 50) << view << " line " << i;
    }
  }
}
