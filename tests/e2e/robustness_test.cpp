// SPDX-License-Identifier: MIT
// The real viewer under abuse: key and resize storms, missing, silent and
// lost displays, windows closed or destroyed from outside, a reader that
// goes away, and memcheck.
#include <X11/keysym.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "e2e/e2e_support.h"

namespace {
// A second, private X server, so a test can take it away from the viewer.
struct PrivateServer {
  proc::Process server;
  std::string number;

  ~PrivateServer() { stop(); }
  bool start() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
      return false;
    }
    // Xvfb writes the display number it chose to this descriptor once it
    // accepts connections.
    server = proc::start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                          "800x600x24", "-nolisten", "tcp", "-noreset"},
                         {}, {fds[1]});
    close(fds[1]);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    std::string text;
    const bool ready = xw::waitUntil(
        [&] {
          for (char c; read(fds[0], &c, 1) == 1;) {
            text += c;
          }
          return text.find('\n') != std::string::npos;
        },
        20);
    number = text.substr(0, text.find('\n'));
    close(fds[0]);
    return ready;
  }
  // A killed server leaves its socket and lock file behind; they are ours.
  void stop() {
    proc::kill(server);
    if (!number.empty()) {
      std::filesystem::remove("/tmp/.X11-unix/X" + number);
      std::filesystem::remove("/tmp/.X" + number + "-lock");
    }
  }
};

// A socket on 127.0.0.1 that accepts X connections and never answers them.
struct SilentDisplay {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::string name;

  SilentDisplay() {
    for (int n = 60; n < 100 && name.empty(); ++n) {
      sockaddr_in addr{};
      addr.sin_family = AF_INET;
      addr.sin_port = htons(static_cast<uint16_t>(6000 + n));
      addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(fd, 8) == 0) {
        name = "127.0.0.1:" + std::to_string(n);
      }
    }
  }
  ~SilentDisplay() { close(fd); }
};
}  // namespace

using KeyStorm = DisplayTest;

TEST_F(KeyStorm, ThousandKeysLandOnTheExpectedFrame) {
  std::mt19937 rng(1208);
  const unsigned long keys[] = {XK_x, XK_z, XK_X, XK_Z};
  int net = 0;
  std::vector<int> picks;
  for (int n = 0; n < 1000; ++n) {
    picks.push_back(static_cast<int>(rng() % 4));
    net += picks.back() % 2 == 0 ? 1 : -1;
  }
  // The reference frame: a viewer brought to the same angle the short way
  // round, one key at a time, each waited for.
  ASSERT_NO_FATAL_FAILURE(launch());
  const int steps = ((net % 72) + 72) % 72;
  xw::Image reference = first;
  for (int k = 0; k < (steps <= 36 ? steps : 72 - steps); ++k) {
    reference = pressAndWaitForChange(steps <= 36 ? XK_x : XK_z, reference);
  }
  ASSERT_NO_FATAL_FAILURE(escape());

  ASSERT_NO_FATAL_FAILURE(launch());
  for (const int k : picks) {
    if (k >= 2) {
      xw::pressKey(dpy, win, keys[k], {XK_Shift_L});
    } else {
      xw::pressKey(dpy, win, keys[k]);
    }
  }
  EXPECT_TRUE(waitForFrame(reference, 60)) << "the burst did not end on its frame";
  ASSERT_NO_FATAL_FAILURE(escape());
}

using ResizeStorm = ViewerTest;

TEST_F(ResizeStorm, TwoHundredResizesEndOnTheFirstFrame) {
  const int extremes[][2] = {{1, 1}, {1, 1000}, {1000, 1}, {2000, 2000}};
  std::mt19937 rng(7);
  for (int n = 0; n < 199; ++n) {
    if (n % 50 < 4) {
      resize(dpy, win, extremes[n % 50][0], extremes[n % 50][1]);
    } else {
      resize(dpy, win, 1 + static_cast<int>(rng() % 1200), 1 + static_cast<int>(rng() % 900));
    }
  }
  resize(dpy, win, 600, 207);
  EXPECT_TRUE(waitForFrame(first, 30)) << "the design size did not bring back its frame";
  EXPECT_FALSE(proc::waitForExit(viewer, 0.2)) << "exited with status " << viewer.status;
}

TEST(NoDisplay, MissingDisplayEndsAtOnceWithTheToolkitsMessage) {
  const std::vector<std::string> starts[] = {{"env", "-u", "DISPLAY", QUILLMERE_BINARY},
                                             {"env", "DISPLAY=:4999", QUILLMERE_BINARY}};
  for (const std::vector<std::string>& argv : starts) {
    proc::Process p = proc::start(argv);
    const proc::Reaper reaper{p};
    ASSERT_TRUE(proc::waitForExit(p, 10)) << "hung with " << argv[1];
    ASSERT_NO_FATAL_FAILURE(expectExitedWith(p, 1));
    EXPECT_NE(p.err.find("failed to open display"), std::string::npos) << p.err;
    EXPECT_EQ(p.out, "");
  }
}

// Xlib waits for the server's answer without a deadline of its own.
TEST(NoDisplay, SilentDisplayHoldsTheViewerWaiting) {
  const SilentDisplay silent;
  ASSERT_FALSE(silent.name.empty()) << "no free port for a silent display";
  proc::Process p = proc::start({QUILLMERE_BINARY}, {"DISPLAY=" + silent.name});
  const proc::Reaper reaper{p};
  EXPECT_FALSE(proc::waitForExit(p, 2)) << "ended: " << p.err;
  EXPECT_EQ(p.out + p.err, "");
}

