// SPDX-License-Identifier: MIT
// The Windows viewer under Wine, on the same virtual X display as the Linux
// viewer: the same window, the same frames pixel for pixel through a whole
// turn and back, the same keys and exit, and its answers at a prompt.
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

#ifndef QUILLMERE_WINDOWS_VIEWER
#error "QUILLMERE_WINDOWS_VIEWER must name the Windows viewer"
#endif

namespace {

// Wine's server for the prefix lingers a moment after its last program, and
// one that started without a display keeps the prefix headless meanwhile.
void waitForWineserver() {
  proc::Process wait = proc::start({QUILLMERE_WINE, "--wait"});
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(wait, 0, 30));
}

// Windows' C runtime ends each line with CR LF; CRs anywhere else are kept.
std::string withoutCarriageReturns(const std::string& text) {
  std::string out;
  for (size_t k = 0; k < text.size(); ++k) {
    if (text[k] != '\r' || k + 1 >= text.size() || text[k + 1] != '\n') {
      out += text[k];
    }
  }
  return out;
}

class WindowsViewer : public DisplayTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(waitForWineserver());
    ASSERT_NO_FATAL_FAILURE(DisplayTest::SetUp());
  }
  void launchUnderWine() {
    program = QUILLMERE_WINDOWS_VIEWER;
    ASSERT_NO_FATAL_FAILURE(launch({}, {QUILLMERE_WINE}, 60));
  }
};

using WindowsPrompt = testing::Test;
}  // namespace

TEST_F(WindowsViewer, ShowsTheLinuxFramesThroughAWholeTurnAndBackAndEscExits) {
  const std::vector<harness::Image> frames = turnFrames();  // the Linux viewer's
  ASSERT_EQ(frames.size(), static_cast<size_t>(TURN_STEPS));
  ASSERT_NO_FATAL_FAILURE(launchUnderWine());
  EXPECT_EQ(first.width, DESIGN_WIDTH);
  EXPECT_EQ(first.height, DESIGN_HEIGHT);
  EXPECT_EQ(first, frames[0]) << "the first frame differs from the Linux viewer's";
  // Up through the whole turn to the first frame again, then back down.
  for (int k = 1; k <= TURN_STEPS; ++k) {
    xw::pressKey(dpy, win, XK_x);
    ASSERT_TRUE(waitForFrame(frames[k % TURN_STEPS], 10)) << "x, step " << k;
  }
  for (int k = 1; k <= TURN_STEPS; ++k) {
    xw::pressKey(dpy, win, XK_z);
    ASSERT_TRUE(waitForFrame(frames[(TURN_STEPS - k) % TURN_STEPS], 10)) << "z, step " << k;
  }
  ASSERT_NO_FATAL_FAILURE(escape(XK_Escape, 0, 30));
  EXPECT_EQ(withoutCarriageReturns(viewer.out), INSTRUCTIONS);
}

TEST_F(WindowsPrompt, HelpAndVersionAnswerWithoutADisplayAsOnLinux) {
  for (const char* option : {"--help", "--version"}) {
    ASSERT_NO_FATAL_FAILURE(waitForWineserver());
    proc::Process linux = proc::start({"env", "-u", "DISPLAY", QUILLMERE_BINARY, option});
    proc::Process windows =
        proc::start({"env", "-u", "DISPLAY", QUILLMERE_WINE, QUILLMERE_WINDOWS_VIEWER, option});
    ASSERT_NO_FATAL_FAILURE(expectExitsWith(linux, 0, 10)) << option;
    ASSERT_NO_FATAL_FAILURE(expectExitsWith(windows, 0, 60)) << option;
    EXPECT_EQ(withoutCarriageReturns(windows.out), linux.out) << option;
    EXPECT_EQ(windows.err, "") << option;
  }
  ASSERT_NO_FATAL_FAILURE(waitForWineserver());
}

using WindowsPlatform = WindowsViewer;

// What Wine and freeglut on Windows do differently from Linux: the C runtime
// ends lines with CR LF and writes them to a pipe at once; freeglut reads
// DISPLAY as the name of a Windows display device, which it cannot open; and
// WM_CLASS is Wine's, named for the executable.
TEST_F(WindowsPlatform, LinesEndInCrLfAndArriveAtOnceAndFreeglutCannotOpenDisplayAsADevice) {
  ASSERT_NO_FATAL_FAILURE(launchUnderWine());
  EXPECT_TRUE(waitUntil(
      [&] { return proc::drain(viewer), viewer.out.find("exit.\r\n") != std::string::npos; }, 10))
      << viewer.out;
  EXPECT_EQ(viewer.out, "Press the keys 'z' and 'x' to rotate.\r\nPress the key Esc to exit.\r\n");
  EXPECT_NE(viewer.err.find("fgPlatformInitialize: CreateDC failed"), std::string::npos)
      << viewer.err;
  EXPECT_EQ(xw::windowClass(dpy, win).name, "quillmere.exe");
  ASSERT_NO_FATAL_FAILURE(escape(XK_Escape, 0, 30));
}
