// SPDX-License-Identifier: MIT
// The top-down map panel: axes, square and the two edges of the view cone;
// the cone's geometry, and the sector test and map constants that the cone
// fill shares.
#pragma once

constexpr int MAP_SIZE_X = 100;           // map units, horizontal extent of the panel's axes
constexpr int MAP_SIZE_Y = 100;           // map units, vertical extent of the panel's axes
constexpr double VIEW_CONE_ANGLE = 60.0;  // degrees between the cone's two edges

// Half extents of the square, map units. Integer division truncates toward
// zero, so halving a negated extent is the same as negating its half.
constexpr int MAP_HALF_X = MAP_SIZE_X / 2;
constexpr int MAP_HALF_Y = MAP_SIZE_Y / 2;
static_assert((-MAP_SIZE_X) / 2 == -MAP_HALF_X && (-MAP_SIZE_Y) / 2 == -MAP_HALF_Y);

// x of the panel's centre in modelview units: 220 left of the floor's centre.
constexpr float MAP_OFFSET_X = -220.0F;

constexpr float MAP_GREY = 0.5F;  // intensity of the axes and the square

// Slopes of the cone's edges: the plus edge lies at viewAngle + 30 degrees,
// the minus edge at viewAngle - 30. tan = sin / cos, cot = cos / sin; one of
// them may be infinite, and nothing reads that one.
struct ConeSlopes {
  float tanPlus;
  float tanMinus;
  float cotPlus;
  float cotMinus;
};

// The side of the map square an angle faces.
enum class ViewSector { PlusX, MinusX, PlusY, MinusY };

// A position in the map panel's own frame, map units.
struct MapPoint {
  int x;
  int y;
};

// The view cone of one frame: the slopes of its edges, which the fill scans
// by, and where each edge meets the map square.
struct ViewCone {
  ConeSlopes slopes;
  MapPoint plusEnd;
  MapPoint minusEnd;
};

// Classifies a raw angle in degrees, not wrapped first (from -30 to 385).
// 45 and 315 face +x; 135 and 225 face -x.
ViewSector viewSectorOf(float a);

// The cone centred on the view angle `view`, in degrees.
ViewCone viewConeFor(float view);

// Second drawing step. Leaves the panel's transform current for the fill.
void drawMapPanel(const ViewCone& cone);
