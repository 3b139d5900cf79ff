// SPDX-License-Identifier: MIT
// One frame's call stream: its order, the floor, the map panel and the fill.
#include <GL/glut.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "app/view_state.h"
#include "bitmap/color_bitmap.h"
#include "render/scene.h"
#include "support/call_stream.h"

namespace {
using Vertex = std::vector<double>;
using Vertices = std::vector<Vertex>;

class Frame : public CallStreamTest {
 protected:
  void SetUp() override {
    CallStreamTest::SetUp();
    initColorBitmap();
  }
  // Draws one frame at `angle` and returns what stdout received meanwhile.
  static std::string drawAt(float angle) {
    glrec::reset();
    viewAngle = angle;
    testing::internal::CaptureStdout();
    drawScene();
    return testing::internal::GetCapturedStdout();
  }
};
using FrameDeathTest = Frame;

std::string block(unsigned mode) { return "glBegin(" + std::to_string(mode) + ")"; }

// The colours set from the first call named `from` up to the next call named
// `to`: one drawing step's colours, found by where the step starts and ends
// rather than by how many colours came before.
std::vector<Vertex> coloursBetween(const std::string& from, const std::string& to) {
  const std::vector<GlCall>& calls = glrec::calls();
  auto it = std::find_if(calls.begin(), calls.end(), [&](const GlCall& c) { return c.fn == from; });
  std::vector<Vertex> colours;
  for (; it != calls.end() && it->fn != to; ++it) {
    if (it->fn == "glColor3f") {
      colours.push_back(it->args);
    }
  }
  return colours;
}
}  // namespace

TEST_F(Frame, DrawsFloorPanelAndFillInPaintersOrderThenSwapsAndChecksOnce) {
  drawAt(0.0F);
  std::vector<std::string> expected = {"glClear", "glLoadIdentity", "glTranslatef", "glRotatef"};
  for (int strip = 0; strip < 6; ++strip) {
    expected.insert(expected.end(), {"glColor3f", block(GL_TRIANGLE_STRIP)});
  }
  // The fill draws in the panel's transform: no matrix call after the scale.
  expected.insert(expected.end(), {"glLoadIdentity", "glTranslatef", "glScalef", "glColor3f",
                                   block(GL_LINES), block(GL_LINE_STRIP), "glColor3f",
                                   block(GL_LINES), block(GL_LINES), "glPointSize"});
  expected.insert(expected.end(), 50, block(GL_POINTS));  // one per line, empty ones too
  expected.insert(expected.end(), {"glutSwapBuffers", "glGetError"});
  EXPECT_EQ(glrec::outline(), expected);
  EXPECT_EQ(glrec::calls().front().args, Vertex{GL_COLOR_BUFFER_BIT});
  EXPECT_EQ(glrec::named("glPointSize").at(0).args, Vertex{1.0});
  // The panel: left of the floor, y mirrored, grey axes and square, then white.
  EXPECT_EQ(glrec::named("glTranslatef").at(1).args, (Vertex{-220, 0, -250}));
  EXPECT_EQ(glrec::named("glScalef").at(0).args, (Vertex{1, -1, 1}));
  // Grey for the axes and the square, then white for the edges; the fill's
  // colours come after its glPointSize.
  EXPECT_EQ(coloursBetween("glScalef", "glPointSize"),
            (std::vector<Vertex>{{0.5, 0.5, 0.5}, {1, 1, 1}}));
  EXPECT_EQ(glrec::primitives(GL_LINES).at(0),
            (Vertices{{0, 100}, {0, -100}, {-100, 0}, {100, 0}}));
  EXPECT_EQ(glrec::primitives(GL_LINE_STRIP).at(0),
            (Vertices{{-50, 50}, {50, 50}, {50, -50}, {-50, -50}, {-50, 50}}));
}

TEST_F(Frame, FloorIsSixAlternatingStripsTurnedByTheAngleAlone) {
  const double xs[] = {-100, -50, 0, 50, 100, 150};
  const double zs[] = {-150, -100, -50, 0, 50, 100};
  const Vertex dark = {STRIP_RED, STRIP_DARK_SHADE, STRIP_DARK_SHADE};
  const Vertex light = {STRIP_RED, STRIP_LIGHT_SHADE, STRIP_LIGHT_SHADE};
  for (const float angle : {0.0F, 90.0F, 355.0F}) {
    drawAt(angle);
    EXPECT_EQ(glrec::named("glTranslatef").at(0).args, (Vertex{0, 0, -250}));
    EXPECT_EQ(glrec::named("glRotatef").at(0).args, (Vertex{angle, 0, 1, 0}));
    const std::vector<Vertices> strips = glrec::primitives(GL_TRIANGLE_STRIP);
    ASSERT_EQ(strips.size(), 6U);
    const std::vector<Vertex> colours = coloursBetween("glRotatef", "glLoadIdentity");
    ASSERT_EQ(colours.size(), 6U);
    for (size_t s = 0; s < 6; ++s) {
      Vertices expected;
      for (const double z : zs) {
        expected.push_back({xs[s], -60, z});  // the strip's right edge first
        expected.push_back({xs[s] - 50, -60, z});
      }
      EXPECT_EQ(strips[s], expected) << "strip " << s << " at " << angle;
      EXPECT_EQ(colours[s], s % 2 == 0 ? dark : light) << s;
    }
  }
}

