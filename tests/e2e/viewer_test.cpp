// SPDX-License-Identifier: MIT
// The real viewer on a real (virtual) X display with Mesa's software GL.
// gtest comes before the X headers, whose None macro would break it.
#include "e2e/e2e_support.h"

#include <X11/Xutil.h>

#include <string>

#include "harness/png.h"

namespace {
// Panel and floor regions of the design window, in pixels: the
// panel lies in the left third, the floor in the lower part.
constexpr int PANEL_RIGHT = 200;
constexpr int FLOOR_TOP = 140;

}  // namespace

using FirstFrame = ViewerTest;

TEST_F(FirstFrame, ShowsFloorPanelAndConeOnBlack) {
  EXPECT_GT(regionOf(first, isDarkStrip, 0, FLOOR_TOP, DESIGN_WIDTH, DESIGN_HEIGHT).count, 1000);
  EXPECT_GT(regionOf(first, isLightStrip, 0, FLOOR_TOP, DESIGN_WIDTH, DESIGN_HEIGHT).count, 1000);
  // The cone at angle 0 points right along the panel's x axis.
  const PixelRegion grey = regionOf(first, isGrey, 0, 0, PANEL_RIGHT, DESIGN_HEIGHT);
  const PixelRegion yellow = regionOf(first, isYellow, 0, 0, PANEL_RIGHT, DESIGN_HEIGHT);
  EXPECT_GT(grey.count, 200);
  EXPECT_GT(yellow.count, 800);
  EXPECT_GT(yellow.cx, (grey.minX + grey.maxX) / 2.0);
  // Above the floor and right of the panel there is only background.
  EXPECT_EQ(regionOf(first, isBlack, 250, 0, DESIGN_WIDTH, 100).count, (DESIGN_WIDTH - 250) * 100);
}

// The README shows the first frame; it must be the one the viewer draws.
TEST_F(FirstFrame, IsThePictureTheReadmeShows) {
  harness::Image pictured;
  std::string why;
  ASSERT_TRUE(readPng(QUILLMERE_SOURCE_DIR "/docs/quillmere.png", pictured, why)) << why;
  EXPECT_TRUE(pictured == first)
      << "docs/quillmere.png is not the viewer's first frame; renew it as CONTRIBUTING.md says";
  ASSERT_NO_FATAL_FAILURE(escape());
}

using Keys = ViewerTest;

// In X, Alt and Super leave the character alone and Ctrl makes it another.
// Each key that must not turn comes before one that does: had it turned,
// the next expected frame would be a step away.
TEST_F(Keys, XAndZTurnInEitherCaseAndWithAltOrSuperAndNothingElseDoes) {
  const harness::Image turned = pressAndWaitForChange(XK_x, first);
  EXPECT_NE(turned, first);
  // clang-format off
  const struct {
    unsigned long key;
    unsigned int modifiers;  // Mod1 is Alt, Mod4 Super
    const harness::Image* then;   // the frame it must show; nullptr for keys that do not turn
  } presses[] = {
      {XK_z, 0, &first},            {XK_X, ShiftMask, &turned}, {XK_x, ControlMask, nullptr},
      {XK_Z, ShiftMask, &first},    {XK_x, Mod1Mask, &turned},  {XK_z, Mod4Mask, &first},
      {XK_z, ControlMask, nullptr}, {XK_a, 0, nullptr},         {XK_space, 0, nullptr},
      {XK_Return, 0, nullptr},      {XK_1, 0, nullptr},         {XK_x, 0, &turned}};
  // clang-format on
  for (const auto& p : presses) {
    xw::pressKey(dpy, win, p.key, p.modifiers);
    if (p.then != nullptr) {
      EXPECT_TRUE(waitForFrame(*p.then, 10)) << XKeysymToString(p.key) << " with " << p.modifiers;
    }
  }
}

using Resize = ViewerTest;

// Right after a resize the window still holds part of the old frame, so each
// test waits for the property that only a redraw at the new size can have.
TEST_F(Resize, NarrowWindowWidensTheViewAndKeepsBothParts) {
  const int yellowBefore = regionOf(first, isYellow, 0, 0, DESIGN_WIDTH, DESIGN_HEIGHT).count;
  XResizeWindow(dpy, win, DESIGN_WIDTH / 2, DESIGN_HEIGHT);
  XFlush(dpy);
  // Twice the field of view: the panel is drawn at about half the size.
  EXPECT_TRUE(waitUntil(
      [&] {
        const harness::Image img = xw::grab(dpy, win);
        const int yellow = regionOf(img, isYellow, 0, 0, DESIGN_WIDTH / 2, DESIGN_HEIGHT).count;
        return img.width == DESIGN_WIDTH / 2 && yellow > 0 && yellow < yellowBefore / 2;
      },
      10))
      << "the narrow window never showed the smaller panel";
  const harness::Image narrow = xw::grabSettled(dpy, win, 5);
  EXPECT_GT(regionOf(narrow, isLightStrip, 0, 0, DESIGN_WIDTH / 2, DESIGN_HEIGHT).count, 200);
  EXPECT_GT(regionOf(narrow, isDarkStrip, 0, 0, DESIGN_WIDTH / 2, DESIGN_HEIGHT).count, 200);
  EXPECT_GT(regionOf(narrow, isGrey, 0, 0, DESIGN_WIDTH / 2, DESIGN_HEIGHT).count, 50);
}
