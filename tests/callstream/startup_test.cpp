// SPDX-License-Identifier: MIT
// The start-up sequence, as the GL and GLUT stand-ins see it.
#include <GL/glut.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "call_stream.h"
#include "color_bitmap.h"
#include "scene.h"
#include "shell.h"
#include "view_state.h"

namespace {
int runViewer() {
  char prog[] = "quillmere";
  char opt[] = "-geometry";
  char value[] = "10x10";
  char* argv[] = {prog, opt, value, nullptr};
  return viewerMain(3, argv);
}

// Runs start-up with its instruction lines kept off the test's output.
int runViewerQuietly() {
  testing::internal::CaptureStdout();
  const int status = runViewer();
  testing::internal::GetCapturedStdout();
  return status;
}

// Runs start-up in a fresh process, where the colour table has not been
// filled by any earlier test, and reports what it saw on stderr.
[[noreturn]] void startUpInFreshProcess() {
  float cellAtWindow = -1.0F;
  float cellAtLoop = -1.0F;
  std::string printedAtLoop;
  glrec::onCreateWindow = [&] { cellAtWindow = colorBitmapAt(6, 0); };
  glrec::onMainLoop = [&] {
    cellAtLoop = colorBitmapAt(6, 0);
    printedAtLoop = testing::internal::GetCapturedStdout();
  };
  testing::internal::CaptureStdout();
  const int status = runViewer();
  fprintf(stderr, "window:%g loop:%g status:%d printed:[%s]", cellAtWindow, cellAtLoop, status,
          printedAtLoop.c_str());
  exit(0);
}
}  // namespace

using StartUp = CallStreamTest;

TEST_F(StartUp, CallsGlutAndGlInTheFixedOrder) {
  EXPECT_EQ(runViewerQuietly(), 0);
  const std::vector<std::string> expected = {
      "glutInit",         "glutInitDisplayMode", "glutInitWindowSize", "glutInitWindowPosition",
      "glutCreateWindow", "glutDisplayFunc",     "glutReshapeFunc",    "glutKeyboardFunc",
      "glClearColor",     "glClearDepth",        "glDisable",          "glMatrixMode",
      "glLoadIdentity",   "gluPerspective",      "glMatrixMode",       "glutMainLoop"};
  EXPECT_EQ(glrec::names(), expected);
}

TEST_F(StartUp, HandsTheWholeCommandLineToGlut) {
  runViewerQuietly();
  const GlCall init = glrec::named("glutInit").at(0);
  EXPECT_EQ(init.args.at(0), 3);
  EXPECT_EQ(init.text, "quillmere -geometry 10x10");
}

TEST_F(StartUp, RequestsTheDesignWindowAndItsState) {
  runViewerQuietly();
  EXPECT_EQ(glrec::named("glutInitDisplayMode").at(0).args, std::vector<double>{2});
  EXPECT_EQ(glrec::named("glutInitWindowSize").at(0).args, (std::vector<double>{600, 207}));
  EXPECT_EQ(glrec::named("glutInitWindowPosition").at(0).args, (std::vector<double>{0, 0}));
  EXPECT_EQ(glrec::named("glutCreateWindow").at(0).text, "Quillmere");
  EXPECT_EQ(mainWindow, glrec::FAKE_WINDOW_ID);
  EXPECT_EQ(glrec::named("glClearColor").at(0).args, (std::vector<double>{0, 0, 0, 0}));
  EXPECT_EQ(glrec::named("glClearDepth").at(0).args, std::vector<double>{1.0});
  EXPECT_EQ(glrec::named("glDisable").at(0).args, std::vector<double>{GL_DEPTH_TEST});
  const std::vector<GlCall> modes = glrec::named("glMatrixMode");
  EXPECT_EQ(modes.at(0).args, std::vector<double>{GL_PROJECTION});
  EXPECT_EQ(modes.at(1).args, std::vector<double>{GL_MODELVIEW});
}

TEST_F(StartUp, FirstProjectionUsesTheDesignAspect) {
  runViewerQuietly();
  const std::vector<double> p = glrec::named("gluPerspective").at(0).args;
  EXPECT_EQ(p.at(0), 45.0);
  EXPECT_EQ(p.at(1), 2.898550724637681);
  EXPECT_EQ(p.at(2), 0.10000000149011612);
  EXPECT_EQ(p.at(3), 500.0);
}

TEST_F(StartUp, RegistersTheThreeCallbacks) {
  runViewerQuietly();
  EXPECT_EQ(glrec::displayCallback(), &drawScene);
  EXPECT_EQ(glrec::reshapeCallback(), &onReshape);
  EXPECT_EQ(glrec::keyboardCallback(), &onKeyboard);
  // Start-up itself draws nothing; the first frame is GLUT's to ask for.
  EXPECT_EQ(glrec::count("glClear"), 0);
}

TEST_F(StartUp, FillsTheTableAfterTheWindowAndPrintsBeforeTheLoop) {
  EXPECT_EXIT(startUpInFreshProcess(), testing::ExitedWithCode(0),
              "^window:0 loop:1 status:0 printed:\\[Press the keys 'z' and 'x' to rotate\\.\n"
              "Press the key Esc to exit\\.\n\\]$");
}

TEST_F(StartUp, ViewAngleStartsAtZero) {
  // Runs in a fresh process so no other test's key presses count.
  EXPECT_EXIT(
      {
        fprintf(stderr, "angle:%g", viewAngle);
        exit(0);
      },
      testing::ExitedWithCode(0), "^angle:0$");
}