// Where a ray from the centre at each edge's angle meets the square, each
// coordinate held as a float and then truncated toward zero. The expected
// values were computed apart from the viewer's code, from that rule and the
// six-decimal pi the viewer uses. Among them: 15, where the float 49.99998 truncates to 49; 330,
// where a tiny negative y truncates to 0; 30, whose infinite cot must not be
// used; and 355, whose plus edge lies past one turn, at 385.
TEST_F(Frame, ConeEdgesEndWhereTheirRaysMeetTheSquareTruncatedTowardZero) {
  struct Case {
    float view;
    Vertex plus;
    Vertex minus;
  };
  const Case cases[] = {
      {0, {50, 28}, {50, -28}},      {5, {50, 35}, {50, -23}},    {15, {50, 49}, {50, -13}},
      {30, {28, 50}, {50, 0}},       {45, {13, 50}, {50, 13}},    {90, {-28, 50}, {28, 50}},
      {105, {-50, 50}, {13, 50}},    {135, {-50, 13}, {-13, 50}}, {180, {-50, -28}, {-50, 28}},
      {225, {-13, -50}, {-50, -13}}, {240, {0, -50}, {-50, -28}}, {270, {28, -50}, {-28, -50}},
      {285, {50, -50}, {-13, -50}},  {315, {50, -13}, {13, -50}}, {330, {50, 0}, {28, -50}},
      {355, {50, 23}, {50, -35}},
  };
  for (const Case& c : cases) {
    drawAt(c.view);
    const std::vector<Vertices> lines = glrec::primitives(GL_LINES);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[1], (Vertices{{0, 0}, c.plus})) << "plus edge at " << c.view;
    EXPECT_EQ(lines[2], (Vertices{{0, 0}, c.minus})) << "minus edge at " << c.view;
  }
}

// The points a frame draws: on each line away from the centre, the map units
// from the lower edge's bound up to (not including) the upper edge's, each
// bound truncated toward zero and held inside the square. The expected counts
// were computed apart from the viewer's code by that rule, for angles in
// every sector and on each sector boundary.
TEST_F(Frame, PointsPerFrameCountTheMapUnitsBetweenTheEdges) {
  const std::pair<float, size_t> cases[] = {
      {0, 1366},  {90, 1366},  {180, 1366}, {270, 1366}, {5, 1380},   {355, 1380}, {30, 1739},
      {45, 1829}, {135, 1829}, {50, 1818},  {225, 1793}, {315, 1793}, {230, 1787},
  };
  for (const auto& [angle, points] : cases) {
    drawAt(angle);
    const std::vector<Vertices> lines = glrec::primitives(GL_POINTS);
    const size_t n =
        std::accumulate(lines.begin(), lines.end(), size_t{0},
                        [](size_t sum, const Vertices& line) { return sum + line.size(); });
    EXPECT_EQ(n, points) << "at " << angle;
  }
}

// Line 2 is the first with points and line 49, the widest, the last: the fill
// reads rows 52 ... 99 and columns 22 ... 77 of the table.
TEST_F(Frame, StraightAheadScansColumnsOutwardAndReadsTheExpectedCells) {
  drawAt(0.0F);
  const std::vector<Vertices> lines = glrec::primitives(GL_POINTS);
  EXPECT_TRUE(lines[1].empty());
  EXPECT_EQ(lines[2], (Vertices{{2, -1}, {2, 0}}));
  EXPECT_EQ(lines[10].front(), (Vertex{10, -5}));
  EXPECT_EQ(lines[10].back(), (Vertex{10, 4}));
  EXPECT_EQ(lines[49].front(), (Vertex{49, -28}));
  EXPECT_EQ(lines[49].back(), (Vertex{49, 27}));
}

