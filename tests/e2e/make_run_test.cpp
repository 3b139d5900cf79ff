// SPDX-License-Identifier: MIT
// make run's last step: the viewer on a display that answers and offers GLX,
// and a virtual display with a screenshot where it refuses, never answers or
// has no GLX; and what make run says when it cannot go on.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "e2e/e2e_support.h"
#include "harness/png.h"

namespace {
// An X server on 127.0.0.1 that refuses every connection with `reason`, as a
// server does that wants authorisation the client lacks: Xlib prints the
// reason, and its client a line of its own.
struct RefusingDisplay {
  explicit RefusingDisplay(std::string why) : reason(std::move(why)), fd(listenAsDisplay(name)) {
    server = std::thread([this] {
      for (int c = 0; (c = accept(fd, nullptr, nullptr)) >= 0; close(c)) {
        refuse(c);
      }
    });
  }
  ~RefusingDisplay() {
    shutdown(fd, SHUT_RDWR);  // ends the accept loop
    server.join();
    close(fd);
  }
  RefusingDisplay(const RefusingDisplay&) = delete;
  RefusingDisplay& operator=(const RefusingDisplay&) = delete;
  RefusingDisplay(RefusingDisplay&&) = delete;
  RefusingDisplay& operator=(RefusingDisplay&&) = delete;

  // The client's set-up request is 12 bytes and its authorisation; the
  // answer "failed" is 8 bytes and the reason, padded to 4 bytes.
  void refuse(int c) const {
    unsigned char request[12];
    if (recv(c, request, sizeof request, MSG_WAITALL) != sizeof request) {
      return;
    }
    const auto pad4 = [](unsigned n) { return (n + 3) / 4 * 4; };
    std::vector<unsigned char> auth(pad4(request[6] | (request[7] << 8)) +
                                    pad4(request[8] | (request[9] << 8)));
    if (!auth.empty()) {
      recv(c, auth.data(), auth.size(), MSG_WAITALL);
    }
    const auto length = static_cast<unsigned>(reason.size());
    std::vector<unsigned char> answer = {0, static_cast<unsigned char>(length),           11, 0, 0,
                                         0, static_cast<unsigned char>(pad4(length) / 4), 0};
    answer.insert(answer.end(), reason.begin(), reason.end());
    answer.resize(8 + pad4(length));
    send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
  }

  std::string reason;
  std::string name;
  int fd;
  std::thread server;
};
}  // namespace

