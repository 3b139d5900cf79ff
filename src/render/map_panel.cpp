// SPDX-License-Identifier: MIT
// Computes the view cone's slopes and where its edges reach the map square,
// and draws the map panel.
#include "render/map_panel.h"

#include <GL/glut.h>

#include <math.h>  // the C library's sin and cos, in double

#include "app/view_state.h"
#include "render/scene.h"

ViewSector viewSectorOf(float a) {
  if (a <= 45.0F || a >= 315.0F) {
    return ViewSector::PlusX;
  }
  if (a >= 135.0F && a <= 225.0F) {
    return ViewSector::MinusX;
  }
  return a < 135.0F ? ViewSector::PlusY : ViewSector::MinusY;
}

// The edges' angles are left unwrapped: from -30 to 385 degrees.
static float plusEdgeAngle(float view) { return static_cast<float>(view + VIEW_CONE_ANGLE / 2); }

static float minusEdgeAngle(float view) { return static_cast<float>(view - VIEW_CONE_ANGLE / 2); }

static float toRadians(float degrees) { return static_cast<float>(degrees * PI_APPROX / 180.0); }

// Every sine, cosine and quotient is rounded to float as a frame uses it.
static ConeSlopes coneSlopesFor(float anglePlus, float angleMinus) {
  const float radPlus = toRadians(anglePlus);
  const float radMinus = toRadians(angleMinus);
  const float cosPlus = static_cast<float>(cos(static_cast<double>(radPlus)));
  const float sinPlus = static_cast<float>(sin(static_cast<double>(radPlus)));
  const float cosMinus = static_cast<float>(cos(static_cast<double>(radMinus)));
  const float sinMinus = static_cast<float>(sin(static_cast<double>(radMinus)));
  return ConeSlopes{sinPlus / cosPlus, sinMinus / cosMinus, cosPlus / sinPlus, cosMinus / sinMinus};
}

// Where the edge at `edgeAngle`, with that edge's own tan and cot, meets the
// map square. Each product is held as a float before it is truncated toward
// zero: at 15 degrees the float 49.99998 must give 49.
static MapPoint edgeEndpoint(float edgeAngle, float tan, float cot) {
  switch (viewSectorOf(edgeAngle)) {
    case ViewSector::PlusX:
      return MapPoint{MAP_HALF_X, static_cast<int>(static_cast<float>(MAP_HALF_Y) * tan)};
    case ViewSector::MinusX:
      return MapPoint{-MAP_HALF_X, static_cast<int>(static_cast<float>(-MAP_HALF_Y) * tan)};
    case ViewSector::PlusY:
      return MapPoint{static_cast<int>(static_cast<float>(MAP_HALF_X) * cot), MAP_HALF_Y};
    case ViewSector::MinusY:
      return MapPoint{static_cast<int>(static_cast<float>(-MAP_HALF_X) * cot), -MAP_HALF_Y};
  }
  return MapPoint{0, 0};  // not reached: every sector returns above
}

ViewCone viewConeFor(float view) {
  const float anglePlus = plusEdgeAngle(view);
  const float angleMinus = minusEdgeAngle(view);
  const ConeSlopes slopes = coneSlopesFor(anglePlus, angleMinus);
  return ViewCone{slopes, edgeEndpoint(anglePlus, slopes.tanPlus, slopes.cotPlus),
                  edgeEndpoint(angleMinus, slopes.tanMinus, slopes.cotMinus)};
}

static void drawConeEdge(MapPoint end) {
  glBegin(GL_LINES);
  glVertex2i(0, 0);
  glVertex2i(end.x, end.y);
  glEnd();
}

void drawMapPanel(const ViewCone& cone) {
  glLoadIdentity();
  glTranslatef(MAP_OFFSET_X, 0.0F, -EYE_DISTANCE);
  // Map y grows the other way from screen y.
  glScalef(1.0F, -1.0F, 1.0F);

  glColor3f(MAP_GREY, MAP_GREY, MAP_GREY);
  glBegin(GL_LINES);
  glVertex2i(0, MAP_SIZE_Y);
  glVertex2i(0, -MAP_SIZE_Y);
  glVertex2i(-MAP_SIZE_X, 0);
  glVertex2i(MAP_SIZE_X, 0);
  glEnd();

  glBegin(GL_LINE_STRIP);
  glVertex2i(-MAP_HALF_X, MAP_HALF_Y);
  glVertex2i(MAP_HALF_X, MAP_HALF_Y);
  glVertex2i(MAP_HALF_X, -MAP_HALF_Y);
  glVertex2i(-MAP_HALF_X, -MAP_HALF_Y);
  glVertex2i(-MAP_HALF_X, MAP_HALF_Y);
  glEnd();

  glColor3f(1.0F, 1.0F, 1.0F);
  drawConeEdge(cone.plusEnd);
  drawConeEdge(cone.minusEnd);
}
