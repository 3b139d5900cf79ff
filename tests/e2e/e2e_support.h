// SPDX-License-Identifier: MIT
// Shared set-up of the end-to-end tests: an X display, a running viewer, its
// window, and the colours a frame is made of.
#pragma once

#include <X11/keysym.h>  // the XK_ names of the keys the tests press
#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/shell.h"  // the window's size
#include "harness/process.h"
#include "harness/wait_until.h"
#include "harness/x11_window.h"

#ifndef QUILLMERE_BINARY
#error "QUILLMERE_BINARY must name the viewer executable"
#endif

// The viewer's two lines at start-up, as an independent expectation.
inline constexpr char INSTRUCTIONS[] =
    "Press the keys 'z' and 'x' to rotate.\nPress the key Esc to exit.\n";

// Steps of the keys in a whole turn: the frames a viewer can show.
constexpr int TURN_STEPS = static_cast<int>(FULL_TURN / ROTATION_STEP);

// Colour classes of a frame, within 2/255 of the drawn values.
bool isBlack(harness::Rgb c);
bool isDarkStrip(harness::Rgb c);   // the first strip's colour, and every second one's
bool isLightStrip(harness::Rgb c);  // the other strips' colour
bool isGrey(harness::Rgb c);        // the map's axes and square
bool isYellow(harness::Rgb c);      // the cone's fill: (v, v, 0), v > 0

// Count, mean x and x bounds of the pixels of one class inside a rectangle.
struct PixelRegion {
  int count = 0;
  double cx = 0;
  int minX = 0;
  int maxX = 0;
};
PixelRegion regionOf(const harness::Image& img, bool (*cls)(harness::Rgb), int x0, int y0, int x1,
                     int y1);

// Waits up to `seconds` for the process to end, and asserts that it ended by
// itself through exit(status), not by a signal.
void expectExitsWith(proc::Process& p, int status, double seconds);

// Asserts that `win` holds the viewer's WM_CLASS ("quillmere", "Quillmere")
// and the process id of `viewer` in _NET_WM_PID.
void expectNamed(Display* dpy, Window win, const proc::Process& viewer);

// Listens on the first free X display port of 127.0.0.1 from display 60 on;
// returns the socket, and sets `name` to its display, or leaves it empty.
int listenAsDisplay(std::string& name);

// A socket on 127.0.0.1 that accepts X connections and never answers them;
// `name` is the display it stands for, empty when no port was free.
struct SilentDisplay {
  SilentDisplay();
  ~SilentDisplay();
  SilentDisplay(const SilentDisplay&) = delete;
  SilentDisplay& operator=(const SilentDisplay&) = delete;
  SilentDisplay(SilentDisplay&&) = delete;
  SilentDisplay& operator=(SilentDisplay&&) = delete;
  std::string name;
  int fd;
};

// `command` as an ordinary user would run it: as the user "nobody" when the
// tests run as root, else as it is.
std::vector<std::string> asOrdinaryUser(const std::vector<std::string>& command);

// A new directory of the test's own, /tmp/quillmere-WHAT-XXXXXX; empty if
// none could be made. The test removes it when it ends.
std::string scratchDirectory(const std::string& what);

// `word` quoted for a POSIX shell's command line, whatever it holds: a
// checkout's path may hold spaces and quotes.
std::string shellQuoted(const std::string& word);

// Whether a process with this id still runs (a zombie has ended).
bool stillRuns(pid_t pid);

// A connection to the display under test (DISPLAY, or `displayName` when a
// fixture sets it) whose X errors fail the running test instead of ending
// the test program.
class DisplayTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the viewer with `args` after its name, behind `wrapper` (such as
  // env or valgrind) when one is given, and waits for its first finished frame.
  void launch(const std::vector<std::string>& args = {},
              const std::vector<std::string>& wrapper = {}, double seconds = 20);
  // Presses a key and waits until the window shows a settled frame that
  // differs from `before`.
  harness::Image pressAndWaitForChange(unsigned long keysym, const harness::Image& before);
  // Waits until the window shows exactly `target`.
  bool waitForFrame(const harness::Image& target, double seconds);
  // Presses Esc (or another key that quits) and expects the viewer to exit with 0.
  void escape(unsigned long keysym = XK_Escape, unsigned int modifiers = 0, double seconds = 10);
  // The first `count` frames the keys reach, every one by default, from the
  // viewer `program` on this display, started and ended here: frame k is
  // the view turned k steps by x.
  std::vector<harness::Image> turnFrames(int count = TURN_STEPS);

  std::string program = QUILLMERE_BINARY;  // the viewer that launch starts
  std::string displayName;
  Display* dpy = nullptr;
  Window win = 0;
  proc::Process viewer;
  harness::Image first;
};

// The same, with the viewer started before each test.
class ViewerTest : public DisplayTest {
 protected:
  void SetUp() override;
};

// The viewer with `args` on the display `display`, behind env.
std::vector<std::string> viewerOn(const std::string& display,
                                  const std::vector<std::string>& args = {});

// A second, private X server under the viewer, so a test can take it away or
// start it without an extension, and a scratch directory for what it writes.
class PrivateServer : public DisplayTest {
 protected:
  // Xvfb picks a free display and writes its number to the descriptor
  // -displayfd names, here its standard output, once it takes connections.
  void SetUp() override {
    std::vector<std::string> argv = {"Xvfb",       "-displayfd", "1",   "-screen", "0",
                                     "800x600x24", "-nolisten",  "tcp", "-noreset"};
    argv.insert(argv.end(), serverOptions.begin(), serverOptions.end());
    server = proc::start(argv);
    ASSERT_TRUE(waitUntil(
        [&] { return proc::drain(server), server.out.find('\n') != std::string::npos; }, 20))
        << "no private Xvfb: " << server.err;
    displayName = ":" + server.out.substr(0, server.out.find('\n'));
    ASSERT_NO_FATAL_FAILURE(DisplayTest::SetUp());
    scratch = scratchDirectory("test");
    ASSERT_FALSE(scratch.empty());
  }
  void TearDown() override {
    DisplayTest::TearDown();
    stopServer();
    if (!scratch.empty()) {
      std::filesystem::remove_all(scratch);
    }
  }
  // A killed server leaves its socket and lock file behind; they are ours.
  void stopServer() {
    proc::stop(server);
    if (const std::string n = server.out.substr(0, server.out.find('\n')); !n.empty()) {
      std::filesystem::remove("/tmp/.X11-unix/X" + n);
      std::filesystem::remove("/tmp/.X" + n + "-lock");
    }
  }
  std::vector<std::string> serverOptions;  // more Xvfb options, set before SetUp
  proc::Process server;
  std::string scratch;  // a directory of the test's own, removed after it
};

// Openbox as the window manager of a private server, with the rules for
// applications that `applications` holds (openbox's <application> elements),
// set before SetUp. It keeps what it writes in the scratch directory.
class OpenboxServer : public PrivateServer {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string applications;
  proc::Process wm;
};
