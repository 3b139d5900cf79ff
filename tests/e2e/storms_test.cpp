// SPDX-License-Identifier: MIT
// Our own event handling under load: bursts of keys and of resizes, each
// ending on a frame the test knows.
#include <random>

#include "e2e/e2e_support.h"

using KeyStorm = ViewerTest;

// A burst of turns as fast as X takes them, then the 'z' presses that undo
// its net turn: a key lost or handled twice leaves another frame.
TEST_F(KeyStorm, ThousandKeysAndTheirUndoComeBackToTheFirstFrame) {
  std::mt19937 rng(1208);
  int net = 0;
  for (int n = 0; n < 1000; ++n) {
    const bool up = rng() % 2 == 0;
    const bool shifted = rng() % 2 == 0;
    xw::pressKey(dpy, win, up ? (shifted ? XK_X : XK_x) : (shifted ? XK_Z : XK_z),
                 shifted ? ShiftMask : 0);
    net += up ? 1 : -1;
  }
  ASSERT_NE(net % 72, 0) << "the burst should end away from the first frame";
  for (int k = 0; k < (net % 72 + 72) % 72; ++k) {
    xw::pressKey(dpy, win, XK_z);
  }
  EXPECT_TRUE(waitForFrame(first, 60)) << "the burst and its undo did not end on the first frame";
}

using ResizeStorm = ViewerTest;

TEST_F(ResizeStorm, TwoHundredResizesEndOnTheFirstFrame) {
  const unsigned extremes[][2] = {{1, 1}, {1, 1000}, {1000, 1}, {2000, 2000}};
  std::mt19937 rng(7);
  for (int n = 0; n < 199; ++n) {
    const bool extreme = n % 50 < 4;
    XResizeWindow(dpy, win, extreme ? extremes[n % 50][0] : 1 + rng() % 1200,
                  extreme ? extremes[n % 50][1] : 1 + rng() % 900);
  }
  XResizeWindow(dpy, win, DESIGN_WIDTH, DESIGN_HEIGHT);
  XFlush(dpy);
  // A viewer that had ended would fail the grab with an X error.
  EXPECT_TRUE(waitForFrame(first, 30)) << "the design size did not bring back its frame";
}
