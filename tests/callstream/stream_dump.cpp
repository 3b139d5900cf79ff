// SPDX-License-Identifier: MIT
// Prints the whole recorded call stream of start-up, a frame at every angle
// the keys reach, a turn each way and a range of window sizes, and every
// colour cell, with each number in hexadecimal floating point. Builds for
// two machines (or by two compilers) must print the same bytes: that is how
// make test-cross shows arm64 draws exactly what amd64 draws.
#include <cstdio>

#include "app/shell.h"
#include "app/view_state.h"
#include "bitmap/color_bitmap.h"
#include "render/scene.h"
#include "support/gl_recorder.h"

static void printCalls(const char* what) {
  printf("== %s\n", what);
  for (const GlCall& c : glrec::calls()) {
    printf("%s(", c.fn.c_str());
    for (const double a : c.args) {
      printf("%a,", a);
    }
    printf("\"%s\")\n", c.text.c_str());
  }
  glrec::reset();
}

int main() {
  char name[] = "quillmere";
  char* argv[] = {name, nullptr};
  glrec::reset();
  viewerMain(1, argv);  // the stand-in main loop returns at once
  printCalls("start-up");
  for (int k = 0; k < 72; ++k) {
    viewAngle = 5.0F * static_cast<float>(k);
    drawScene();
    printCalls("frame");
  }
  for (const unsigned char key : {'x', 'z', 'z'}) {
    onKeyboard(key, 0, 0);
    printCalls("key");
  }
  for (int width = 0; width <= 1300; width += 37) {
    for (int height = 0; height <= 1000; height += 29) {
      onReshape(width, height);
    }
  }
  printCalls("reshapes");
  for (int row = 0; row < COLOR_BITMAP_SIZE; ++row) {
    for (int col = 0; col < COLOR_BITMAP_SIZE; ++col) {
      printf("%a\n", static_cast<double>(colorBitmapAt(row, col)));
    }
  }
  return 0;
}
