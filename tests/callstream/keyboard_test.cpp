// SPDX-License-Identifier: MIT
// The keyboard callback: which keys turn the view, draw, or end the process.
#include <GL/glut.h>

#include <random>
#include <set>

#include "app/shell.h"
#include "app/view_state.h"
#include "bitmap/color_bitmap.h"
#include "support/call_stream.h"

namespace {
class Keyboard : public CallStreamTest {
 protected:
  void SetUp() override {
    CallStreamTest::SetUp();
    initColorBitmap();
  }
  // Presses `key` at `angle` and returns the angle it leaves.
  static float pressAt(float angle, unsigned char key) {
    glrec::reset();
    viewAngle = angle;
    onKeyboard(key, 123, 45);
    return viewAngle;
  }
};
using KeyboardDeathTest = Keyboard;

bool isTurnKey(int key) { return key == 'x' || key == 'X' || key == 'z' || key == 'Z'; }
}  // namespace

TEST_F(Keyboard, OnlyXAndZTurnAndEachTurnDrawsItsFrameOnceAtOnce) {
  for (int key = 0; key < 256; ++key) {
    if (key == KEY_ESCAPE) {
      continue;
    }
    const float angle = pressAt(100.0F, static_cast<unsigned char>(key));
    if (isTurnKey(key)) {
      EXPECT_EQ(angle, key == 'x' || key == 'X' ? 105.0F : 95.0F) << key;
      EXPECT_EQ(glrec::names().back(), "glGetError") << key;
      EXPECT_EQ(glrec::named("glutSwapBuffers").size(), 1U) << key;
      EXPECT_EQ(glrec::named("glRotatef").at(0).args.at(0), angle) << key;
    } else {
      EXPECT_EQ(angle, 100.0F) << key;
      EXPECT_TRUE(glrec::calls().empty()) << key;
    }
  }
}

TEST_F(Keyboard, WrapsAtBothEnds) {
  const struct {
    float from;
    unsigned char key;
    float to;
  } cases[] = {{0, 'z', 355}, {0, 'Z', 355},   {355, 'x', 0}, {355, 'X', 0},
               {5, 'z', 0},   {350, 'x', 355}, {0, 'a', 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(pressAt(c.from, c.key), c.to) << c.from << " " << c.key;
  }
}

TEST_F(Keyboard, RandomKeyStormKeepsTheAngleOnTheGridAndDrawsOncePerTurn) {
  const std::vector<float> angles = reachableViewAngles();
  const std::set<float> grid(angles.begin(), angles.end());
  std::mt19937 rng(20261208);
  float angle = 0.0F;
  int net = 0;  // steps of 5 degrees, to predict the final angle
  for (int n = 0; n < 10000; ++n) {
    const auto key = static_cast<unsigned char>(rng() % 256);
    if (key == KEY_ESCAPE) {
      continue;
    }
    angle = pressAt(angle, key);
    net += key == 'x' || key == 'X' ? 1 : key == 'z' || key == 'Z' ? -1 : 0;
    ASSERT_EQ(grid.count(angle), 1U) << "after key " << int{key};
    ASSERT_EQ(glrec::named("glutSwapBuffers").size(), isTurnKey(key) ? 1U : 0U) << int{key};
  }
  EXPECT_EQ(angle, static_cast<float>((net % 72 + 72) % 72 * 5));
}

TEST_F(KeyboardDeathTest, EscapeDestroysTheWindowThenExitsWithZeroPrintingNothing) {
  mainWindow = glrec::FAKE_WINDOW_ID;
  glrec::setTraceDestroyToStderr(true);
  EXPECT_EXIT(
      {
        reportStdoutAtExit();
        onKeyboard(KEY_ESCAPE, 0, 0);
      },
      testing::ExitedWithCode(0), "^glutDestroyWindow\\(7\\)\nstdout:\\[\\]$");
}
