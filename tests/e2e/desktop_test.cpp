// SPDX-License-Identifier: MIT
// How window managers and docks know the window: WM_CLASS, which they match
// to the desktop entry and to users' rules, and _NET_WM_PID, both there
// before a window manager first sees the window.
#include <filesystem>
#include <fstream>
#include <string>

#include "e2e/e2e_support.h"

namespace {
class WindowIdentity : public ViewerTest {};

// The test itself as the window manager of a private server: it is told of
// every top-level window that asks to be mapped, and maps it only when it
// has read its properties. GLUT waits until its window shows, so the viewer
// can have set nothing more in between.
class FirstSight : public PrivateServer {};

// Openbox on a private server, with a rule that places windows of the
// viewer's class where nothing else would put them.
class OpenboxRule : public PrivateServer {
 protected:
  void SetUp() override {
    if (std::string(OPENBOX).empty()) {
      GTEST_SKIP() << "openbox is not installed";
    }
    ASSERT_NO_FATAL_FAILURE(PrivateServer::SetUp());
    const std::string& home = scratch;
    std::ofstream(home + "/rc.xml") << R"(<?xml version="1.0"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <applications>
    <application class="Quillmere" name="quillmere">
      <decor>no</decor>
      <position force="yes"><x>123</x><y>45</y></position>
    </application>
  </applications>
</openbox_config>
)";
    // Its own home and XDG directories keep what it writes in the scratch.
    wm = proc::start({"env", "DISPLAY=" + displayName, "HOME=" + home, "XDG_CONFIG_HOME=" + home,
                      "XDG_CACHE_HOME=" + home, "XDG_DATA_HOME=" + home, "XDG_STATE_HOME=" + home,
                      OPENBOX, "--config-file", home + "/rc.xml"});
    // Openbox takes over the root window early in its start, but a map
    // request that comes before it has loaded its theme, which on a fresh
    // system takes seconds, is lost. So a window of the test's own asks to
    // be mapped until openbox manages it.
    const Window probe = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    int tries = 0;
    const bool managed = waitUntil(
        [&] {
          if (tries++ % 20 == 0) {  // every 0.1 s
            XMapWindow(dpy, probe);
            XSync(dpy, False);
          }
          proc::drain(wm);
          return xw::hasProperty(dpy, probe, "WM_STATE");
        },
        30);
    XDestroyWindow(dpy, probe);
    XSync(dpy, False);
    ASSERT_TRUE(managed) << "openbox managed no window within 30 s: " << wm.err;
  }
  void TearDown() override {
    proc::stop(wm);
    PrivateServer::TearDown();
  }
  proc::Process wm;
};
}  // namespace

TEST_F(WindowIdentity, ShowsTheViewersClassAndProcess) {
  ASSERT_NO_FATAL_FAILURE(expectNamed(dpy, win, viewer));
  ASSERT_NO_FATAL_FAILURE(escape());
}

TEST_F(FirstSight, ClassAndProcessAreSetWhenTheWindowAsksToBeMapped) {
  XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureRedirectMask);
  XSync(dpy, False);
  viewer = proc::start(viewerOn(displayName));
  XEvent ev{};
  ASSERT_TRUE(waitUntil(
      [&] {
        while (XPending(dpy)) {
          XNextEvent(dpy, &ev);
          if (ev.type == MapRequest) {
            return true;
          }
        }
        return false;
      },
      20))
      << "the viewer asked for no map; stderr: " << (proc::drain(viewer), viewer.err);
  win = ev.xmaprequest.window;
  ASSERT_NO_FATAL_FAILURE(expectNamed(dpy, win, viewer));
  XMapWindow(dpy, win);
  XSync(dpy, False);
  ASSERT_TRUE(waitUntil([&] { return xw::isPainted(xw::grab(dpy, win)); }, 20))
      << "the mapped window showed no frame";
  ASSERT_NO_FATAL_FAILURE(escape());
}

TEST_F(OpenboxRule, MatchesTheWindowByItsClassAndInstance) {
  ASSERT_NO_FATAL_FAILURE(launch());
  ASSERT_NO_FATAL_FAILURE(expectNamed(dpy, win, viewer));
  // The rule places openbox's frame, the child of the root that holds the
  // window; without it openbox keeps the place the viewer asks for, (0, 0).
  Window frame = win;
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int n = 0;
  while (XQueryTree(dpy, frame, &root, &parent, &children, &n) && parent != root) {
    XFree(children);
    frame = parent;
  }
  XFree(children);
  XWindowAttributes attrs;
  XGetWindowAttributes(dpy, frame, &attrs);
  EXPECT_EQ(attrs.x, 123);
  EXPECT_EQ(attrs.y, 45);
  ASSERT_NO_FATAL_FAILURE(escape());
}
