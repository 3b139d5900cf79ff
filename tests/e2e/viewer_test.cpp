// SPDX-License-Identifier: MIT
// The real viewer on a real (virtual) X display with Mesa's software GL.
// gtest comes before the X headers, whose None macro would break it.
#include "e2e_support.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/keysym.h>
#include <sys/wait.h>

#include <string>

namespace {
// Panel and floor regions of the 600 x 207 design window, in pixels: the
// panel lies in the left third, the floor in the lower part.
constexpr int PANEL_RIGHT = 200;
constexpr int FLOOR_TOP = 140;

PixelRegion yellowIn(const xh::Image& img) {
  return regionOf(img, isYellow, 0, 0, PANEL_RIGHT, img.height);
}

std::string rendererOf(Display* dpy) {
  int attrs[] = {GLX_RGBA, GLX_DOUBLEBUFFER, None};
  XVisualInfo* vi = glXChooseVisual(dpy, DefaultScreen(dpy), attrs);
  if (!vi) {
    return "no visual";
  }
  XSetWindowAttributes swa{};
  swa.colormap = XCreateColormap(dpy, DefaultRootWindow(dpy), vi->visual, AllocNone);
  const Window w = XCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, 8, 8, 0, vi->depth, InputOutput,
                                 vi->visual, CWColormap, &swa);
  GLXContext ctx = glXCreateContext(dpy, vi, nullptr, True);
  std::string name = "no context";
  if (ctx && glXMakeCurrent(dpy, w, ctx)) {
    name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    glXMakeCurrent(dpy, None, nullptr);
  }
  if (ctx) {
    glXDestroyContext(dpy, ctx);
  }
  XDestroyWindow(dpy, w);
  XFreeColormap(dpy, swa.colormap);
  XFree(vi);
  return name;
}
}  // namespace

using Window_ = ViewerTest;

TEST_F(Window_, RendersWithMesaSoftwareGl) {
  EXPECT_NE(rendererOf(dpy).find("llvmpipe"), std::string::npos) << rendererOf(dpy);
}

TEST_F(Window_, OpensTitledAtTheTopLeftWithTheDesignSize) {
  launch();
  const xh::Geometry g = xh::geometryOf(dpy, win);
  EXPECT_EQ(g.x, 0);
  EXPECT_EQ(g.y, 0);
  EXPECT_EQ(g.width, 600);
  EXPECT_EQ(g.height, 207);
}

TEST_F(Window_, FirstFrameShowsFloorPanelAndConeOnBlack) {
  launch();
  EXPECT_GT(regionOf(first, isDarkStrip, 0, FLOOR_TOP, 600, 207).count, 1000);
  EXPECT_GT(regionOf(first, isLightStrip, 0, FLOOR_TOP, 600, 207).count, 1000);
  EXPECT_GT(regionOf(first, isGrey, 0, 0, PANEL_RIGHT, 207).count, 200);
  // The cone at angle 0 points right along the panel's x axis.
  const PixelRegion yellow = yellowIn(first);
  EXPECT_GT(yellow.count, 800);
  const PixelRegion grey = regionOf(first, isGrey, 0, 0, PANEL_RIGHT, 207);
  EXPECT_GT(yellow.cx, (grey.minX + grey.maxX) / 2.0);
  // Above the floor and right of the panel there is only background.
  const PixelRegion sky = regionOf(first, isBlack, 250, 0, 600, 100);
  EXPECT_EQ(sky.count, 350 * 100);
}

TEST_F(Window_, PrintsTheInstructionsAndEscExitsWithZero) {
  launch();
  escape();
  ASSERT_TRUE(viewer.ended);
  ASSERT_TRUE(WIFEXITED(viewer.status)) << "ended by signal " << WTERMSIG(viewer.status);
  EXPECT_EQ(WEXITSTATUS(viewer.status), 0);
  EXPECT_EQ(viewer.out, "Press the keys 'z' and 'x' to rotate.\nPress the key Esc to exit.\n");
  EXPECT_FALSE(xh::isAlive(dpy, win));
}

using Keys = ViewerTest;

TEST_F(Keys, XThenZReturnsToTheFirstFrame) {
  launch();
  const xh::Image turned = pressAndWaitForChange(XK_x, first);
  EXPECT_NE(turned, first);
  xh::pressKey(dpy, win, XK_z);
  EXPECT_TRUE(waitForFrame(first, seconds(10)));
  escape();
}

