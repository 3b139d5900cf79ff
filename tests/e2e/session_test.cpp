// SPDX-License-Identifier: MIT
// The viewer in a Wayland session, as most desktops run today: weston's
// headless backend with Xwayland, in a runtime directory of the test's own.
#include <X11/keysym.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "e2e/e2e_support.h"

namespace {
// Xwayland gives the keyboard focus only to the window the compositor
// activates, and a headless weston has no keyboard to do that with; so the
// keys travel as X events sent to the window itself.
void sendKey(Display* dpy, Window win, unsigned long keysym) {
  XEvent ev{};
  ev.xkey.display = dpy;
  ev.xkey.window = win;
  ev.xkey.root = DefaultRootWindow(dpy);
  ev.xkey.time = CurrentTime;
  ev.xkey.same_screen = True;
  ev.xkey.keycode = XKeysymToKeycode(dpy, keysym);
  for (const int type : {KeyPress, KeyRelease}) {
    ev.type = type;
    XSendEvent(dpy, win, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &ev);
  }
  XFlush(dpy);
}

class WaylandSession : public DisplayTest {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/quillmere-wayland-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    runtimeDir = dir;
    // Weston leaves its own clients and Xwayland to whoever inherits them;
    // this process does, and reaps them when the session ends.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    const std::string log = runtimeDir + "/weston.log";
    weston = proc::start({WESTON, "--backend=headless-backend.so", "--xwayland", "--idle-time=0",
                          "--socket=quillmere-test", "--log=" + log},
                         {"XDG_RUNTIME_DIR=" + runtimeDir});
    // Weston names the display its Xwayland will serve once it listens.
    const std::string marker = "xserver listening on display ";
    ASSERT_TRUE(xw::waitUntil(
        [&] {
          std::stringstream text;
          text << std::ifstream(log).rdbuf();
          const size_t at = text.str().find(marker);
          if (at != std::string::npos) {
            std::istringstream(text.str().substr(at + marker.size())) >> displayName;
          }
          return !displayName.empty();
        },
        20))
        << "weston did not start Xwayland";
    ASSERT_NO_FATAL_FAILURE(DisplayTest::SetUp());
  }

  void TearDown() override {
    DisplayTest::TearDown();
    if (!weston.ended) {
      ::kill(weston.pid, SIGTERM);
      EXPECT_TRUE(proc::waitForExit(weston, 10)) << "weston did not stop";
    }
    proc::kill(weston);
    EXPECT_TRUE(xw::waitUntil([] { return waitpid(-1, nullptr, WNOHANG) < 0; }, 10))
        << "weston's children outlived the session";
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    std::filesystem::remove_all(runtimeDir);
  }

  std::string runtimeDir;
  proc::Process weston;
};
}  // namespace

TEST_F(WaylandSession, XwaylandShowsTheWindowTurnsItAndEscExits) {
  ASSERT_NO_FATAL_FAILURE(launch());
  const Geometry g = geometryOf(dpy, win);
  EXPECT_EQ(g.width, 600);
  EXPECT_EQ(g.height, 207);
  sendKey(dpy, win, XK_x);
  EXPECT_TRUE(xw::waitUntil([&] { return xw::grab(dpy, win) != first; }, 10)) << "x did not turn";
  sendKey(dpy, win, XK_z);
  EXPECT_TRUE(waitForFrame(first, 10)) << "z did not bring back the first frame";
  sendKey(dpy, win, XK_Escape);
  ASSERT_TRUE(proc::waitForExit(viewer, 10)) << "Esc did not end the viewer";
  EXPECT_NO_FATAL_FAILURE(expectExitedWith(viewer, 0));
}
