// SPDX-License-Identifier: MIT
// One frame's call stream: its order, the floor, the map panel and the fill.
#include <GL/glut.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "call_stream.h"
#include "color_bitmap.h"
#include "scene.h"
#include "view_angles.h"
#include "view_state.h"

namespace {
using Vertices = std::vector<std::vector<double>>;

class Frame : public CallStreamTest {
 protected:
  void SetUp() override {
    CallStreamTest::SetUp();
    initColorBitmap();
  }
  // Draws one frame at `angle` and returns what stdout received meanwhile.
  std::string drawAt(float angle) {
    glrec::reset();
    viewAngle = angle;
    testing::internal::CaptureStdout();
    drawScene();
    return testing::internal::GetCapturedStdout();
  }
};

int pointsInFrame() {
  int n = 0;
  for (const Vertices& line : glrec::primitives(GL_POINTS)) {
    n += static_cast<int>(line.size());
  }
  return n;
}
}  // namespace

TEST_F(Frame, ClearsThenDrawsThenSwapsThenChecksOnce) {
  drawAt(0.0F);
  const std::vector<GlCall>& calls = glrec::calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front().fn, "glClear");
  EXPECT_EQ(calls.front().args, std::vector<double>{GL_COLOR_BUFFER_BIT});
  EXPECT_EQ(calls.back().fn, "glGetError");
  EXPECT_EQ(calls[calls.size() - 2].fn, "glutSwapBuffers");
  EXPECT_EQ(glrec::count("glGetError"), 1);
  EXPECT_EQ(glrec::count("glutSwapBuffers"), 1);
}

TEST_F(Frame, OnlyTheFloorAndThePanelLoadAMatrix) {
  drawAt(0.0F);
  EXPECT_EQ(glrec::count("glLoadIdentity"), 2);
  EXPECT_EQ(glrec::count("glMatrixMode"), 0);
  // The fill follows the panel's transform: no matrix call after the scale.
  const int scale = glrec::indexOf("glScalef");
  const int points = glrec::indexOf("glPointSize");
  ASSERT_GE(scale, 0);
  ASSERT_GT(points, scale);
  EXPECT_EQ(glrec::indexOf("glLoadIdentity", scale), -1);
  EXPECT_EQ(glrec::indexOf("glTranslatef", scale), -1);
}

TEST_F(Frame, FloorIsSixStripsOfTwelveVerticesRightEdgeFirst) {
  drawAt(0.0F);
  const std::vector<Vertices> strips = glrec::primitives(GL_TRIANGLE_STRIP);
  ASSERT_EQ(strips.size(), 6U);
  const float xs[] = {-100, -50, 0, 50, 100, 150};
  const float zs[] = {-150, -100, -50, 0, 50, 100};
  for (size_t s = 0; s < strips.size(); ++s) {
    ASSERT_EQ(strips[s].size(), 12U);
    for (size_t k = 0; k < 6; ++k) {
      EXPECT_EQ(strips[s][2 * k], (std::vector<double>{xs[s], -60, zs[k]})) << s << "," << k;
      EXPECT_EQ(strips[s][2 * k + 1], (std::vector<double>{xs[s] - 50, -60, zs[k]}))
          << s << "," << k;
    }
  }
}

TEST_F(Frame, FloorColoursAlternateStartingDark) {
  drawAt(0.0F);
  // The floor's colours are the first six; the panel's follow.
  const std::vector<GlCall> colours = glrec::named("glColor3f");
  ASSERT_GE(colours.size(), 6U);
  const std::vector<double> dark = {0.4F, 0.2F, 0.2F};
  const std::vector<double> light = {0.4F, 1.0F, 1.0F};
  for (size_t s = 0; s < 6; ++s) {
    EXPECT_EQ(colours[s].args, s % 2 == 0 ? dark : light) << s;
  }
}

TEST_F(Frame, ViewAngleTurnsTheFloorAndNothingElseOfIt) {
  drawAt(0.0F);
  const std::vector<Vertices> at0 = glrec::primitives(GL_TRIANGLE_STRIP);
  EXPECT_EQ(glrec::named("glTranslatef").at(0).args, (std::vector<double>{0, 0, -250}));
  EXPECT_EQ(glrec::named("glRotatef").at(0).args, (std::vector<double>{0, 0, 1, 0}));
  drawAt(90.0F);
  EXPECT_EQ(glrec::named("glRotatef").at(0).args, (std::vector<double>{90, 0, 1, 0}));
  EXPECT_EQ(glrec::primitives(GL_TRIANGLE_STRIP), at0);
}

TEST_F(Frame, PanelSitsLeftOfTheFloorWithItsYMirrored) {
  drawAt(0.0F);
  EXPECT_EQ(glrec::named("glTranslatef").at(1).args, (std::vector<double>{-220, 0, -250}));
  EXPECT_EQ(glrec::named("glScalef").at(0).args, (std::vector<double>{1, -1, 1}));
}

