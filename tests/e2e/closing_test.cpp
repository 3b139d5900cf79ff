// SPDX-License-Identifier: MIT
// The window closed or the display lost from outside: what freeglut and
// Xlib then do to the viewer. These pin the platform's behaviour, which the
// man page documents, not ours.
#include <signal.h>
#include <sys/wait.h>

#include "e2e/e2e_support.h"

using LostDisplay = PrivateServer;

TEST_F(LostDisplay, ServerGoneEndsTheViewerWithOne) {
  ASSERT_NO_FATAL_FAILURE(launch());
  XCloseDisplay(dpy);  // or Xlib would end this program as well
  dpy = nullptr;
  stopServer();
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(viewer, 1, 5));
  EXPECT_NE(viewer.err.find("X connection to"), std::string::npos) << viewer.err;
}

using Closed = ViewerTest;

TEST_F(Closed, WindowManagerDeleteEndsTheProcessWithZero) {
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = win;
  ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, win, False, NoEventMask, &ev);
  XFlush(dpy);
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(viewer, 0, 10));
}

// The toolkit ignores the destruction of its window: the process stays, idle
// and without a window, until a signal ends it as that signal, and what it
// printed is lost with it.
TEST_F(Closed, WindowDestroyedByAnotherClientLeavesAnIdleProcess) {
  XDestroyWindow(dpy, win);
  XSync(dpy, False);
  const long before = proc::cpuTicks(viewer.pid);
  EXPECT_FALSE(proc::waitForExit(viewer, 2)) << "ended with status " << viewer.status;
  EXPECT_LT(proc::cpuTicks(viewer.pid) - before, 20) << "spins without its window";
  kill(viewer.pid, SIGTERM);
  ASSERT_TRUE(proc::waitForExit(viewer, 5));
  EXPECT_TRUE(WIFSIGNALED(viewer.status) && WTERMSIG(viewer.status) == SIGTERM);
  EXPECT_EQ(viewer.out, "");
}

// A turn that was already on its way is drawn into the destroyed window.
TEST_F(Closed, WindowDestroyedWithATurnPendingEndsWithAnXError) {
  XGrabServer(dpy);  // the viewer sees the key and the destruction only together
  xw::pressKey(dpy, win, XK_x);
  XDestroyWindow(dpy, win);
  XUngrabServer(dpy);
  XFlush(dpy);
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(viewer, 1, 10));
  EXPECT_NE(viewer.err.find("BadDrawable"), std::string::npos) << viewer.err;
}

TEST_F(Closed, ConnectionKilledByAnotherClientEndsTheProcessWithOne) {
  XKillClient(dpy, win);
  XFlush(dpy);
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(viewer, 1, 10));
  EXPECT_NE(viewer.err.find("X connection to"), std::string::npos) << viewer.err;
}
