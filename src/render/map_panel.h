// SPDX-License-Identifier: MIT
// The top-down map panel: axes, square and the two edges of the view cone,
// and the sector and slope computations that the cone fill shares.
#pragma once

constexpr int MAP_SIZE_X = 100;           // map units, horizontal extent of the panel's axes
constexpr int MAP_SIZE_Y = 100;           // map units, vertical extent of the panel's axes
constexpr double VIEW_CONE_ANGLE = 60.0;  // degrees between the cone's two edges

// Half extents of the square, map units, truncated toward zero; the negative
// ones are halves of the negated extents, not negated halves.
constexpr int MAP_HALF_X = MAP_SIZE_X / 2;
constexpr int MAP_HALF_Y = MAP_SIZE_Y / 2;
constexpr int MAP_NEG_HALF_X = (-MAP_SIZE_X) / 2;
constexpr int MAP_NEG_HALF_Y = (-MAP_SIZE_Y) / 2;

// Where the panel sits in eye space, in modelview units.
constexpr float MAP_OFFSET_X = -220.0F;
constexpr float MAP_OFFSET_Z = -250.0F;

constexpr float MAP_GREY = 0.5F;  // intensity of the axes and the square

// Slopes of the cone's edges: the plus edge lies at viewAngle + 30 degrees,
// the minus edge at viewAngle - 30. tan = sin / cos, cot = cos / sin; one of
// them may be infinite, and the scans never read that one.
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

// Classifies a raw angle in degrees, not wrapped first (from -30 to 385).
// 45 and 315 face +x; 135 and 225 face -x.
ViewSector viewSectorOf(float a);

// Angles of the two cone edges, degrees, left unwrapped.
float plusEdgeAngle(float view);
float minusEdgeAngle(float view);

// The slopes of the cone around `view`, rounded to float as a frame uses them.
ConeSlopes coneSlopesFor(float view);

// Where the edge at `edgeAngle`, with that edge's own tan and cot, meets the
// map square; the float coordinate is truncated toward zero.
MapPoint edgeEndpoint(float edgeAngle, float tan, float cot);

// Second drawing step. Leaves the panel's transform current for the fill and
// returns this frame's slopes.
ConeSlopes drawMapPanel();
