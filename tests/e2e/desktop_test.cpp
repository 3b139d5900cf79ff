// SPDX-License-Identifier: MIT
// How window managers and docks know the window: WM_CLASS, which they match
// to the desktop entry and to users' rules, and _NET_WM_PID, both there
// before a window manager first sees the window.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace {
// The StartupWMClass of each desktop entry in data/: docks show the window
// under the entry whose value is its WM_CLASS class name.
std::vector<std::string> startupWmClasses() {
  std::vector<std::string> classes;
  for (const auto& file : std::filesystem::directory_iterator(QUILLMERE_SOURCE_DIR "/data")) {
    if (file.path().extension() != ".desktop") {
      continue;
    }
    std::ifstream entry(file.path());
    std::string value = "(none in " + file.path().filename().string() + ")";
    for (std::string line; std::getline(entry, line);) {
      if (line.rfind("StartupWMClass=", 0) == 0) {
        value = line.substr(line.find('=') + 1);
      }
    }
    classes.push_back(value);
  }
  return classes;
}

class WindowIdentity : public ViewerTest {};

// The test itself as the window manager of a private server: it is told of
// every top-level window that asks to be mapped, and maps it only when it
// has read its properties. GLUT waits until its window shows, so the viewer
// can have set nothing more in between.
class FirstSight : public PrivateServer {};

// Openbox with a rule that places windows of the viewer's class where
// nothing else would put them.
class OpenboxRule : public OpenboxServer {
 protected:
  OpenboxRule() {
    applications = R"(    <application class="Quillmere" name="quillmere">
      <decor>no</decor>
      <position force="yes"><x>123</x><y>45</y></position>
    </application>
)";
  }
};
}  // namespace

TEST_F(WindowIdentity, ShowsTheViewersClassAndProcess) {
  ASSERT_NO_FATAL_FAILURE(expectNamed(dpy, win, viewer));
  ASSERT_NO_FATAL_FAILURE(escape());
}

// The line that puts the project's icon on the window in a dock.
TEST_F(WindowIdentity, TheDesktopEntryNamesTheWindowsClass) {
  EXPECT_EQ(startupWmClasses(), std::vector<std::string>{xw::windowClass(dpy, win).name});
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
  while (XQueryTree(dpy, frame, &root, &parent, &children, &n) != 0 && parent != root) {
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
