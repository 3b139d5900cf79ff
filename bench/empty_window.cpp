// SPDX-License-Identifier: MIT
// The cheapest frame the same stack can show: a 600 x 207 GLUT window that
// only clears and swaps, redrawn straight from its keyboard callback like the
// viewer. The real-stack measurement compares the viewer with it.
#include <GL/glut.h>

#include <cstdlib>

static int window = 0;  // GLUT window identifier

static void draw() {
  glClear(GL_COLOR_BUFFER_BIT);
  glutSwapBuffers();
}

static void key(unsigned char k, int x, int y) {
  (void)x;
  (void)y;
  if (k == 27) {
    glutDestroyWindow(window);
    exit(0);
  }
  draw();
}

int main(int argc, char** argv) {
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
  glutInitWindowSize(600, 207);
  glutInitWindowPosition(0, 0);
  window = glutCreateWindow("Empty");
  glutDisplayFunc(draw);
  glutKeyboardFunc(key);
  // Not black, so its first frame can be told from an unpainted window.
  glClearColor(0.25F, 0.25F, 0.25F, 0.0F);
  glutMainLoop();
  return 0;
}
