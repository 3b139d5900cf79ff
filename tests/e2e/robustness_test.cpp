// SPDX-License-Identifier: MIT
// The real viewer under abuse: key and resize storms, missing, silent and
// lost displays, windows closed or destroyed from outside, a reader that
// goes away, and memcheck.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "e2e/e2e_support.h"

namespace {
// A second, private X server under the viewer, so a test can take it away or
// start it without an extension.
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
  }
  void TearDown() override {
    DisplayTest::TearDown();
    stopServer();
  }
  // A killed server leaves its socket and lock file behind; they are ours.
  void stopServer() {
    proc::kill(server);
    if (const std::string n = server.out.substr(0, server.out.find('\n')); !n.empty()) {
      std::filesystem::remove("/tmp/.X11-unix/X" + n);
      std::filesystem::remove("/tmp/.X" + n + "-lock");
    }
  }
  std::vector<std::string> serverOptions;  // more Xvfb options, set before SetUp
  proc::Process server;
};
using LostDisplay = PrivateServer;

class NoGlx : public PrivateServer {
 protected:
  NoGlx() { serverOptions = {"-extension", "GLX"}; }
};

// Runs `argv` (the viewer, behind env) and expects the toolkit to end it at
// once with status 1 and `message` on standard error.
void expectToolkitRefusal(const std::vector<std::string>& argv, const std::string& message) {
  proc::Process p = proc::start(argv);
  const proc::Reaper reaper{p};
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(p, 1, 10)) << argv[1];
  EXPECT_NE(p.err.find(message), std::string::npos) << p.err;
  EXPECT_EQ(p.out, "");
}

// The viewer with `args` on the display `display`.
std::vector<std::string> viewerOn(const std::string& display,
                                  const std::vector<std::string>& args = {}) {
  std::vector<std::string> argv = {"env", "DISPLAY=" + display, QUILLMERE_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

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

using KeyStorm = ViewerTest;

// A burst of turns as fast as X takes them, then the 'z' presses that undo
// its net turn: a key lost or handled twice leaves another frame.
TEST_F(KeyStorm, ThousandKeysAndTheirUndoComeBackToTheFirstFrame) {
  std::mt19937 rng(1208);
  int net = 0;
  for (int n = 0; n < 1000; ++n) {
    const bool up = rng() % 2 == 0;
    const bool shifted = rng() % 2 == 0;
    xw::pressKey(dpy, win, up ? (shifted ? XK_X : XK_x) : (shifted ? XK_Z : XK_z),
                 shifted ? ShiftMask : 0);
    net += up ? 1 : -1;
  }
  ASSERT_NE(net % 72, 0) << "the burst should end away from the first frame";
  for (int k = 0; k < (net % 72 + 72) % 72; ++k) {
    xw::pressKey(dpy, win, XK_z);
  }
  EXPECT_TRUE(waitForFrame(first, 60)) << "the burst and its undo did not end on the first frame";
}

using ResizeStorm = ViewerTest;

TEST_F(ResizeStorm, TwoHundredResizesEndOnTheFirstFrame) {
  const unsigned extremes[][2] = {{1, 1}, {1, 1000}, {1000, 1}, {2000, 2000}};
  std::mt19937 rng(7);
  for (int n = 0; n < 199; ++n) {
    const bool extreme = n % 50 < 4;
    XResizeWindow(dpy, win, extreme ? extremes[n % 50][0] : 1 + rng() % 1200,
                  extreme ? extremes[n % 50][1] : 1 + rng() % 900);
  }
  XResizeWindow(dpy, win, 600, 207);
  XFlush(dpy);
  // A viewer that had ended would fail the grab with an X error.
  EXPECT_TRUE(waitForFrame(first, 30)) << "the design size did not bring back its frame";
}

using StartUp = DisplayTest;

// The toolkit reads the command line and makes the OpenGL context; what it
// cannot do ends the program before a window shows.
TEST_F(StartUp, ACommandLineTheToolkitCannotFollowEndsWithOne) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"-display"}, "-display parameter must be followed by display name"},
      {{"-foo", "-geometry"}, "-geometry parameter must be followed by window geometry"},
      {{"-direct", "-indirect"}, "-direct and -indirect cannot be both specified"},
      // Xvfb, like most servers today, offers no indirect rendering.
      {{"-indirect"}, "Unable to create OpenGL 1.0 context"},
  };
  for (const auto& c : cases) {
    ASSERT_NO_FATAL_FAILURE(expectToolkitRefusal(viewerOn(DisplayString(dpy), c.args), c.message))
        << c.args[0];
  }
}

TEST_F(NoGlx, ADisplayWithoutOpenGLEndsTheViewerWithOne) {
  ASSERT_NO_FATAL_FAILURE(
      expectToolkitRefusal(viewerOn(displayName), "GLX extension not supported"));
}

