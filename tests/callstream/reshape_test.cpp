// SPDX-License-Identifier: MIT
// The reshape callback: viewport, projection, and the matrix left current.
#include <GL/glut.h>

#include <string>
#include <vector>

#include "app/shell.h"
#include "support/call_stream.h"

using Reshape = CallStreamTest;

TEST_F(Reshape, SetsTheViewportAndAFieldOfViewForTheShapeAndDrawsNothing) {
  const struct {
    int width;
    int height;
    double viewportWidth;
    double viewportHeight;
    float fovy;
    double aspect;
  } cases[] = {
      // Independent expectations, worked out by hand from the rule, not from shell.h.
      {600, 207, 600, 207, 45.0F, 600.0 / 207.0},       // the design shape
      {599, 207, 599, 207, 45.075127F, 599.0 / 207.0},  // a pixel narrower widens the view
      {601, 207, 601, 207, 45.0F, 601.0 / 207.0},       // wider shapes keep 45
      {1200, 207, 1200, 207, 45.0F, 1200.0 / 207.0},
      {300, 207, 300, 207, 90.0F, 300.0 / 207.0},  // half the ratio, twice the angle
      {600, 414, 600, 414, 90.0F, 600.0 / 414.0},
      {100, 100, 100, 100, 130.05F, 1.0},     // 60000 / 207 truncates to 289
      {1, 207, 1, 207, 160.0F, 1.0 / 207.0},  // capped
      {1, 1, 1, 1, 90.0F, 1.0},
      {0, 0, 1, 1, 90.0F, 1.0},  // zero sizes count as one pixel
      {0, 207, 1, 207, 160.0F, 1.0 / 207.0},
      {207, 0, 207, 1, 45.0F, 207.0},
  };
  for (const auto& c : cases) {
    glrec::reset();
    onReshape(c.width, c.height);
    const std::vector<GlCall> expected = {
        {"glViewport", {0, 0, c.viewportWidth, c.viewportHeight}, ""},
        {"glMatrixMode", {GL_PROJECTION}, ""},
        {"glLoadIdentity", {}, ""},
        {"gluPerspective", {c.fovy, c.aspect, 0.10000000149011612, 500.0}, ""},
        {"glMatrixMode", {GL_MODELVIEW}, ""},
    };
    EXPECT_EQ(glrec::calls(), expected) << c.width << " x " << c.height;
  }
}
