// SPDX-License-Identifier: MIT
// quillmere-shot: starts the viewer, saves a PNG of its window once it shows
// a finished frame, and ends it with Esc. make run uses it to show the viewer
// on a virtual display.
//   quillmere-shot OUTPUT.png VIEWER [ARG...]
// It passes on what the viewer printed, and exits 0 only when the PNG was
// saved and the viewer ended by itself with status 0. Before it starts
// anything it checks that OUTPUT can be written: a symbolic link is written
// through, a read-only file is refused, not replaced. Every wait has a
// deadline, and it never leaves the viewer, or any process below it, running:
// as a subreaper (prctl's PR_SET_CHILD_SUBREAPER) it inherits whatever they
// leave, in a session of their own or not, and ends it. A cgroup or a PID
// namespace would need privileges or a delegated hierarchy that an ordinary
// user may lack; a subreaper needs neither.
#include <X11/keysym.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "harness/png.h"
#include "harness/process.h"
#include "harness/x11_window.h"

constexpr char VIEWER_TITLE[] = "Quillmere";
constexpr double REFUSED_WAIT_SECONDS = 2.0;  // for a display still starting to take connections
constexpr unsigned DISPLAY_WAIT_SECONDS = 5;  // for a display to answer at all
constexpr double WINDOW_WAIT_SECONDS = 20.0;  // for the window and its first frame
constexpr double SETTLE_SECONDS = 5.0;        // for two equal screenshots in a row
constexpr double EXIT_WAIT_SECONDS = 10.0;    // for the viewer to end after Esc

// Xlib waits without a deadline for a display that takes the connection and
// never answers; the alarm ends the wait, with this line, before anything
// has been started.
static char displaySilentLine[512];
extern "C" void onDisplaySilent(int) {
  const ssize_t written = write(STDERR_FILENO, displaySilentLine, strlen(displaySilentLine));
  (void)written;
  _exit(1);
}

// The viewer's process group, ended with everything below this tool if it
// is interrupted.
static pid_t viewerGroup = 0;
extern "C" void onInterrupt(int sig) {
  if (viewerGroup > 0) {
    kill(-viewerGroup, SIGKILL);
  }
  proc::endDescendants();
  _exit(128 + sig);
}

static Display* openDisplayWithDeadline() {
  const char* name = getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    fprintf(stderr, "quillmere-shot: no display: DISPLAY is %s\n",
            name == nullptr ? "not set" : "empty");
    return nullptr;
  }
  snprintf(displaySilentLine, sizeof displaySilentLine,
           "quillmere-shot: the display %s did not answer within %u s\n", name,
           DISPLAY_WAIT_SECONDS);
  signal(SIGALRM, onDisplaySilent);
  alarm(DISPLAY_WAIT_SECONDS);
  Display* dpy = xw::openDisplay(name, REFUSED_WAIT_SECONDS);
  alarm(0);
  signal(SIGALRM, SIG_DFL);
  if (dpy == nullptr) {
    fprintf(stderr, "quillmere-shot: cannot open the display %s\n", name);
  }
  return dpy;
}

// How a process that has ended ended, in words.
static std::string endingOf(const proc::Process& p) {
  char text[64];
  if (WIFEXITED(p.status)) {
    snprintf(text, sizeof text, "exit status %d", WEXITSTATUS(p.status));
  } else {
    snprintf(text, sizeof text, "signal %s", strsignal(WTERMSIG(p.status)));
  }
  return text;
}

// Gives the viewer up to `seconds` to end by itself, ends whatever is left
// of it and of what it started, and passes on its lines, where they would
// have gone had it run alone. True if it ended by itself.
static bool endViewer(proc::Process& viewer, double seconds) {
  const bool ended = proc::waitForExit(viewer, seconds);
  proc::stop(viewer);
  proc::endDescendants();
  fwrite(viewer.out.data(), 1, viewer.out.size(), stdout);
  fflush(stdout);
  fwrite(viewer.err.data(), 1, viewer.err.size(), stderr);
  if (viewer.dropped > 0) {
    fprintf(stderr, "quillmere-shot: %zu more bytes of the viewer's output were left out\n",
            viewer.dropped);
  }
  return ended;
}

static const char USAGE[] =
    "usage: quillmere-shot OUTPUT.png VIEWER [ARG...]\n"
    "Starts VIEWER on the display that DISPLAY names, saves its window's first\n"
    "finished frame to OUTPUT.png, ends it with Esc and passes on its output.\n";

int main(int argc, char** argv) {
  if (argc == 2 && (strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0)) {
    fputs(USAGE, stdout);
    return 0;
  }
  if (argc < 3) {
    fputs(USAGE, stderr);
    return 2;
  }
  const char* out = argv[1];
  // A FIFO, a directory, a missing directory or a read-only file would stop
  // the PNG only after the viewer had run: said before anything starts.
  std::string whyNot;
  if (!canWritePng(out, whyNot)) {
    fprintf(stderr, "quillmere-shot: cannot write %s: %s\n", out, whyNot.c_str());
    return 1;
  }
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  Display* dpy = openDisplayWithDeadline();
  if (dpy == nullptr) {
    return 1;
  }
  proc::Process viewer = proc::start(std::vector<std::string>(argv + 2, argv + argc));
  const proc::Reaper reaper{viewer};
  if (viewer.startError != 0) {
    fprintf(stderr, "quillmere-shot: cannot start %s: %s\n", argv[2], strerror(viewer.startError));
    return 1;
  }
  viewerGroup = viewer.pid;
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    signal(sig, onInterrupt);
  }
  // Its own window, by the process that made it: another viewer on the
  // display has the same title. One that ends first ends the wait too.
  const Window win = xw::findPaintedWindow(
      dpy, VIEWER_TITLE, WINDOW_WAIT_SECONDS, [&] { return proc::waitForExit(viewer, 0.0); },
      [&](Display* d, Window w) {
        return proc::inGroupOf(viewer, xw::cardinalProperty(d, w, "_NET_WM_PID"));
      });
  if (win == 0) {
    if (endViewer(viewer, 0.0)) {
      fprintf(stderr, "quillmere-shot: the viewer ended (%s) before its window showed a frame\n",
              endingOf(viewer).c_str());
    } else {
      fprintf(stderr, "quillmere-shot: no window of the viewer's showed a frame within %.0f s\n",
              WINDOW_WAIT_SECONDS);
    }
    return 1;
  }
  const harness::Image frame = xw::grabSettled(dpy, win, SETTLE_SECONDS);
  const int writeError = writePng(out, frame.width, frame.height, frame.rgb);
  // Ended with Esc whether or not the PNG was saved: the viewer then exits
  // by itself and its lines are not lost.
  xw::pressKey(dpy, win, XK_Escape);
  XCloseDisplay(dpy);
  const bool ended = endViewer(viewer, EXIT_WAIT_SECONDS);
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
    fprintf(stderr, "quillmere-shot: the viewer ended with %s after Esc\n",
            endingOf(viewer).c_str());
    status = 1;
  }
  return status;
}
