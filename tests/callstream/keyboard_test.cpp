// SPDX-License-Identifier: MIT
// The keyboard callback: which keys turn the view, draw, or end the process.
#include <GL/glut.h>

#include <cstdlib>
#include <random>
#include <set>

#include "call_stream.h"
#include "color_bitmap.h"
#include "scene.h"
#include "shell.h"
#include "view_angles.h"
#include "view_state.h"

namespace {
class Keyboard : public CallStreamTest {
 protected:
  void SetUp() override {
    CallStreamTest::SetUp();
    initColorBitmap();
    viewAngle = 0.0F;
  }
  void press(unsigned char key) { onKeyboard(key, 123, 45); }
};
}  // namespace

TEST_F(Keyboard, OnlyRotationKeysChangeTheAngleAndDrawOnce) {
  for (int key = 0; key < 256; ++key) {
    if (key == KEY_ESCAPE) {
      continue;
    }
    glrec::reset();
    viewAngle = 100.0F;
    press(static_cast<unsigned char>(key));
    const bool up = key == 'x' || key == 'X';
    const bool down = key == 'z' || key == 'Z';
    EXPECT_EQ(viewAngle, up ? 105.0F : down ? 95.0F : 100.0F) << key;
    if (up || down) {
      EXPECT_EQ(glrec::count("glClear"), 1) << key;
      EXPECT_EQ(glrec::count("glutSwapBuffers"), 1) << key;
    } else {
      EXPECT_TRUE(glrec::calls().empty()) << key;
    }
  }
}

TEST_F(Keyboard, WrapsAtBothEnds) {
  viewAngle = 0.0F;
  press('z');
  EXPECT_EQ(viewAngle, 355.0F);
  press('x');
  EXPECT_EQ(viewAngle, 0.0F);
  viewAngle = 355.0F;
  press('X');
  EXPECT_EQ(viewAngle, 0.0F);
  press('Z');
  EXPECT_EQ(viewAngle, 355.0F);
}

TEST_F(Keyboard, FrameDrawnForAKeyEqualsTheFrameGlutWouldAskFor) {
  press('x');
  const std::vector<GlCall> fromKey = glrec::calls();
  glrec::reset();
  drawScene();
  ASSERT_EQ(fromKey.size(), glrec::calls().size());
  for (size_t k = 0; k < fromKey.size(); ++k) {
    EXPECT_EQ(fromKey[k].fn, glrec::calls()[k].fn) << k;
    EXPECT_EQ(fromKey[k].args, glrec::calls()[k].args) << k;
  }
  EXPECT_EQ(glrec::named("glRotatef").at(0).args.at(0), 5.0);
}

TEST_F(Keyboard, RandomKeyStormKeepsTheAngleOnTheGridAndDrawsOncePerTurn) {
  const std::set<float> grid(reachableViewAngles().begin(), reachableViewAngles().end());
  std::mt19937 rng(20261208);
  std::uniform_int_distribution<int> byte(0, 255);
  int turns = 0;
  int expectedSteps = 0;  // net steps of 5 degrees, to predict the final angle
  for (int n = 0; n < 10000; ++n) {
    auto key = static_cast<unsigned char>(byte(rng));
    if (key == KEY_ESCAPE) {
      continue;
    }
    const bool turning = key == 'x' || key == 'X' || key == 'z' || key == 'Z';
    glrec::reset();
    press(key);
    turns += turning ? 1 : 0;
    expectedSteps += (key == 'x' || key == 'X') ? 1 : (key == 'z' || key == 'Z') ? -1 : 0;
    ASSERT_EQ(grid.count(viewAngle), 1U) << "after key " << int(key);
    ASSERT_EQ(glrec::count("glutSwapBuffers"), turning ? 1 : 0) << "key " << int(key);
  }
  EXPECT_GT(turns, 0);
  EXPECT_EQ(viewAngle, static_cast<float>(((expectedSteps % 72 + 72) % 72) * 5));
}

TEST_F(Keyboard, EscapeDestroysTheWindowThenExitsWithZero) {
  mainWindow = glrec::FAKE_WINDOW_ID;
  glrec::setTraceDestroyToStderr(true);
  EXPECT_EXIT(press(KEY_ESCAPE), testing::ExitedWithCode(0), "^glutDestroyWindow\\(7\\)\n$");
}
