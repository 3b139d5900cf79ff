// SPDX-License-Identifier: MIT
// The reshape callback: viewport, projection, and the matrix left current.
#include <GL/glut.h>

#include <string>
#include <vector>

#include "call_stream.h"
#include "shell.h"

using Reshape = CallStreamTest;

TEST_F(Reshape, RebuildsViewportAndProjectionAndDrawsNothing) {
  onReshape(600, 207);
  EXPECT_EQ(glrec::names(),
            (std::vector<std::string>{"glViewport", "glMatrixMode", "glLoadIdentity",
                                      "gluPerspective", "glMatrixMode"}));
  EXPECT_EQ(glrec::named("glViewport").at(0).args, (std::vector<double>{0, 0, 600, 207}));
  EXPECT_EQ(glrec::calls()[1].args, std::vector<double>{GL_PROJECTION});
  EXPECT_EQ(glrec::calls()[4].args, std::vector<double>{GL_MODELVIEW});
  EXPECT_EQ(glrec::named("gluPerspective").at(0).args,
            (std::vector<double>{45.0, 600.0 / 207.0, 0.10000000149011612, 500.0}));
}

TEST_F(Reshape, NarrowWindowGetsTheWiderFloatFieldOfView) {
  onReshape(599, 207);
  const std::vector<double> p = glrec::named("gluPerspective").at(0).args;
  EXPECT_EQ(p.at(0), static_cast<double>(45.075127F));
  EXPECT_EQ(p.at(1), 599.0 / 207.0);
}

TEST_F(Reshape, ZeroSizeIsTreatedAsOnePixel) {
  onReshape(0, 0);
  EXPECT_EQ(glrec::named("glViewport").at(0).args, (std::vector<double>{0, 0, 1, 1}));
  const std::vector<double> p = glrec::named("gluPerspective").at(0).args;
  EXPECT_EQ(p.at(0), 90.0);
  EXPECT_EQ(p.at(1), 1.0);
}

TEST_F(Reshape, ZeroWidthAloneIsReplaced) {
  onReshape(0, 207);
  EXPECT_EQ(glrec::named("glViewport").at(0).args, (std::vector<double>{0, 0, 1, 207}));
  EXPECT_EQ(glrec::named("gluPerspective").at(0).args.at(0), 160.0);
}
