// SPDX-License-Identifier: MIT
// quillmere-shot: saves a PNG of a window once it shows a finished frame, then
// presses Esc in it. make run uses it to show the viewer on a virtual display.
#include <X11/keysym.h>

#include <cstdio>
#include <string>

#include "screenshot/png.h"
#include "xdriver/x11_window.h"

constexpr double WINDOW_WAIT_SECONDS = 20.0;  // for the window and its first frame
constexpr double SETTLE_SECONDS = 5.0;        // for two equal screenshots in a row

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s TITLE OUTPUT.png\n", argv[0]);
    return 2;
  }
  const std::string title = argv[1];
  const std::string out = argv[2];

  Display* dpy = xw::openDisplay();
  if (!dpy) {
    fprintf(stderr, "quillmere-shot: cannot open display\n");
    return 1;
  }
  const Window win = xw::findPaintedWindow(dpy, title, WINDOW_WAIT_SECONDS);
  if (!win) {
    fprintf(stderr, "quillmere-shot: no window titled \"%s\" showed a frame within %.0f s\n",
            title.c_str(), WINDOW_WAIT_SECONDS);
    return 1;
  }
  const xw::Image frame = xw::grabSettled(dpy, win, SETTLE_SECONDS);
  if (!writePng(out, frame.width, frame.height, frame.rgb)) {
    fprintf(stderr, "quillmere-shot: cannot write %s\n", out.c_str());
    return 1;
  }
  xw::pressKey(dpy, win, XK_Escape);
  XCloseDisplay(dpy);
  return 0;
}
