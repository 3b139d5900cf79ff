// SPDX-License-Identifier: MIT
// Sectors, cone slopes and where the cone's edges meet the map square.
#include <gtest/gtest.h>

#include <cmath>

#include "map_panel.h"
#include "view_angles.h"

TEST(ViewSectorOf, BoundariesBelongToTheXSectors) {
  EXPECT_EQ(viewSectorOf(45.0F), ViewSector::PlusX);
  EXPECT_EQ(viewSectorOf(315.0F), ViewSector::PlusX);
  EXPECT_EQ(viewSectorOf(135.0F), ViewSector::MinusX);
  EXPECT_EQ(viewSectorOf(225.0F), ViewSector::MinusX);
}

TEST(ViewSectorOf, NeighboursOfTheBoundaries) {
  EXPECT_EQ(viewSectorOf(44.0F), ViewSector::PlusX);
  EXPECT_EQ(viewSectorOf(46.0F), ViewSector::PlusY);
  EXPECT_EQ(viewSectorOf(134.0F), ViewSector::PlusY);
  EXPECT_EQ(viewSectorOf(136.0F), ViewSector::MinusX);
  EXPECT_EQ(viewSectorOf(224.0F), ViewSector::MinusX);
  EXPECT_EQ(viewSectorOf(226.0F), ViewSector::MinusY);
  EXPECT_EQ(viewSectorOf(314.0F), ViewSector::MinusY);
  EXPECT_EQ(viewSectorOf(316.0F), ViewSector::PlusX);
}

TEST(ViewSectorOf, RawAnglesOutsideOneTurnAreNotWrapped) {
  EXPECT_EQ(viewSectorOf(-30.0F), ViewSector::PlusX);
  EXPECT_EQ(viewSectorOf(385.0F), ViewSector::PlusX);
  EXPECT_EQ(viewSectorOf(375.0F), ViewSector::PlusX);
}

TEST(EdgeAngles, AreThirtyDegreesEitherSideAndUnwrapped) {
  EXPECT_EQ(plusEdgeAngle(355.0F), 385.0F);
  EXPECT_EQ(minusEdgeAngle(0.0F), -30.0F);
}

namespace {
struct EdgeCase {
  float view;
  MapPoint plus;
  MapPoint minus;
};

MapPoint plusEnd(float view) {
  const ConeSlopes s = coneSlopesFor(view);
  return edgeEndpoint(plusEdgeAngle(view), s.tanPlus, s.cotPlus);
}

MapPoint minusEnd(float view) {
  const ConeSlopes s = coneSlopesFor(view);
  return edgeEndpoint(minusEdgeAngle(view), s.tanMinus, s.cotMinus);
}
}  // namespace

TEST(EdgeEndpoint, MatchesTheReferenceTable) {
  const EdgeCase cases[] = {
      {0, {50, 28}, {50, -28}},      {5, {50, 35}, {50, -23}},    {15, {50, 49}, {50, -13}},
      {30, {28, 50}, {50, 0}},       {45, {13, 50}, {50, 13}},    {90, {-28, 50}, {28, 50}},
      {105, {-50, 50}, {13, 50}},    {135, {-50, 13}, {-13, 50}}, {180, {-50, -28}, {-50, 28}},
      {225, {-13, -50}, {-50, -13}}, {240, {0, -50}, {-50, -28}}, {270, {28, -50}, {-28, -50}},
      {285, {50, -50}, {-13, -50}},  {315, {50, -13}, {13, -50}}, {330, {50, 0}, {28, -50}},
      {355, {50, 23}, {50, -35}},
  };
  for (const EdgeCase& c : cases) {
    const MapPoint p = plusEnd(c.view);
    const MapPoint m = minusEnd(c.view);
    EXPECT_EQ(p.x, c.plus.x) << "plus edge at " << c.view;
    EXPECT_EQ(p.y, c.plus.y) << "plus edge at " << c.view;
    EXPECT_EQ(m.x, c.minus.x) << "minus edge at " << c.view;
    EXPECT_EQ(m.y, c.minus.y) << "minus edge at " << c.view;
  }
}

TEST(EdgeEndpoint, FloatJustBelowFiftyTruncatesTo49) {
  const ConeSlopes s = coneSlopesFor(15.0F);
  EXPECT_LT(50.0F * s.tanPlus, 50.0F);
  EXPECT_EQ(plusEnd(15.0F).y, 49);
}

TEST(EdgeEndpoint, TinyNegativeTruncatesToZeroNotMinusOne) {
  const ConeSlopes s = coneSlopesFor(330.0F);
  EXPECT_LT(50.0F * s.tanPlus, 0.0F);
  EXPECT_EQ(plusEnd(330.0F).y, 0);
}

TEST(EdgeEndpoint, InfiniteSlopeAtThirtyIsNeverUsed) {
  const ConeSlopes s = coneSlopesFor(30.0F);
  EXPECT_TRUE(std::isinf(s.cotMinus));
  EXPECT_EQ(minusEnd(30.0F).x, 50);
  EXPECT_EQ(minusEnd(30.0F).y, 0);
}

TEST(EdgeEndpoint, PlusEdgesPastOneTurnMatchEdgesAtTheirWrappedAngles) {
  // The plus edges of 345 and 355 lie at 375 and 385; the minus edges of 45
  // and 55 lie at 15 and 25.
  EXPECT_EQ(plusEnd(345.0F).x, minusEnd(45.0F).x);
  EXPECT_EQ(plusEnd(345.0F).y, minusEnd(45.0F).y);
  EXPECT_EQ(plusEnd(355.0F).x, minusEnd(55.0F).x);
  EXPECT_EQ(plusEnd(355.0F).y, minusEnd(55.0F).y);
}

TEST(EdgeEndpoint, EveryReachableAngleEndsOnTheSquare) {
  for (const float view : reachableViewAngles()) {
    for (const MapPoint e : {plusEnd(view), minusEnd(view)}) {
      EXPECT_LE(std::abs(e.x), 50) << view;
      EXPECT_LE(std::abs(e.y), 50) << view;
      EXPECT_TRUE(std::abs(e.x) == 50 || std::abs(e.y) == 50) << view;
    }
  }
}