TEST(NoDisplay, MissingDisplayEndsAtOnceWithTheToolkitsMessage) {
  ASSERT_NO_FATAL_FAILURE(
      expectToolkitRefusal({"env", "-u", "DISPLAY", QUILLMERE_BINARY}, "failed to open display"));
  ASSERT_NO_FATAL_FAILURE(expectToolkitRefusal(viewerOn(":4999"), "failed to open display"));
}

// make run's last step, on the viewer this build made: --built installs and
// builds nothing, and the screenshot goes to the test's own scratch file.
class MakeRun : public DisplayTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(DisplayTest::SetUp());
    char dir[] = "/tmp/quillmere-makerun-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    scratch = dir;
  }
  void TearDown() override {
    DisplayTest::TearDown();
    if (!scratch.empty()) {
      std::filesystem::remove_all(scratch);
    }
  }
  std::vector<std::string> runScript() const {
    return {QUILLMERE_SOURCE_DIR "/scripts/run.sh", "--built", QUILLMERE_BUILD_DIR,
            scratch + "/quillmere.png"};
  }
  // Runs make run's last step on `display`, which it cannot use, and expects
  // it to say `why` and leave a 600 x 207 screenshot.
  void expectVirtualDisplay(const std::string& display, const std::string& why) {
    std::vector<std::string> argv = {"env", "DISPLAY=" + display};
    const std::vector<std::string> script = runScript();
    argv.insert(argv.end(), script.begin(), script.end());
    proc::Process run = proc::start(argv);
    const proc::Reaper runReaper{run};
    ASSERT_NO_FATAL_FAILURE(expectExitsWith(run, 0, 60));
    EXPECT_NE(run.out.find(why), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Press the key Esc to exit."), std::string::npos) << run.out;
    // The PNG header holds the width and height as big-endian 32-bit numbers.
    std::ifstream png(scratch + "/quillmere.png", std::ios::binary);
    unsigned char header[24] = {};
    png.read(reinterpret_cast<char*>(header), sizeof header);
    EXPECT_EQ((header[18] << 8) | header[19], 600);
    EXPECT_EQ((header[22] << 8) | header[23], 207);
  }
  std::string scratch;
};

// With a display that answers, make run's last step is the viewer itself.
TEST_F(MakeRun, OpensTheWindowOnADisplayThatAnswers) {
  ASSERT_NO_FATAL_FAILURE(launch({}, runScript()));
  ASSERT_NO_FATAL_FAILURE(escape());
}

// Xlib waits for the server's answer without a deadline of its own, so the
// viewer waits on a display that never answers. make run's last step must
// not: it says so and shows the viewer on a virtual display instead.
TEST_F(MakeRun, TakesAVirtualDisplayWhenTheDisplayNeverAnswers) {
  const SilentDisplay silent;
  ASSERT_FALSE(silent.name.empty()) << "no free port for a silent display";
  proc::Process p = proc::start(viewerOn(silent.name));
  const proc::Reaper reaper{p};
  EXPECT_FALSE(proc::waitForExit(p, 2)) << "ended: " << p.err;
  EXPECT_EQ(p.out + p.err, "");
  ASSERT_NO_FATAL_FAILURE(expectVirtualDisplay(silent.name, "did not answer within 3 s"));
}

// A display that refuses at once is reported as such, without a wait.
TEST_F(MakeRun, TakesAVirtualDisplayWhenTheDisplayRefuses) {
  ASSERT_NO_FATAL_FAILURE(expectVirtualDisplay(":4999", "could not be opened"));
}

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
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(viewer, 1, 10));
  EXPECT_NE(viewer.err.find("BadDrawable"), std::string::npos) << viewer.err;
}

TEST_F(Closed, ConnectionKilledByAnotherClientEndsTheProcessWithOne) {
  XKillClient(dpy, win);
  XFlush(dpy);
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(viewer, 1, 10));
  EXPECT_NE(viewer.err.find("X connection to"), std::string::npos) << viewer.err;
}

using Output = DisplayTest;

// Standard output is line-buffered on a terminal and fully buffered on a
// pipe, and the viewer never flushes it.
TEST_F(Output, InstructionsShowAtStartUpOnATerminalAndAtExitThroughAPipe) {
  ASSERT_NO_FATAL_FAILURE(launch());
  proc::drain(viewer);
  EXPECT_EQ(viewer.out, "");
  ASSERT_NO_FATAL_FAILURE(escape());
  EXPECT_EQ(viewer.out, "Press the keys 'z' and 'x' to rotate.\nPress the key Esc to exit.\n");
  // script(1) runs the viewer on a terminal of its own and copies what it shows.
  ASSERT_NO_FATAL_FAILURE(launch({"/dev/null"}, {"script", "-qfec"}));
  EXPECT_TRUE(waitUntil(
      [&] { return proc::drain(viewer), viewer.out.find("Esc to exit.") != std::string::npos; },
      10))
      << viewer.out;
  ASSERT_NO_FATAL_FAILURE(escape());
}

