// SPDX-License-Identifier: MIT
// The display and viewer fixtures and the colour classes of the end-to-end tests.
#include "e2e/e2e_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "render/map_panel.h"
#include "render/scene.h"

// Within 2 of the 8-bit value a channel of intensity `expected` shows.
static bool near(int value, float expected) {
  const float level = expected * 255.0F;
  return static_cast<float>(value) >= level - 2.0F && static_cast<float>(value) <= level + 2.0F;
}

bool isBlack(harness::Rgb c) { return c.r <= 2 && c.g <= 2 && c.b <= 2; }
bool isDarkStrip(harness::Rgb c) {
  return near(c.r, STRIP_RED) && near(c.g, STRIP_DARK_SHADE) && near(c.b, STRIP_DARK_SHADE);
}
bool isLightStrip(harness::Rgb c) {
  return near(c.r, STRIP_RED) && near(c.g, STRIP_LIGHT_SHADE) && near(c.b, STRIP_LIGHT_SHADE);
}
bool isGrey(harness::Rgb c) { return near(c.r, MAP_GREY) && c.g == c.r && c.b == c.r; }
bool isYellow(harness::Rgb c) { return c.r > 2 && c.b <= 2 && c.r - c.g <= 2 && c.g - c.r <= 2; }

PixelRegion regionOf(const harness::Image& img, bool (*cls)(harness::Rgb), int x0, int y0, int x1,
                     int y1) {
  PixelRegion r;
  r.minX = x1;
  for (int y = y0; y < y1 && y < img.height; ++y) {
    for (int x = x0; x < x1 && x < img.width; ++x) {
      if (cls(img.at(x, y))) {
        r.cx += (x - r.cx) / ++r.count;  // the running mean
        r.minX = std::min(r.minX, x);
        r.maxX = std::max(r.maxX, x);
      }
    }
  }
  return r;
}

std::string scratchDirectory(const std::string& what) {
  std::string dir = "/tmp/quillmere-" + what + "-XXXXXX";
  return mkdtemp(dir.data()) != nullptr ? dir : "";
}

std::string shellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (const char c : word) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

void expectExitsWith(proc::Process& p, int status, double seconds) {
  ASSERT_TRUE(proc::waitForExit(p, seconds)) << "still running after " << seconds << " s";
  ASSERT_TRUE(WIFEXITED(p.status)) << "ended by signal " << WTERMSIG(p.status) << "; " << p.err;
  EXPECT_EQ(WEXITSTATUS(p.status), status) << p.err;
}

void expectNamed(Display* dpy, Window win, const proc::Process& viewer) {
  const xw::WindowClass names = xw::windowClass(dpy, win);
  EXPECT_EQ(names.instance, "quillmere");
  EXPECT_EQ(names.name, "Quillmere");
  EXPECT_EQ(xw::cardinalProperty(dpy, win, "_NET_WM_PID"), viewer.pid);
}

static int failTheTest(Display* dpy, XErrorEvent* e) {
  char text[256];
  XGetErrorText(dpy, e->error_code, text, sizeof text);
  ADD_FAILURE() << "X error: " << text << " (request " << static_cast<int>(e->request_code) << ")";
  return 0;
}

void DisplayTest::SetUp() {
  dpy = xw::openDisplay(displayName.empty() ? nullptr : displayName.c_str());
  ASSERT_NE(dpy, nullptr) << "no X display: run the end-to-end tests through make test or "
                             "scripts/with-xvfb.sh, which start a virtual one";
  XSetErrorHandler(failTheTest);
}

void DisplayTest::TearDown() {
  proc::stop(viewer);
  if (dpy != nullptr) {
    XCloseDisplay(dpy);
  }
}

void ViewerTest::SetUp() {
  ASSERT_NO_FATAL_FAILURE(DisplayTest::SetUp());
  ASSERT_NO_FATAL_FAILURE(launch());
}

void DisplayTest::launch(const std::vector<std::string>& args,
                         const std::vector<std::string>& wrapper, double seconds) {
  proc::stop(viewer);
  std::vector<std::string> argv = {"env", "DISPLAY=" + std::string(DisplayString(dpy))};
  argv.insert(argv.end(), wrapper.begin(), wrapper.end());
  argv.push_back(program);
  argv.insert(argv.end(), args.begin(), args.end());
  viewer = proc::start(argv);
  // A viewer that has ended will show no window: no need to wait for one.
  win = xw::findPaintedWindow(dpy, "Quillmere", seconds,
                              [&] { return proc::waitForExit(viewer, 0.0); });
  proc::drain(viewer);
  ASSERT_NE(win, 0UL) << "no viewer window showed a frame; stderr: " << viewer.err;
  first = xw::grabSettled(dpy, win, 5);
}

std::vector<harness::Image> DisplayTest::turnFrames(int count) {
  std::vector<harness::Image> frames;
  EXPECT_NO_FATAL_FAILURE(launch());
  frames.push_back(first);
  for (int k = 1; k < count; ++k) {
    frames.push_back(pressAndWaitForChange(XK_x, frames.back()));
  }
  EXPECT_NO_FATAL_FAILURE(escape());
  return frames;
}

harness::Image DisplayTest::pressAndWaitForChange(unsigned long keysym,
                                                  const harness::Image& before) {
  xw::pressKey(dpy, win, keysym);
  EXPECT_TRUE(waitUntil([&] { return xw::grab(dpy, win) != before; }, 10))
      << "the frame did not change after the key";
  return xw::grabSettled(dpy, win, 5);
}

bool DisplayTest::waitForFrame(const harness::Image& target, double seconds) {
  return waitUntil([&] { return xw::grab(dpy, win) == target; }, seconds);
}

void DisplayTest::escape(unsigned long keysym, unsigned int modifiers, double seconds) {
  xw::pressKey(dpy, win, keysym, modifiers);
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(viewer, 0, seconds));
}

std::vector<std::string> viewerOn(const std::string& display,
                                  const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"env", "DISPLAY=" + display, QUILLMERE_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

int listenAsDisplay(std::string& name) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  for (int n = 60; n < 100 && name.empty(); ++n) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(6000 + n));  // X display n listens on 6000 + n
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // The sockets interface takes each address family's address as a sockaddr.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(fd, 8) == 0) {
      name = "127.0.0.1:" + std::to_string(n);
    }
  }
  return fd;
}

SilentDisplay::SilentDisplay() : fd(listenAsDisplay(name)) {}

SilentDisplay::~SilentDisplay() { close(fd); }

std::vector<std::string> asOrdinaryUser(const std::vector<std::string>& command) {
  std::vector<std::string> argv;
  if (geteuid() == 0) {
    argv = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"};
  }
  argv.insert(argv.end(), command.begin(), command.end());
  return argv;
}

bool stillRuns(pid_t pid) {
  // The state is the field after the command name, which ends with ')'.
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) {
    return false;
  }
  const size_t state = line.rfind(')') + 2;
  return state < line.size() && line[state] != 'Z' && line[state] != 'X';
}

void OpenboxServer::SetUp() {
  if (std::string(OPENBOX).empty()) {
    GTEST_SKIP() << "openbox is not installed";
  }
  ASSERT_NO_FATAL_FAILURE(PrivateServer::SetUp());
  const std::string& home = scratch;
  std::ofstream(home + "/rc.xml") << R"(<?xml version="1.0"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <applications>
)" << applications << R"(  </applications>
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

void OpenboxServer::TearDown() {
  proc::stop(wm);
  PrivateServer::TearDown();
}