// The scan follows the sector of the view angle itself: at each boundary the
// angle belongs to an x sector, one step past it to a y sector, and the
// lines run along another axis. Lines 10 and 49 away from the centre, first
// and last point each, worked out apart from the viewer's code by the rule
// of the count test above; a sector taken from an angle a degree off fails.
TEST_F(Frame, FillScansTheSectorOfTheViewAngleOnBothSidesOfEachBoundary) {
  struct Case {
    float view;
    Vertices line10;  // first and last point of line 10
    Vertices line49;  // first and last point of line 49
  };
  const Case cases[] = {
      {40, {{10, 1}, {10, 26}}, {{49, 8}, {49, 49}}},
      {45, {{10, 2}, {10, 36}}, {{49, 13}, {49, 49}}},
      {50, {{1, 10}, {26, 10}}, {{8, 49}, {49, 49}}},
      {130, {{-27, 10}, {-2, 10}}, {{-49, 49}, {-9, 49}}},
      {135, {{-10, 2}, {-10, 36}}, {{-49, 13}, {-49, 49}}},
      {140, {{-10, 1}, {-10, 26}}, {{-49, 8}, {-49, 49}}},
      {220, {{-10, -27}, {-10, -2}}, {{-49, -49}, {-49, -9}}},
      {225, {{-10, -37}, {-10, -3}}, {{-49, -49}, {-49, -14}}},
      {230, {{-27, -10}, {-2, -10}}, {{-49, -49}, {-9, -49}}},
      {310, {{1, -10}, {26, -10}}, {{8, -49}, {49, -49}}},
      {315, {{10, -37}, {10, -3}}, {{49, -49}, {49, -14}}},
      {320, {{10, -27}, {10, -2}}, {{49, -49}, {49, -9}}},
  };
  for (const Case& c : cases) {
    drawAt(c.view);
    const std::vector<Vertices> lines = glrec::primitives(GL_POINTS);
    ASSERT_EQ(lines.size(), 50U) << "at " << c.view;
    ASSERT_FALSE(lines[10].empty() || lines[49].empty()) << "at " << c.view;
    EXPECT_EQ((Vertices{lines[10].front(), lines[10].back()}), c.line10) << "at " << c.view;
    EXPECT_EQ((Vertices{lines[49].front(), lines[49].back()}), c.line49) << "at " << c.view;
  }
}

TEST_F(Frame, EachPointIsYellowFromTheTableCellAtItsRowAndColumn) {
  drawAt(230.0F);
  const std::vector<GlCall>& calls = glrec::calls();
  int checked = 0;
  for (size_t k = 1; k < calls.size(); ++k) {
    if (calls[k].fn == "glVertex2i" && calls[k - 1].fn == "glColor3f") {
      const int x = static_cast<int>(calls[k].args[0]);
      const int y = static_cast<int>(calls[k].args[1]);
      const double v = colorBitmapAt(50 + x, 50 + y);
      EXPECT_EQ(calls[k - 1].args, (Vertex{v, v, 0})) << x << "," << y;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 1787);
}

// The square clips the cone, so the fill's centre of mass may lie up to about
// 7 degrees off the view direction; a scan turned or mirrored the wrong way
// puts it 30 degrees or more away.
TEST_F(Frame, EveryReachableAngleFillsTheConeInsideTheSquareAndTheTable) {
  for (int k = 0; k < 72; ++k) {
    const float angle = 5.0F * static_cast<float>(k);  // every angle the keys can reach
    EXPECT_EQ(drawAt(angle), "") << "at " << angle;
    const std::vector<Vertices> lines = glrec::primitives(GL_POINTS);
    EXPECT_TRUE(lines.at(0).empty()) << angle;
    double sumX = 0;
    double sumY = 0;
    for (const Vertices& line : lines) {
      for (const Vertex& p : line) {
        ASSERT_TRUE(std::abs(p[0]) <= 49 && std::abs(p[1]) <= 49) << p[0] << "," << p[1];
        sumX += p[0];
        sumY += p[1];
      }
    }
    const double direction = std::atan2(sumY, sumX) * 180.0 / std::acos(-1.0);
    EXPECT_LT(std::abs(std::remainder(direction - angle, 360.0)), 10.0) << "at " << angle;
    for (const size_t edge : {1, 2}) {
      const Vertex end = glrec::primitives(GL_LINES).at(edge).at(1);
      EXPECT_EQ(std::max(std::abs(end[0]), std::abs(end[1])), 50)
          << "edge " << edge << " at " << angle;
    }
  }
}

// Death tests need a process to fork or start again, which WebAssembly
// under node lacks; there the page's tests see the exits instead.
#if GTEST_HAS_DEATH_TEST
TEST_F(FrameDeathTest, AGlErrorPrintsTheMessageOnStandardOutputAndExitsWithOne) {
  glrec::setGlError(GL_INVALID_OPERATION);
  EXPECT_EXIT(
      {
        reportAtExit();
        drawScene();
      },
      testing::ExitedWithCode(1),
      "^last glGetError\\(\\); stdout:\\[Error while using OpenGL\\.\nAborting\\.\\.\\.\n\\]$");
}
#endif  // GTEST_HAS_DEATH_TEST