TEST_F(Keys, UpperCaseKeysTurnLikeLowerCase) {
  launch();
  const xh::Image lower = pressAndWaitForChange(XK_x, first);
  xh::pressKey(dpy, win, XK_z);
  ASSERT_TRUE(waitForFrame(first, seconds(10)));
  xh::pressKey(dpy, win, XK_X, true);
  EXPECT_TRUE(waitForFrame(lower, seconds(10)));
  xh::pressKey(dpy, win, XK_Z, true);
  EXPECT_TRUE(waitForFrame(first, seconds(10)));
}

TEST_F(Keys, OtherKeysDoNotTurn) {
  launch();
  const xh::Image turned = pressAndWaitForChange(XK_x, first);
  for (unsigned long key : {XK_a, XK_space, XK_Return, XK_y, XK_1}) {
    xh::pressKey(dpy, win, key);
  }
  // A 'z' after them must bring back the first frame exactly.
  xh::pressKey(dpy, win, XK_z);
  EXPECT_TRUE(waitForFrame(first, seconds(10)));
  EXPECT_NE(turned, first);
}

TEST_F(Keys, ConeTurnsWithTheAngle) {
  launch();
  // 18 steps of 5 degrees each: 0, 90, 180 and 270 degrees.
  xh::Image frames[4] = {first};
  for (int quarter = 1; quarter < 4; ++quarter) {
    xh::Image img = frames[quarter - 1];
    for (int k = 0; k < 18; ++k) {
      img = pressAndWaitForChange(XK_x, img);
    }
    frames[quarter] = img;
  }
  const PixelRegion at0 = yellowIn(frames[0]);
  const PixelRegion at90 = yellowIn(frames[1]);
  const PixelRegion at180 = yellowIn(frames[2]);
  const PixelRegion at270 = yellowIn(frames[3]);
  // x grows to the right; the panel's y is mirrored, so 90 degrees points down.
  EXPECT_GT(at0.cx, at180.cx + 20);
  EXPECT_GT(at90.cy, at270.cy + 20);
  EXPECT_NEAR(at90.cx, at270.cx, 3);
  EXPECT_NEAR(at0.cy, at180.cy, 3);
}

TEST_F(Keys, FullTurnBringsBackTheFirstFramePixelForPixel) {
  launch();
  for (int k = 0; k < 72; ++k) {
    xh::pressKey(dpy, win, XK_x);
  }
  EXPECT_TRUE(waitForFrame(first, seconds(20)));
  escape();
}

using Resize = ViewerTest;

// Right after a resize the window still holds part of the old frame, so each
// test waits for the property that only a redraw at the new size can have.
TEST_F(Resize, NarrowWindowWidensTheViewAndKeepsBothParts) {
  launch();
  const int yellowBefore = countOf(first, isYellow);
  xh::resize(dpy, win, 300, 207);
  // Twice the field of view: the panel is drawn at about half the size.
  EXPECT_TRUE(xh::waitUntil(
      [&] {
        const xh::Image img = xh::grab(dpy, win);
        const int yellow = countOf(img, isYellow);
        return img.width == 300 && yellow > 0 && yellow < yellowBefore / 2;
      },
      seconds(10)))
      << "the narrow window never showed the smaller panel";
  const xh::Image narrow = xh::grabSettled(dpy, win, seconds(5));
  EXPECT_GT(countOf(narrow, isLightStrip), 200);
  EXPECT_GT(countOf(narrow, isDarkStrip), 200);
  EXPECT_GT(countOf(narrow, isGrey), 50);
  escape();
}

TEST_F(Resize, WideWindowKeepsThePanelAtItsSize) {
  launch();
  // The cone, unlike the long axes, lies wholly inside both windows.
  const PixelRegion before = regionOf(first, isYellow, 0, 0, PANEL_RIGHT, 207);
  xh::resize(dpy, win, 1200, 207);
  // The view stays centred: the panel moves right by half the extra width.
  EXPECT_TRUE(xh::waitUntil(
      [&] {
        const xh::Image img = xh::grab(dpy, win);
        const PixelRegion r = regionOf(img, isYellow, 0, 0, img.width, 207);
        return img.width == 1200 && r.count > 0 && r.minX >= before.minX + 298;
      },
      seconds(10)))
      << "the wide window never showed the panel moved to the new centre";
  const xh::Image wide = xh::grabSettled(dpy, win, seconds(5));
  const PixelRegion after = regionOf(wide, isYellow, 0, 0, 1200, 207);
  EXPECT_NEAR(after.minX - before.minX, 300, 2);
  EXPECT_NEAR(after.maxX - after.minX, before.maxX - before.minX, 2);
  EXPECT_NEAR(after.maxY - after.minY, before.maxY - before.minY, 2);
  EXPECT_NEAR(after.count, before.count, before.count / 50);
  escape();
}
