// SPDX-License-Identifier: MIT
// Start-up, window, and the reshape and keyboard callbacks of the viewer.
#include "app/shell.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "app/view_state.h"
#include "bitmap/color_bitmap.h"
#include "render/scene.h"

float viewAngle = 0.0F;  // degrees; only onKeyboard changes it
int mainWindow = 0;      // GLUT window identifier, set once at start-up

static void loadPerspective(double fovy, double aspect) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(fovy, aspect, NEAR_PLANE, FAR_PLANE);
  // Every callback expects the modelview matrix to be current.
  glMatrixMode(GL_MODELVIEW);
}

int viewerMain(int argc, char** argv) {
  // Answered without GLUT, so they need no display and open no window.
  const CommandLineRequest request = commandLineRequest(argc, argv);
  if (request != CommandLineRequest::RunViewer) {
    return answerCommandLine(request);
  }
  glutInit(&argc, argv);
  // No depth buffer: the scene is drawn in painter's order.
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
  glutInitWindowSize(DESIGN_WIDTH, DESIGN_HEIGHT);
  glutInitWindowPosition(WINDOW_X, WINDOW_Y);
  mainWindow = glutCreateWindow("Quillmere");

  glutDisplayFunc(drawScene);
  glutReshapeFunc(onReshape);
  glutKeyboardFunc(onKeyboard);

  glClearColor(0.0F, 0.0F, 0.0F, 0.0F);
  glClearDepth(1.0);
  glDisable(GL_DEPTH_TEST);
  loadPerspective(BASE_FOVY, static_cast<double>(DESIGN_WIDTH) / DESIGN_HEIGHT);

  // Filled before the loop starts, so the first frame finds the table complete.
  initColorBitmap();

  printf("Press the keys 'z' and 'x' to rotate.\n");
  printf("Press the key Esc to exit.\n");

  glutMainLoop();
  return 0;
}

// Vertical field of view, degrees, for a window of at least 1 x 1 pixels.
static float fieldOfViewFor(int width, int height) {
  float fovy = static_cast<float>(BASE_FOVY);
  const double ratio = static_cast<double>(width) / height;
  if (ratio < DESIGN_RATIO_THRESHOLD) {
    // The integer truncation is part of the rule: 100 x 100 gives 289, not 289.86.
    const int q = (height * DESIGN_WIDTH) / DESIGN_HEIGHT;
    fovy = static_cast<float>(static_cast<double>(static_cast<float>(q)) * BASE_FOVY / width);
    if (fovy > MAX_FOVY) {
      fovy = MAX_FOVY;
    }
  }
  return fovy;
}

void onReshape(int width, int height) {
  // A minimised or collapsed window reports zero; keep the divisions defined.
  if (height == 0) {
    height = 1;
  }
  if (width == 0) {
    width = 1;
  }
  const float fovy = fieldOfViewFor(width, height);
  glViewport(0, 0, width, height);
  loadPerspective(fovy, static_cast<double>(width) / height);
}

// The change of viewAngle a key asks for, in degrees; 0 for keys that do not turn.
static float rotationOf(unsigned char key) {
  switch (key) {
    case 'x':
    case 'X':
      return ROTATION_STEP;
    case 'z':
    case 'Z':
      return -ROTATION_STEP;
    default:
      return 0.0F;
  }
}

// Brings an angle that is at most one step outside [0, 360) back into it.
static float wrapViewAngle(float angle) {
  if (angle < 0.0F) {
    angle = angle + FULL_TURN;
  }
  if (angle >= FULL_TURN) {
    angle = angle - FULL_TURN;
  }
  return angle;
}

void onKeyboard(unsigned char key, int x, int y) {
  (void)x;
  (void)y;
  if (key == KEY_ESCAPE) {
    glutDestroyWindow(mainWindow);
    exit(0);
  }
  const float step = rotationOf(key);
  const bool rotated = step != 0.0F;
  viewAngle = wrapViewAngle(viewAngle + step);
  // Drawn here and now rather than posted, so every key event shows its own frame.
  if (rotated) {
    drawScene();
  }
}