// make run's last step, told of a display that never answers, must not wait
// for it: it says so and takes the virtual display instead.
TEST(MakeRun, SilentDisplayFallsBackToAVirtualOneAndSavesTheScreenshot) {
  const SilentDisplay silent;
  ASSERT_FALSE(silent.name.empty()) << "no free port for a silent display";
  const std::string shot = std::string(QUILLMERE_BUILD_DIR) + "/quillmere.png";
  std::filesystem::remove(shot);
  proc::Process run = proc::start({QUILLMERE_SOURCE_DIR "/scripts/run.sh", QUILLMERE_BUILD_DIR},
                                  {"DISPLAY=" + silent.name});
  const proc::Reaper reaper{run};
  ASSERT_TRUE(proc::waitForExit(run, 60)) << "make run waited on the silent display";
  ASSERT_NO_FATAL_FAILURE(expectExitedWith(run, 0));
  EXPECT_NE(run.out.find("did not answer"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Press the key Esc to exit."), std::string::npos) << run.out;
  // The PNG header holds the width and height as big-endian 32-bit numbers.
  std::ifstream png(shot, std::ios::binary);
  unsigned char header[24] = {};
  png.read(reinterpret_cast<char*>(header), sizeof header);
  EXPECT_EQ((header[18] << 8) | header[19], 600);
  EXPECT_EQ((header[22] << 8) | header[23], 207);
}

TEST(LostDisplay, ServerGoneEndsTheViewerWithOne) {
  PrivateServer x;
  ASSERT_TRUE(x.start()) << "could not start a private Xvfb: " << x.server.err;
  Display* own = xw::openDisplay((":" + x.number).c_str());
  ASSERT_NE(own, nullptr);
  proc::Process p = proc::start({QUILLMERE_BINARY}, {"DISPLAY=:" + x.number});
  const proc::Reaper reaper{p};
  const Window win = xw::findWindow(own, "Quillmere", 20);
  XCloseDisplay(own);
  ASSERT_NE(win, 0UL);

  x.stop();
  ASSERT_TRUE(proc::waitForExit(p, 5)) << "hung after losing its display";
  ASSERT_NO_FATAL_FAILURE(expectExitedWith(p, 1));
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
  ASSERT_TRUE(proc::waitForExit(viewer, 10)) << "hung after WM_DELETE_WINDOW";
  ASSERT_NO_FATAL_FAILURE(expectExitedWith(viewer, 0));
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
  ::kill(viewer.pid, SIGTERM);
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
  ASSERT_TRUE(proc::waitForExit(viewer, 10)) << "kept running";
  ASSERT_NO_FATAL_FAILURE(expectExitedWith(viewer, 1));
  EXPECT_NE(viewer.err.find("BadDrawable"), std::string::npos) << viewer.err;
}

TEST_F(Closed, ConnectionKilledByAnotherClientEndsTheProcessWithOne) {
  XKillClient(dpy, win);
  XFlush(dpy);
  ASSERT_TRUE(proc::waitForExit(viewer, 10)) << "hung after its connection was killed";
  ASSERT_NO_FATAL_FAILURE(expectExitedWith(viewer, 1));
  EXPECT_NE(viewer.err.find("X connection to"), std::string::npos) << viewer.err;
}

using Output = ViewerTest;

// The two lines are written when the process exits; with nobody reading,
// that write ends it by SIGPIPE.
TEST_F(Output, EscWithTheReaderGoneEndsBySigpipe) {
  proc::closeOutput(viewer);
  xw::pressKey(dpy, win, XK_Escape);
  ASSERT_TRUE(proc::waitForExit(viewer, 10));
  EXPECT_TRUE(WIFSIGNALED(viewer.status) && WTERMSIG(viewer.status) == SIGPIPE) << viewer.status;
}

// The viewer's own code reads and writes no files; Mesa may keep a shader
// cache, and the test lets it.
TEST_F(Output, WritesNoFileButMesasShaderCache) {
  const std::filesystem::path home = std::filesystem::temp_directory_path() / "quillmere-home";
  std::filesystem::remove_all(home);
  std::filesystem::create_directories(home / "work");
  ASSERT_NO_FATAL_FAILURE(launch({}, {"HOME=" + home.string()},
                                 {"env", "-u", "XDG_CACHE_HOME", "-C", (home / "work").string()}));
  xw::pressKey(dpy, win, XK_x);
  ASSERT_NO_FATAL_FAILURE(escape());
  for (const auto& entry : std::filesystem::recursive_directory_iterator(home)) {
    if (entry.is_regular_file()) {
      const std::string rel = std::filesystem::relative(entry.path(), home).string();
      EXPECT_EQ(rel.rfind(".cache/mesa_shader_cache", 0), 0U) << rel;
    }
  }
  std::filesystem::remove_all(home);
}

using Memcheck = DisplayTest;

// Our code allocates nothing and runs whole under the sanitizers elsewhere;
// this checks the real process, with the real toolkit and driver, once.
TEST_F(Memcheck, ATurnAndEscRunWithoutMemoryErrors) {
  const std::vector<std::string> valgrind = {VALGRIND,
                                             "--quiet",
                                             "--error-exitcode=97",
                                             "--keep-debuginfo=yes",
                                             "--leak-check=full",
                                             "--errors-for-leak-kinds=definite",
                                             "--suppressions=" VALGRIND_SUPPRESSIONS};
  ASSERT_NO_FATAL_FAILURE(launch({}, {}, valgrind, 300));
  pressAndWaitForChange(XK_x, first);
  ASSERT_NO_FATAL_FAILURE(escape(XK_Escape, {}, 300));
}
