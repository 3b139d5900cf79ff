// SPDX-License-Identifier: MIT
// Shared set-up of the end-to-end tests: a running viewer, its window, and
// the colours a frame is made of.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "x11_harness.h"

// Deadlines are scaled up when the viewer runs under valgrind.
double seconds(double s);

// Colour classes of a frame, within 2/255 of the drawn values.
bool isBlack(xh::Rgb c);
bool isDarkStrip(xh::Rgb c);   // (0.4, 0.2, 0.2)
bool isLightStrip(xh::Rgb c);  // (0.4, 1.0, 1.0)
bool isGrey(xh::Rgb c);        // (0.5, 0.5, 0.5)
bool isYellow(xh::Rgb c);      // (v, v, 0), v > 0

// Counts and centre of the pixels of one class inside a rectangle.
struct PixelRegion {
  int count = 0;
  double cx = 0;
  double cy = 0;
  int minX = 0;
  int maxX = 0;
  int minY = 0;
  int maxY = 0;
};
PixelRegion regionOf(const xh::Image& img, bool (*cls)(xh::Rgb), int x0, int y0, int x1, int y1);
int countOf(const xh::Image& img, bool (*cls)(xh::Rgb));

class ViewerTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the viewer and waits for its first finished frame.
  void launch();
  // Presses a key and waits until the window shows a settled frame that
  // differs from `before`.
  xh::Image pressAndWaitForChange(unsigned long keysym, const xh::Image& before,
                                  bool shift = false);
  // Waits until the window shows exactly `target`.
  bool waitForFrame(const xh::Image& target, double s);
  // Presses Esc and waits for the process to end.
  void escape();

  Display* dpy = nullptr;
  Window win = 0;
  xh::Process viewer;
  xh::Image first;
};
