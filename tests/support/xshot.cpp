// SPDX-License-Identifier: MIT
// Saves a PNG of the viewer's window once it shows a finished frame, and can
// then press Esc in it: the screenshot step of `make run` on a virtual display.
#include <X11/keysym.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "x11_harness.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s TITLE OUTPUT.png [--escape]\n", argv[0]);
    return 2;
  }
  const std::string title = argv[1];
  const std::string out = argv[2];
  const bool escape = argc > 3 && std::string(argv[3]) == "--escape";

  Display* dpy = xh::openDisplay();
  if (!dpy) {
    fprintf(stderr, "xshot: cannot open display\n");
    return 1;
  }
  const Window win = xh::findWindow(dpy, title, 20.0);
  if (!win) {
    fprintf(stderr, "xshot: no window titled \"%s\" appeared within 20 s\n", title.c_str());
    return 1;
  }
  // The first frame is painted on GLUT's first expose; wait for something
  // other than the black clear colour, then for the frame to settle.
  const bool painted = xh::waitUntil([&] { return xh::isPainted(xh::grab(dpy, win)); }, 20.0);
  if (!painted) {
    fprintf(stderr, "xshot: the window stayed black\n");
    return 1;
  }
  const xh::Image img = xh::grabSettled(dpy, win, 5.0);
  if (!xh::writePng(out, img)) {
    fprintf(stderr, "xshot: cannot write %s\n", out.c_str());
    return 1;
  }
  if (escape) {
    xh::pressKey(dpy, win, XK_Escape);
  }
  XCloseDisplay(dpy);
  return 0;
}