TEST_F(Frame, PanelDrawsGreyAxesAndSquareThenWhiteEdges) {
  drawAt(0.0F);
  const std::vector<Vertices> lines = glrec::primitives(GL_LINES);
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[0], (Vertices{{0, 100}, {0, -100}, {-100, 0}, {100, 0}}));
  EXPECT_EQ(lines[1], (Vertices{{0, 0}, {50, 28}}));
  EXPECT_EQ(lines[2], (Vertices{{0, 0}, {50, -28}}));
  const std::vector<Vertices> square = glrec::primitives(GL_LINE_STRIP);
  ASSERT_EQ(square.size(), 1U);
  EXPECT_EQ(square[0], (Vertices{{-50, 50}, {50, 50}, {50, -50}, {-50, -50}, {-50, 50}}));
  const std::vector<GlCall> colours = glrec::named("glColor3f");
  EXPECT_EQ(colours.at(6).args, (std::vector<double>{0.5, 0.5, 0.5}));
  EXPECT_EQ(colours.at(7).args, (std::vector<double>{1, 1, 1}));
}

TEST_F(Frame, EdgesFollowTheAngle) {
  drawAt(105.0F);
  const std::vector<Vertices> lines = glrec::primitives(GL_LINES);
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[1], (Vertices{{0, 0}, {-50, 50}}));
  EXPECT_EQ(lines[2], (Vertices{{0, 0}, {13, 50}}));
}

TEST_F(Frame, FillHasOnePointListPerLineEvenWhenEmpty) {
  for (float angle : {0.0F, 45.0F, 50.0F, 180.0F, 230.0F}) {
    drawAt(angle);
    const std::vector<Vertices> lines = glrec::primitives(GL_POINTS);
    ASSERT_EQ(lines.size(), 49U + 1U) << angle;
    EXPECT_TRUE(lines[0].empty()) << angle;
    EXPECT_EQ(glrec::named("glPointSize").at(0).args, std::vector<double>{1.0});
  }
}

TEST_F(Frame, PointsPerFrameForReferenceAngles) {
  const std::map<float, int> expected = {
      {0, 1366},  {90, 1366},  {180, 1366}, {270, 1366}, {5, 1380},   {355, 1380}, {30, 1739},
      {45, 1829}, {135, 1829}, {50, 1818},  {225, 1793}, {315, 1793}, {230, 1787},
  };
  for (const auto& [angle, points] : expected) {
    drawAt(angle);
    EXPECT_EQ(pointsInFrame(), points) << "at " << angle;
  }
}

TEST_F(Frame, StraightAheadReadsTheExpectedRowsAndColumns) {
  drawAt(0.0F);
  const std::vector<Vertices> lines = glrec::primitives(GL_POINTS);
  EXPECT_EQ(lines[1].size(), 0U);
  EXPECT_EQ(lines[2], (Vertices{{2, -1}, {2, 0}}));
  EXPECT_EQ(lines[10].front(), (std::vector<double>{10, -5}));
  EXPECT_EQ(lines[10].back(), (std::vector<double>{10, 4}));
  EXPECT_EQ(lines[49].front(), (std::vector<double>{49, -28}));
  EXPECT_EQ(lines[49].back(), (std::vector<double>{49, 27}));
  int minRow = 100, maxRow = -1, minCol = 100, maxCol = -1;
  for (const Vertices& line : lines) {
    for (const std::vector<double>& p : line) {
      minRow = std::min(minRow, 50 + static_cast<int>(p[0]));
      maxRow = std::max(maxRow, 50 + static_cast<int>(p[0]));
      minCol = std::min(minCol, 50 + static_cast<int>(p[1]));
      maxCol = std::max(maxCol, 50 + static_cast<int>(p[1]));
    }
  }
  EXPECT_EQ(minRow, 52);
  EXPECT_EQ(maxRow, 99);
  EXPECT_EQ(minCol, 22);
  EXPECT_EQ(maxCol, 77);
}

TEST_F(Frame, EachPointIsYellowFromItsTableCell) {
  drawAt(230.0F);
  const std::vector<GlCall>& calls = glrec::calls();
  const int fill = glrec::indexOf("glPointSize");
  int checked = 0;
  for (size_t k = static_cast<size_t>(fill); k < calls.size(); ++k) {
    if (calls[k].fn != "glVertex2i") {
      continue;
    }
    const GlCall& colour = calls[k - 1];
    ASSERT_EQ(colour.fn, "glColor3f");
    const int x = static_cast<int>(calls[k].args[0]);
    const int y = static_cast<int>(calls[k].args[1]);
    const double v = colorCellValue(50 + x, 50 + y);
    EXPECT_EQ(colour.args, (std::vector<double>{v, v, 0})) << x << "," << y;
    ++checked;
  }
  EXPECT_EQ(checked, 1787);
}

TEST_F(Frame, NoAngleReadsOutsideTheTableOrDrawsOutsideTheSquare) {
  for (float angle : reachableViewAngles()) {
    EXPECT_EQ(drawAt(angle), "") << "at " << angle;
    for (const Vertices& line : glrec::primitives(GL_POINTS)) {
      for (const std::vector<double>& p : line) {
        ASSERT_GE(p[0], -49) << angle;
        ASSERT_LE(p[0], 49) << angle;
        ASSERT_GE(p[1], -49) << angle;
        ASSERT_LE(p[1], 49) << angle;
      }
    }
  }
}

TEST_F(Frame, AGlErrorPrintsTheMessageAndExitsWithOne) {
  glrec::setGlError(GL_INVALID_OPERATION);
  EXPECT_EXIT(
      {
        stdoutToStderr();
        drawScene();
      },
      testing::ExitedWithCode(1), "^Error while using OpenGL\\.\nAborting\\.\\.\\.\n$");
}

TEST_F(Frame, NoErrorReturnsNormally) {
  EXPECT_EQ(drawAt(0.0F), "");
  EXPECT_EQ(glrec::calls().back().fn, "glGetError");
}
