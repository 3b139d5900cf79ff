// SPDX-License-Identifier: MIT
// The real viewer under abuse: key and resize storms, missing and lost
// displays, and windows closed or destroyed from outside.
#include "e2e_support.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>

namespace {
// Expects a process that ended by itself through the toolkit's exit(1), not
// by a signal.
void expectExitedWithOne(const xh::Process& p) {
  ASSERT_TRUE(p.ended);
  ASSERT_TRUE(WIFEXITED(p.status)) << "killed by signal " << WTERMSIG(p.status);
  EXPECT_EQ(WEXITSTATUS(p.status), 1);
}

// A second, private X server, so a test can take it away from the viewer.
struct PrivateServer {
  xh::Process server;
  std::string display;

  bool start() {
    int fds[2];
    if (pipe(fds) != 0) {
      return false;
    }
    // The server's end of the pipe becomes its fd 3 through the wrapper shell.
    const std::string cmd =
        "exec Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>&" +
        std::to_string(fds[1]);
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    server = xh::start({"/bin/sh", "-c", cmd});
    close(fds[1]);
    std::string number;
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    const bool ready = xh::waitUntil(
        [&] {
          char c;
          while (read(fds[0], &c, 1) == 1) {
            if (c == '\n') {
              return true;
            }
            number += c;
          }
          return false;
        },
        seconds(20));
    close(fds[0]);
    display = ":" + number;
    return ready;
  }
};
}  // namespace

using KeyStorm = ViewerTest;

TEST_F(KeyStorm, ThousandKeysLandOnTheExpectedFrame) {
  std::mt19937 rng(1208);
  const unsigned long keys[] = {XK_x, XK_z, XK_X, XK_Z};
  int net = 0;
  std::vector<int> picks;
  for (int n = 0; n < 1000; ++n) {
    const int k = static_cast<int>(rng() % 4);
    picks.push_back(k);
    net += (k == 0 || k == 2) ? 1 : -1;
  }
  // The reference frame: a viewer brought to the same angle the short way
  // round, one key at a time, each waited for.
  launch();
  const int steps = ((net % 72) + 72) % 72;
  const bool up = steps <= 36;
  xh::Image reference = first;
  for (int k = 0; k < (up ? steps : 72 - steps); ++k) {
    reference = pressAndWaitForChange(up ? XK_x : XK_z, reference);
  }
  escape();

  launch();
  for (int k : picks) {
    xh::pressKey(dpy, win, keys[k], k >= 2);
  }
  EXPECT_TRUE(waitForFrame(reference, seconds(60))) << "the burst did not end on its frame";
  escape();
}

using ResizeStorm = ViewerTest;

TEST_F(ResizeStorm, TwoHundredResizesEndOnTheFirstFrame) {
  launch();
  const int extremes[][2] = {{1, 1}, {1, 1000}, {1000, 1}, {2000, 2000}};
  std::mt19937 rng(7);
  for (int n = 0; n < 199; ++n) {
    if (n % 50 < 4) {
      xh::resize(dpy, win, extremes[n % 50][0], extremes[n % 50][1]);
    } else {
      xh::resize(dpy, win, 1 + static_cast<int>(rng() % 1200), 1 + static_cast<int>(rng() % 900));
    }
  }
  xh::resize(dpy, win, 600, 207);
  EXPECT_TRUE(waitForFrame(first, seconds(30))) << "the design size did not bring back its frame";
  EXPECT_FALSE(xh::waitForExit(viewer, 0.2)) << "exited with status " << viewer.status;
  escape();
}

TEST(NoDisplay, UnsetDisplayEndsQuicklyWithTheToolkitsMessage) {
  xh::Process p = xh::start({"env", "-u", "DISPLAY", QUILLMERE_BINARY});
  const xh::Reaper reaper{p};
  ASSERT_TRUE(xh::waitForExit(p, seconds(10))) << "hung without a display";
  expectExitedWithOne(p);
  EXPECT_NE(p.err.find("failed to open display"), std::string::npos) << p.err;
  EXPECT_EQ(p.out, "");
}

TEST(NoDisplay, MissingServerEndsQuicklyWithTheToolkitsMessage) {
  xh::Process p = xh::start({QUILLMERE_BINARY}, {"DISPLAY=:4999"});
  const xh::Reaper reaper{p};
  ASSERT_TRUE(xh::waitForExit(p, seconds(10))) << "hung on a display with no server";
  expectExitedWithOne(p);
  EXPECT_NE(p.err.find("failed to open display ':4999'"), std::string::npos) << p.err;
}

TEST(LostDisplay, ServerGoneEndsTheViewerWithinSeconds) {
  PrivateServer x;
  const xh::Reaper serverReaper{x.server};
  ASSERT_TRUE(x.start()) << "could not start a private Xvfb";
  Display* own = XOpenDisplay(x.display.c_str());
  ASSERT_NE(own, nullptr);
  xh::Process p = xh::start({QUILLMERE_BINARY}, {"DISPLAY=" + x.display});
  const xh::Reaper viewerReaper{p};
  const Window win = xh::findWindow(own, "Quillmere", seconds(20));
  ASSERT_NE(win, 0UL);
  XCloseDisplay(own);

  ::kill(x.server.pid, SIGKILL);
  xh::waitForExit(x.server, seconds(5));
  EXPECT_TRUE(xh::waitForExit(p, seconds(5))) << "hung after losing its display";
  expectExitedWithOne(p);
}

using Closed = ViewerTest;

TEST_F(Closed, WindowManagerDeleteEndsTheProcess) {
  launch();
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = win;
  ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, win, False, NoEventMask, &ev);
  XFlush(dpy);
  ASSERT_TRUE(xh::waitForExit(viewer, seconds(10))) << "hung after WM_DELETE_WINDOW";
  ASSERT_TRUE(WIFEXITED(viewer.status)) << "killed by signal " << WTERMSIG(viewer.status);
  EXPECT_EQ(WEXITSTATUS(viewer.status), 0);
}

// GLUT ignores the destruction of its window: the process stays, idle and
// without a window, until it is sent a signal.
TEST_F(Closed, WindowDestroyedByAnotherClientLeavesAnIdleProcess) {
  launch();
  XDestroyWindow(dpy, win);
  XSync(dpy, False);
  const long before = xh::cpuTicks(viewer.pid);
  EXPECT_FALSE(xh::waitForExit(viewer, seconds(2))) << "ended with status " << viewer.status;
  EXPECT_LT(xh::cpuTicks(viewer.pid) - before, 20) << "spins without its window";
  ::kill(viewer.pid, SIGTERM);
  ASSERT_TRUE(xh::waitForExit(viewer, seconds(5)));
  EXPECT_TRUE(WIFSIGNALED(viewer.status) && WTERMSIG(viewer.status) == SIGTERM);
}

TEST_F(Closed, ConnectionKilledByAnotherClientEndsTheProcess) {
  launch();
  XKillClient(dpy, win);
  XFlush(dpy);
  ASSERT_TRUE(xh::waitForExit(viewer, seconds(10))) << "hung after its connection was killed";
  expectExitedWithOne(viewer);
  EXPECT_NE(viewer.err.find("X connection to"), std::string::npos) << viewer.err;
}
