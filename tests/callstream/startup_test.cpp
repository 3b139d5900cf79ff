// SPDX-License-Identifier: MIT
// The start-up sequence, as the GL and GLUT stand-ins see it.
#include <GL/glut.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/view_state.h"
#include "bitmap/color_bitmap.h"
#include "render/scene.h"
#include "support/call_stream.h"

namespace {
int runViewer() {
  char prog[] = "quillmere";
  char opt[] = "-geometry";
  char value[] = "10x10";
  char* argv[] = {prog, opt, value, nullptr};
  return viewerMain(3, argv);
}

}  // namespace

using StartUp = CallStreamTest;
using StartUpDeathTest = CallStreamTest;

TEST_F(StartUp, CallsGlutAndGlInTheFixedOrderAndRegistersTheCallbacks) {
  testing::internal::CaptureStdout();  // the instruction lines; another test reads them
  EXPECT_EQ(runViewer(), 0);
  testing::internal::GetCapturedStdout();
  // Independent expectations: the window's size, place and title as designed.
  const std::vector<GlCall> expected = {
      {"glutInit", {3}, "quillmere -geometry 10x10"},  // the whole command line
      {"glutInitDisplayMode", {GLUT_DOUBLE | GLUT_RGB}, ""},
      {"glutInitWindowSize", {600, 207}, ""},
      {"glutInitWindowPosition", {0, 0}, ""},
      {"glutCreateWindow", {}, "Quillmere"},
      {"glutDisplayFunc", {}, ""},
      {"glutReshapeFunc", {}, ""},
      {"glutKeyboardFunc", {}, ""},
      {"glClearColor", {0, 0, 0, 0}, ""},
      {"glClearDepth", {1.0}, ""},
      {"glDisable", {GL_DEPTH_TEST}, ""},
      {"glMatrixMode", {GL_PROJECTION}, ""},
      {"glLoadIdentity", {}, ""},
      {"gluPerspective", {45.0, 2.898550724637681, 0.10000000149011612, 500.0}, ""},
      {"glMatrixMode", {GL_MODELVIEW}, ""},
      {"glutMainLoop", {}, ""},
  };
  EXPECT_EQ(glrec::calls(), expected);
  EXPECT_EQ(mainWindow, glrec::FAKE_WINDOW_ID);
  EXPECT_EQ(glrec::display, &drawScene);
  EXPECT_EQ(glrec::reshape, &onReshape);
  EXPECT_EQ(glrec::keyboard, &onKeyboard);
}

// Death tests need a process to fork or start again, which WebAssembly
// under node lacks; there the page's tests see the exits instead.
#if GTEST_HAS_DEATH_TEST
// In a fresh process, where no earlier test has filled the colour table: it
// is still empty when the window is made, full when the loop starts, and the
// two lines are printed by then.
TEST_F(StartUpDeathTest, FillsTheTableAfterTheWindowAndPrintsBeforeTheLoop) {
  EXPECT_EXIT(
      {
        reportAtExit();
        glrec::onCreateWindow = [] { fprintf(stderr, "window:%g ", colorBitmapAt(6, 0)); };
        glrec::onMainLoop = [] {
          fflush(stdout);
          fprintf(stderr, "loop:%g ", colorBitmapAt(6, 0));
          exit(0);
        };
        runViewer();
      },
      testing::ExitedWithCode(0),
      "^window:0 loop:1 last glutMainLoop\\(\\); stdout:\\[Press the keys 'z' and 'x' to "
      "rotate\\.\n"
      "Press the key Esc to exit\\.\n\\]$");
}
#endif  // GTEST_HAS_DEATH_TEST

// Asked for help or the version, the viewer answers before GLUT starts, so
// it needs no display and opens no window.
TEST_F(StartUp, AnswersHelpAndVersionWithoutAnyGlutOrGlCall) {
  const struct {
    const char* option;
    const char* start;
  } cases[] = {
      {"--help", "Usage: quillmere "}, {"-h", "Usage: quillmere "}, {"--version", "quillmere "}};
  for (const auto& c : cases) {
    glrec::reset();
    char prog[] = "quillmere";
    std::string option = c.option;
    char* argv[] = {prog, option.data(), nullptr};
    testing::internal::CaptureStdout();
    const int status = viewerMain(2, argv);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0) << c.option;
    EXPECT_EQ(out.rfind(c.start, 0), 0U) << c.option << ": " << out;
    EXPECT_EQ(out.back(), '\n') << c.option;
    EXPECT_TRUE(glrec::calls().empty()) << c.option;
  }
}
