// SPDX-License-Identifier: MIT
// The cheapest frame the same stack can show: a GLUT window of the viewer's size that
// only clears and swaps, redrawn straight from its keyboard callback like the
// viewer. The real-stack measurement compares the viewer with it.
#include <GL/glut.h>

#include <cstdlib>

#include "app/shell.h"

static int window = 0;  // GLUT window identifier

static void draw() {
  glClear(GL_COLOR_BUFFER_BIT);
  glutSwapBuffers();
}

static void key(unsigned char k, int x, int y) {
  (void)x;
  (void)y;
  if (k == KEY_ESCAPE) {
    glutDestroyWindow(window);
    exit(0);
  }
  draw();
}

int main(int argc, char** argv) {
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
  glutInitWindowSize(DESIGN_WIDTH, DESIGN_HEIGHT);
  glutInitWindowPosition(WINDOW_X, WINDOW_Y);
  window = glutCreateWindow("Empty");
  glutDisplayFunc(draw);
  glutKeyboardFunc(key);
  // Not black, so its first frame can be told from an unpainted window.
  glClearColor(0.25F, 0.25F, 0.25F, 0.0F);
  glutMainLoop();
  return 0;
}