// make run's last step, on the viewer this build made: --built installs and
// builds nothing, and the screenshot goes to the test's own scratch file.
// A private server of its own, which a test may start without GLX.
class MakeRun : public PrivateServer {
 protected:
  void SetUp() override {
    // make run asks the display with xdpyinfo before it uses it.
    if (std::string(XDPYINFO).empty()) {
      GTEST_SKIP() << "xdpyinfo (x11-utils) is not installed";
    }
    ASSERT_NO_FATAL_FAILURE(PrivateServer::SetUp());
  }
  std::vector<std::string> runScript() const {
    return {QUILLMERE_SOURCE_DIR "/scripts/run.sh", "--built", QUILLMERE_BUILD_DIR,
            scratch + "/quillmere.png"};
  }
  // Starts `command` with DISPLAY set to `display`, or unset when it is empty.
  static proc::Process startOn(const std::string& display,
                               const std::vector<std::string>& command) {
    std::vector<std::string> argv = {"env", "DISPLAY=" + display};
    if (display.empty()) {
      argv = {"env", "-u", "DISPLAY"};
    }
    argv.insert(argv.end(), command.begin(), command.end());
    return proc::start(argv);
  }
  // Runs make run's last step on `display`, which it cannot use, and expects
  // it to say `why` and leave a screenshot of the window's size.
  void expectVirtualDisplay(const std::string& display, const std::string& why) {
    proc::Process run = startOn(display, runScript());
    const proc::Reaper runReaper{run};
    ASSERT_NO_FATAL_FAILURE(expectExitsWith(run, 0, 60));
    // One line says why, before anything else.
    EXPECT_NE(run.out.substr(0, run.out.find('\n')).find(why), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Press the key Esc to exit."), std::string::npos) << run.out;
    harness::Image shot;
    std::string whyNot;
    ASSERT_TRUE(readPng(scratch + "/quillmere.png", shot, whyNot)) << whyNot;
    EXPECT_EQ(shot.width, DESIGN_WIDTH);
    EXPECT_EQ(shot.height, DESIGN_HEIGHT);
    EXPECT_TRUE(xw::isPainted(shot));
  }
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

// A display that refuses at once is reported as such, without a wait, in one
// line with the server's reason where it gives one.
TEST_F(MakeRun, TakesAVirtualDisplayWhenTheDisplayRefuses) {
  ASSERT_NO_FATAL_FAILURE(expectVirtualDisplay(":4999", "could not be opened"));
  const RefusingDisplay refusing("No one may connect");
  ASSERT_FALSE(refusing.name.empty()) << "no free port for a refusing display";
  ASSERT_NO_FATAL_FAILURE(expectVirtualDisplay(
      refusing.name,
      "The display " + refusing.name +
          " could not be opened (No one may connect); using a virtual one instead."));
}

class MakeRunWithoutGlx : public MakeRun {
 protected:
  MakeRunWithoutGlx() { serverOptions = {"-extension", "GLX"}; }
};

// GLUT cannot open its window without GLX; make run says so and goes on.
TEST_F(MakeRunWithoutGlx, TakesAVirtualDisplay) {
  ASSERT_NO_FATAL_FAILURE(
      expectVirtualDisplay(displayName, "offers no OpenGL (no GLX extension); using a virtual"));
}

// The screenshot's directory is missing: make run names the path and the
// reason before it starts the viewer.
TEST_F(MakeRun, NamesTheScreenshotItCannotWriteBeforeStartingTheViewer) {
  const std::string png = scratch + "/missing/quillmere.png";
  proc::Process run =
      startOn("", {QUILLMERE_SOURCE_DIR "/scripts/run.sh", "--built", QUILLMERE_BUILD_DIR, png});
  const proc::Reaper reaper{run};
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(run, 1, 5));
  EXPECT_EQ(run.out.find("Press the key"), std::string::npos) << "the viewer ran: " << run.out;
  EXPECT_NE(run.err.find("cannot write " + png + ": No such file or directory"), std::string::npos)
      << run.err;
}

// A viewer that ends before its window shows ends the wait for the window
// at once, and its own message is shown: here GLUT's, for a -geometry that
// lacks its value.
TEST_F(MakeRun, StopsWaitingWhenTheViewerEndsBeforeItsWindow) {
  proc::Process shot =
      startOn(displayName, {QUILLMERE_BUILD_DIR "/screenshot/quillmere-shot",
                            scratch + "/quillmere.png", QUILLMERE_BINARY, "-geometry"});
  const proc::Reaper reaper{shot};
  // Well within the 20 s the tool gives a window that is still to come.
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(shot, 1, 8));
  const std::string ours = "quillmere-shot: the viewer ended (exit status 1) before its window";
  const size_t at = shot.err.find(ours);
  ASSERT_NE(at, std::string::npos) << shot.err;
  EXPECT_GT(at, 0U) << "the viewer's own message is missing";
  EXPECT_FALSE(std::filesystem::exists(scratch + "/quillmere.png"));
}

// Before it installs or configures anything, make run checks that it can
// write its build directory, here blocked by a file of that name.
TEST_F(MakeRun, NamesABuildDirectoryItCannotWriteBeforeDoingAnything) {
  const std::string tree = scratch + "/tree";
  std::filesystem::create_directories(tree + "/scripts/lib");
  for (const char* script : {"run.sh", "lib/writable.sh"}) {
    std::filesystem::copy_file(QUILLMERE_SOURCE_DIR "/scripts/" + std::string(script),
                               tree + "/scripts/" + script);
  }
  std::ofstream(tree + "/build") << "not a directory\n";
  proc::Process run = startOn("", {tree + "/scripts/run.sh"});
  const proc::Reaper reaper{run};
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(run, 1, 10));
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "make run cannot write its build directory " + tree +
                         "/build/run (something in the way): remove " + tree +
                         "/build, which is in the way, then run make run again.\n");
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}
