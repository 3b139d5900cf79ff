// SPDX-License-Identifier: MIT
// The keyboard callback: which keys turn the view, draw, or end the process.
#include <GL/glut.h>

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

}  // namespace

TEST_F(Keyboard, OnlyXAndZTurnAndEachTurnDrawsItsFrameOnceAtOnce) {
  for (int key = 0; key < 256; ++key) {
    if (key == KEY_ESCAPE) {
      continue;
    }
    const float angle = pressAt(100.0F, static_cast<unsigned char>(key));
    if (key == 'x' || key == 'X' || key == 'z' || key == 'Z') {
      EXPECT_EQ(angle, key == 'x' || key == 'X' ? 105.0F : 95.0F) << key;
      EXPECT_EQ(glrec::calls().back().fn, "glGetError") << key;
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

// Death tests need a process to fork or start again, which WebAssembly
// under node lacks; there the page's tests see the exits instead.
#if GTEST_HAS_DEATH_TEST
TEST_F(KeyboardDeathTest, EscapeDestroysTheWindowThenExitsWithZeroPrintingNothing) {
  mainWindow = glrec::FAKE_WINDOW_ID;
  EXPECT_EXIT(
      {
        reportAtExit();
        onKeyboard(KEY_ESCAPE, 0, 0);
      },
      testing::ExitedWithCode(0), "^last glutDestroyWindow\\(7\\); stdout:\\[\\]$");
}
#endif  // GTEST_HAS_DEATH_TEST
