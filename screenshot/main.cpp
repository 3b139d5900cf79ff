// SPDX-License-Identifier: MIT
// quillmere-shot: starts the viewer, saves a PNG of its window once it shows
// a finished frame, and ends it with Esc. make run uses it to show the viewer
// on a virtual display.
//   quillmere-shot OUTPUT.png VIEWER [ARG...]
// It passes on what the viewer printed, and exits 0 only when the PNG was
// saved and the viewer ended by itself with status 0.
#include <X11/keysym.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "screenshot/png.h"
#include "xdriver/process.h"
#include "xdriver/x11_window.h"

constexpr char VIEWER_TITLE[] = "Quillmere";
constexpr double WINDOW_WAIT_SECONDS = 20.0;  // for the window and its first frame
constexpr double SETTLE_SECONDS = 5.0;        // for two equal screenshots in a row
constexpr double EXIT_WAIT_SECONDS = 10.0;    // for the viewer to end after Esc

// How a process that has ended ended, in words, into `text`.
static const char* endingOf(const proc::Process& p, char (&text)[64]) {
  if (WIFEXITED(p.status)) {
    snprintf(text, sizeof text, "exit status %d", WEXITSTATUS(p.status));
  } else {
    snprintf(text, sizeof text, "signal %s", strsignal(WTERMSIG(p.status)));
  }
  return text;
}

// The viewer's own lines, where they would have gone had it run alone.
static void passOn(const proc::Process& viewer) {
  fputs(viewer.out.c_str(), stdout);
  fflush(stdout);
  fputs(viewer.err.c_str(), stderr);
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s OUTPUT.png VIEWER [ARG...]\n", argv[0]);
    return 2;
  }
  const char* out = argv[1];
  Display* dpy = xw::openDisplay();
  if (!dpy) {
    fprintf(stderr, "quillmere-shot: cannot open display\n");
    return 1;
  }
  proc::Process viewer = proc::start(std::vector<std::string>(argv + 2, argv + argc));
  const proc::Reaper reaper{viewer};
  if (viewer.ended) {  // it could not even be started
    fprintf(stderr, "quillmere-shot: cannot start %s\n", argv[2]);
    return 1;
  }
  // A viewer that ends before its window shows ends the wait too.
  const Window win = xw::findPaintedWindow(dpy, VIEWER_TITLE, WINDOW_WAIT_SECONDS,
                                           [&] { return proc::waitForExit(viewer, 0.0); });
  if (!win) {
    const bool ended = viewer.ended || proc::waitForExit(viewer, 0.0);
    proc::stop(viewer);
    passOn(viewer);
    if (ended) {
      char ending[64];
      fprintf(stderr, "quillmere-shot: the viewer ended (%s) before its window showed a frame\n",
              endingOf(viewer, ending));
    } else {
      fprintf(stderr, "quillmere-shot: no window titled \"%s\" showed a frame within %.0f s\n",
              VIEWER_TITLE, WINDOW_WAIT_SECONDS);
    }
    return 1;
  }
  const xw::Image frame = xw::grabSettled(dpy, win, SETTLE_SECONDS);
  const int writeError = writePng(out, frame.width, frame.height, frame.rgb);
  // Ended with Esc whether or not the PNG was saved: the viewer then exits
  // by itself and its lines are not lost.
  xw::pressKey(dpy, win, XK_Escape);
  XCloseDisplay(dpy);
  const bool ended = proc::waitForExit(viewer, EXIT_WAIT_SECONDS);
  proc::stop(viewer);
  passOn(viewer);
  int status = 0;
  if (writeError != 0) {
    fprintf(stderr, "quillmere-shot: cannot write %s: %s\n", out, strerror(writeError));
    status = 1;
  }
  if (!ended) {
    fprintf(stderr, "quillmere-shot: the viewer did not end within %.0f s of Esc\n",
            EXIT_WAIT_SECONDS);
    status = 1;
  } else if (!WIFEXITED(viewer.status) || WEXITSTATUS(viewer.status) != 0) {
    char ending[64];
    fprintf(stderr, "quillmere-shot: the viewer ended with %s after Esc\n",
            endingOf(viewer, ending));
    status = 1;
  }
  return status;
}
