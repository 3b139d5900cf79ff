// SPDX-License-Identifier: MIT
// The viewer in a Wayland session, as most desktops run today: weston's
// headless backend with Xwayland, in a runtime directory of the test's own.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "e2e/e2e_support.h"

namespace {
class WaylandSession : public DisplayTest {
 protected:
  void SetUp() override {
    if (std::string(WESTON).empty() || std::string(XWAYLAND).empty()) {
      GTEST_SKIP() << "weston or Xwayland is not installed";
    }
    runtimeDir = scratchDirectory("wayland");
    ASSERT_FALSE(runtimeDir.empty());
    // Weston leaves its own clients and Xwayland to whoever inherits them;
    // this process does, and reaps them when the session ends.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    weston = proc::start({"env", "XDG_RUNTIME_DIR=" + runtimeDir, WESTON,
                          "--backend=headless-backend.so", "--xwayland", "--idle-time=0",
                          "--socket=quillmere-test"});
    // Weston logs the display its Xwayland will serve once it listens.
    const std::string marker = "xserver listening on display ";
    ASSERT_TRUE(waitUntil(
        [&] {
          proc::drain(weston);
          const size_t at = weston.err.find(marker);
          if (at != std::string::npos) {
            std::istringstream(weston.err.substr(at + marker.size())) >> displayName;
          }
          return !displayName.empty();
        },
        20))
        << "weston did not start Xwayland: " << weston.err;
    ASSERT_NO_FATAL_FAILURE(DisplayTest::SetUp());
  }

  void TearDown() override {
    DisplayTest::TearDown();
    if (runtimeDir.empty()) {
      return;  // skipped: no session was started
    }
    if (!weston.ended) {
      kill(weston.pid, SIGTERM);
      EXPECT_TRUE(proc::waitForExit(weston, 10)) << "weston did not stop";
    }
    proc::stop(weston);
    EXPECT_TRUE(waitUntil([] { return waitpid(-1, nullptr, WNOHANG) < 0; }, 10))
        << "weston's children outlived the session";
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    std::filesystem::remove_all(runtimeDir);
  }

  std::string runtimeDir;
  proc::Process weston;
};
}  // namespace

TEST_F(WaylandSession, XwaylandShowsTheNamedWindowTurnsItAndEscExits) {
  ASSERT_NO_FATAL_FAILURE(launch());
  ASSERT_NO_FATAL_FAILURE(expectNamed(dpy, win, viewer));
  XWindowAttributes attrs;  // inside weston's frame, so only its size counts
  XGetWindowAttributes(dpy, win, &attrs);
  EXPECT_EQ(attrs.width, DESIGN_WIDTH);
  EXPECT_EQ(attrs.height, DESIGN_HEIGHT);
  EXPECT_NE(pressAndWaitForChange(XK_x, first), first);
  xw::pressKey(dpy, win, XK_z);
  EXPECT_TRUE(waitForFrame(first, 10)) << "z did not bring back the first frame";
  ASSERT_NO_FATAL_FAILURE(escape());
}
