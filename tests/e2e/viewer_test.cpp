// SPDX-License-Identifier: MIT
// The real viewer on a real (virtual) X display with Mesa's software GL.
// gtest comes before the X headers, whose None macro would break it.
#include "e2e/e2e_support.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <string>

namespace {
// Panel and floor regions of the 600 x 207 design window, in pixels: the
// panel lies in the left third, the floor in the lower part.
constexpr int PANEL_RIGHT = 200;
constexpr int FLOOR_TOP = 140;

PixelRegion yellowIn(const xw::Image& img) {
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
using Display_ = DisplayTest;

TEST_F(Display_, RendersWithMesaSoftwareGl) {
  EXPECT_NE(rendererOf(dpy).find("llvmpipe"), std::string::npos) << rendererOf(dpy);
}

TEST_F(Window_, OpensTitledAtTheTopLeftWithTheDesignSize) {
  const Geometry g = geometryOf(dpy, win);
  EXPECT_EQ(g.x, 0);
  EXPECT_EQ(g.y, 0);
  EXPECT_EQ(g.width, 600);
  EXPECT_EQ(g.height, 207);
}

TEST_F(Window_, FirstFrameShowsFloorPanelAndConeOnBlack) {
  EXPECT_GT(regionOf(first, isDarkStrip, 0, FLOOR_TOP, 600, 207).count, 1000);
  EXPECT_GT(regionOf(first, isLightStrip, 0, FLOOR_TOP, 600, 207).count, 1000);
  // The cone at angle 0 points right along the panel's x axis.
  const PixelRegion grey = regionOf(first, isGrey, 0, 0, PANEL_RIGHT, 207);
  const PixelRegion yellow = yellowIn(first);
  EXPECT_GT(grey.count, 200);
  EXPECT_GT(yellow.count, 800);
  EXPECT_GT(yellow.cx, (grey.minX + grey.maxX) / 2.0);
  // Above the floor and right of the panel there is only background.
  EXPECT_EQ(regionOf(first, isBlack, 250, 0, 600, 100).count, 350 * 100);
}

// Standard output is a pipe here, so the lines wait in its buffer until exit.
TEST_F(Window_, PrintsTheInstructionsAtExitThroughAPipeAndEscExitsWithZero) {
  proc::drain(viewer);
  EXPECT_EQ(viewer.out, "");
  ASSERT_NO_FATAL_FAILURE(escape());
  EXPECT_EQ(viewer.out, "Press the keys 'z' and 'x' to rotate.\nPress the key Esc to exit.\n");
  EXPECT_FALSE(isAlive(dpy, win));
}

using Keys = ViewerTest;

TEST_F(Keys, XAndZTurnInEitherCaseAndWithAltOrSuper) {
  const xw::Image turned = pressAndWaitForChange(XK_x, first);
  EXPECT_NE(turned, first);
  const struct {
    unsigned long key;
    unsigned long modifier;
    bool backToFirst;
  } presses[] = {{XK_z, 0, true},
                 {XK_X, XK_Shift_L, false},
                 {XK_Z, XK_Shift_L, true},
                 {XK_x, XK_Alt_L, false},
                 {XK_z, XK_Super_L, true}};
  for (const auto& p : presses) {
    if (p.modifier) {
      xw::pressKey(dpy, win, p.key, {p.modifier});
    } else {
      xw::pressKey(dpy, win, p.key);
    }
    EXPECT_TRUE(waitForFrame(p.backToFirst ? first : turned, 10))
        << XKeysymToString(p.key) << " with " << (p.modifier ? XKeysymToString(p.modifier) : "-");
  }
}

TEST_F(Keys, OtherKeysAndControlXDoNotTurn) {
  const xw::Image turned = pressAndWaitForChange(XK_x, first);
  for (const unsigned long key : {XK_a, XK_space, XK_Return, XK_y, XK_1}) {
    xw::pressKey(dpy, win, key);
  }
  xw::pressKey(dpy, win, XK_x, {XK_Control_L});
  xw::pressKey(dpy, win, XK_z, {XK_Control_L});
  // One 'z' after them must bring back the first frame exactly.
  xw::pressKey(dpy, win, XK_z);
  EXPECT_TRUE(waitForFrame(first, 10));
  EXPECT_NE(turned, first);
}

TEST_F(Keys, ConeTurnsWithTheAngle) {
  // 18 steps of 5 degrees each: 0, 90, 180 and 270 degrees.
  xw::Image frames[4] = {first};
  for (int quarter = 1; quarter < 4; ++quarter) {
    frames[quarter] = frames[quarter - 1];
    for (int k = 0; k < 18; ++k) {
      frames[quarter] = pressAndWaitForChange(XK_x, frames[quarter]);
    }
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
  for (int k = 0; k < 72; ++k) {
    xw::pressKey(dpy, win, XK_x);
  }
  EXPECT_TRUE(waitForFrame(first, 20));
}

// In X, Ctrl+[ and Ctrl+3 type the Esc character.
TEST_F(Display_, EscAndItsControlSpellingsExitWithZero) {
  const struct {
    unsigned long key;
    unsigned long modifier;
  } quits[] = {{XK_Escape, 0}, {XK_bracketleft, XK_Control_L}, {XK_3, XK_Control_L}};
  for (const auto& q : quits) {
    ASSERT_NO_FATAL_FAILURE(launch());
    if (q.modifier) {
      ASSERT_NO_FATAL_FAILURE(escape(q.key, {q.modifier})) << XKeysymToString(q.key);
    } else {
      ASSERT_NO_FATAL_FAILURE(escape(q.key)) << XKeysymToString(q.key);
    }
  }
}

using Resize = ViewerTest;

// Right after a resize the window still holds part of the old frame, so each
// test waits for the property that only a redraw at the new size can have.
TEST_F(Resize, NarrowWindowWidensTheViewAndKeepsBothParts) {
  const int yellowBefore = countOf(first, isYellow);
  resize(dpy, win, 300, 207);
  // Twice the field of view: the panel is drawn at about half the size.
  EXPECT_TRUE(xw::waitUntil(
      [&] {
        const xw::Image img = xw::grab(dpy, win);
        const int yellow = countOf(img, isYellow);
        return img.width == 300 && yellow > 0 && yellow < yellowBefore / 2;
      },
      10))
      << "the narrow window never showed the smaller panel";
  const xw::Image narrow = xw::grabSettled(dpy, win, 5);
  EXPECT_GT(countOf(narrow, isLightStrip), 200);
  EXPECT_GT(countOf(narrow, isDarkStrip), 200);
  EXPECT_GT(countOf(narrow, isGrey), 50);
}

TEST_F(Resize, WideWindowKeepsThePanelAtItsSize) {
  // The cone, unlike the long axes, lies wholly inside both windows.
  const PixelRegion before = yellowIn(first);
  resize(dpy, win, 1200, 207);
  // The view stays centred: the panel moves right by half the extra width.
  EXPECT_TRUE(xw::waitUntil(
      [&] {
        const xw::Image img = xw::grab(dpy, win);
        const PixelRegion r = regionOf(img, isYellow, 0, 0, img.width, 207);
        return img.width == 1200 && r.count > 0 && r.minX >= before.minX + 298;
      },
      10))
      << "the wide window never showed the panel moved to the new centre";
  const PixelRegion after = regionOf(xw::grabSettled(dpy, win, 5), isYellow, 0, 0, 1200, 207);
  EXPECT_NEAR(after.minX - before.minX, 300, 2);
  EXPECT_NEAR(after.maxX - after.minX, before.maxX - before.minX, 2);
  EXPECT_NEAR(after.maxY - after.minY, before.maxY - before.minY, 2);
  EXPECT_NEAR(after.count, before.count, before.count / 50);
}

using CommandLine = DisplayTest;

// The window's size and place are set after GLUT has read the command line,
// so -geometry loses; GLUT's other options act, and it ignores what it does
// not know.
TEST_F(CommandLine, GlutOptionsActButGeometryDoesNot) {
  const std::vector<std::string> options[] = {
      {"-geometry", "300x100+50+60"}, {"-sync"}, {"-gldebug"}, {"-direct"}, {"--help", "words"}};
  for (const std::vector<std::string>& args : options) {
    ASSERT_NO_FATAL_FAILURE(launch(args)) << args[0];
    const Geometry g = geometryOf(dpy, win);
    EXPECT_TRUE(g.x == 0 && g.y == 0 && g.width == 600 && g.height == 207) << args[0];
    ASSERT_NO_FATAL_FAILURE(escape()) << args[0];
  }
  // -display names the display when DISPLAY names none.
  ASSERT_NO_FATAL_FAILURE(launch({"-display", DisplayString(dpy)}, {}, {"env", "-u", "DISPLAY"}));
  ASSERT_NO_FATAL_FAILURE(escape());
  // -iconic asks a window manager to show the window as an icon first.
  ASSERT_NO_FATAL_FAILURE(launch({"-iconic"}));
  XWMHints* hints = XGetWMHints(dpy, win);
  ASSERT_NE(hints, nullptr);
  EXPECT_TRUE((hints->flags & StateHint) && hints->initial_state == IconicState);
  XFree(hints);
}
