// SPDX-License-Identifier: MIT
// The running-viewer fixture and colour classes of the end-to-end tests.
#include "e2e_support.h"

#include <X11/keysym.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#ifndef QUILLMERE_BINARY
#error "QUILLMERE_BINARY must name the viewer executable"
#endif

double seconds(double s) {
  const char* scale = getenv("QUILLMERE_E2E_TIMEOUT_SCALE");
  return scale ? s * atof(scale) : s;
}

static bool near(int value, int expected) { return value >= expected - 2 && value <= expected + 2; }

// 0.4 * 255 = 102, 0.2 * 255 = 51, 0.5 * 255 = 127.5.
bool isBlack(xh::Rgb c) { return c.r <= 2 && c.g <= 2 && c.b <= 2; }
bool isDarkStrip(xh::Rgb c) { return near(c.r, 102) && near(c.g, 51) && near(c.b, 51); }
bool isLightStrip(xh::Rgb c) { return near(c.r, 102) && near(c.g, 255) && near(c.b, 255); }
bool isGrey(xh::Rgb c) { return c.r >= 125 && c.r <= 130 && c.g == c.r && c.b == c.r; }
bool isYellow(xh::Rgb c) { return c.r > 2 && c.b <= 2 && c.r - c.g <= 2 && c.g - c.r <= 2; }

PixelRegion regionOf(const xh::Image& img, bool (*cls)(xh::Rgb), int x0, int y0, int x1, int y1) {
  PixelRegion r;
  r.minX = x1;
  r.minY = y1;
  double sx = 0;
  double sy = 0;
  for (int y = y0; y < y1 && y < img.height; ++y) {
    for (int x = x0; x < x1 && x < img.width; ++x) {
      if (cls(img.at(x, y))) {
        ++r.count;
        sx += x;
        sy += y;
        r.minX = std::min(r.minX, x);
        r.maxX = std::max(r.maxX, x);
        r.minY = std::min(r.minY, y);
        r.maxY = std::max(r.maxY, y);
      }
    }
  }
  if (r.count > 0) {
    r.cx = sx / r.count;
    r.cy = sy / r.count;
  }
  return r;
}

int countOf(const xh::Image& img, bool (*cls)(xh::Rgb)) {
  return regionOf(img, cls, 0, 0, img.width, img.height).count;
}

void ViewerTest::SetUp() {
  dpy = xh::openDisplay();
  ASSERT_NE(dpy, nullptr) << "no X display: run the end-to-end tests through make test, "
                             "which starts a virtual one";
}

void ViewerTest::launch() {
  viewer = xh::start({QUILLMERE_BINARY});
  win = xh::findWindow(dpy, "Quillmere", seconds(20));
  ASSERT_NE(win, 0UL) << "no viewer window appeared; stderr: " << viewer.err;
  ASSERT_TRUE(
      xh::waitUntil([&] { return countOf(xh::grab(dpy, win), isLightStrip) > 0; }, seconds(20)))
      << "the first frame never showed the floor";
  first = xh::grabSettled(dpy, win, seconds(5));
}

void ViewerTest::TearDown() {
  xh::kill(viewer);
  if (dpy) {
    XCloseDisplay(dpy);
  }
}

xh::Image ViewerTest::pressAndWaitForChange(unsigned long keysym, const xh::Image& before,
                                            bool shift) {
  xh::pressKey(dpy, win, keysym, shift);
  EXPECT_TRUE(xh::waitUntil([&] { return xh::grab(dpy, win) != before; }, seconds(10)))
      << "the frame did not change after the key";
  return xh::grabSettled(dpy, win, seconds(5));
}

bool ViewerTest::waitForFrame(const xh::Image& target, double s) {
  return xh::waitUntil([&] { return xh::grab(dpy, win) == target; }, s);
}

void ViewerTest::escape() {
  xh::pressKey(dpy, win, XK_Escape);
  ASSERT_TRUE(xh::waitForExit(viewer, seconds(10))) << "Esc did not end the viewer";
  ASSERT_TRUE(WIFEXITED(viewer.status)) << "killed by signal " << WTERMSIG(viewer.status);
  // Under valgrind a memory error turns this status into the wrapper's own.
  EXPECT_EQ(WEXITSTATUS(viewer.status), 0) << viewer.err;
}
