// SPDX-License-Identifier: MIT
// make run's last step: the viewer on a display that answers, and a virtual
// display with a screenshot where the display refuses or never answers.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "e2e/e2e_support.h"

namespace {
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

// make run's last step, on the viewer this build made: --built installs and
// builds nothing, and the screenshot goes to the test's own scratch file.
class MakeRun : public DisplayTest {
 protected:
  void SetUp() override {
    // make run asks the display with xdpyinfo before it uses it.
    if (std::string(XDPYINFO).empty()) {
      GTEST_SKIP() << "xdpyinfo (x11-utils) is not installed";
    }
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