// The two lines are written when the process exits; with nobody reading,
// that write ends it by SIGPIPE.
TEST_F(Output, EscWithTheReaderGoneEndsBySigpipe) {
  ASSERT_NO_FATAL_FAILURE(launch());
  proc::closeOutput(viewer);
  xw::pressKey(dpy, win, XK_Escape);
  ASSERT_TRUE(proc::waitForExit(viewer, 10));
  EXPECT_TRUE(WIFSIGNALED(viewer.status) && WTERMSIG(viewer.status) == SIGPIPE) << viewer.status;
}

// The viewer does not check its writes: with standard output on a full
// device or closed, the two lines are lost without a word, and Esc still ends
// it with 0.
TEST_F(Output, UnwritableStandardOutputLosesTheLinesAndEscStillExitsWithZero) {
  for (const char* redirect : {"exec \"$0\" >/dev/full", "exec \"$0\" >&-"}) {
    ASSERT_NO_FATAL_FAILURE(launch({}, {"sh", "-c", redirect})) << redirect;
    ASSERT_NO_FATAL_FAILURE(escape()) << redirect;
    EXPECT_EQ(viewer.out + viewer.err, "") << redirect;
  }
}

// With standard output a pipe that is already full, the lines written at
// exit wait for the reader: Esc closes the window, and the process ends only
// once the pipe is read.
TEST_F(Output, AFullPipeHoldsTheExitUntilItIsRead) {
  constexpr int PIPE_BYTES = 65536;  // a pipe's capacity unless someone changed it
  viewer = proc::start({"env", "DISPLAY=" + std::string(DisplayString(dpy)), "sh", "-c",
                        "head -c " + std::to_string(PIPE_BYTES) + " /dev/zero; exec \"$0\"",
                        QUILLMERE_BINARY});
  win = xw::findPaintedWindow(dpy, "Quillmere", 20);
  ASSERT_NE(win, 0UL) << "no viewer window showed a frame";
  xw::pressKey(dpy, win, XK_Escape);
  EXPECT_TRUE(waitUntil([&] { return xw::findWindow(dpy, "Quillmere", 0) == 0; }, 10))
      << "Esc did not close the window";
  int status = 0;
  EXPECT_FALSE(waitUntil([&] { return waitpid(viewer.pid, &status, WNOHANG) != 0; }, 1))
      << "ended with the pipe still full";
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(viewer, 0, 10));  // it reads the pipe
  EXPECT_EQ(viewer.out.size(), PIPE_BYTES + std::string("Press the keys 'z' and 'x' to rotate.\n"
                                                        "Press the key Esc to exit.\n")
                                                .size());
}

// The viewer's own code reads and writes no files. Mesa keeps a shader cache
// under XDG_CACHE_HOME (or ~/.cache), in a directory whose name changes
// between its releases; nothing may appear anywhere else.
TEST_F(Output, WritesNoFileOutsideTheCacheDirectory) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "quillmere-files";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "work");
  ASSERT_NO_FATAL_FAILURE(launch(
      {}, {"env", "-C", (dir / "work").string(), "XDG_CACHE_HOME=" + (dir / "cache").string()}));
  ASSERT_NO_FATAL_FAILURE(escape());
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    const std::string path = std::filesystem::relative(entry.path(), dir).string();
    if (entry.is_regular_file()) {
      EXPECT_EQ(path.rfind("cache/", 0), 0U) << path;
    }
  }
  std::filesystem::remove_all(dir);
}

using Memcheck = DisplayTest;

// Our code allocates nothing and runs whole under the sanitizers elsewhere;
// this checks the real process, with the real toolkit and driver, once.
TEST_F(Memcheck, ATurnAndEscRunWithoutMemoryErrors) {
  if (std::string(VALGRIND).empty()) {
    GTEST_SKIP() << "valgrind is not installed";
  }
  const std::string suppressions = "--suppressions=" VALGRIND_SUPPRESSIONS;
  const std::vector<std::string> valgrind = {VALGRIND,
                                             "--error-exitcode=97",
                                             "--keep-debuginfo=yes",
                                             "--leak-check=full",
                                             "--errors-for-leak-kinds=definite",
                                             suppressions};
  ASSERT_NO_FATAL_FAILURE(launch({}, valgrind, 300));
  pressAndWaitForChange(XK_x, first);
  ASSERT_NO_FATAL_FAILURE(escape(XK_Escape, 0, 300));
}
