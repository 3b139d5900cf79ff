// SPDX-License-Identifier: MIT
// The frame sequence and the floor: everything else of a frame is drawn by
// the map panel and the view-cone fill in the transform the panel leaves.
#include "render/scene.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

#include "app/view_state.h"
#include "render/map_panel.h"
#include "render/view_cone.h"

// The shade offset of the next strip: 0.8 after 0.0, and 0.0 after 0.8.
static float nextStripShade(float shade) { return shade == 0.0F ? STRIP_SHADE_BRIGHT : 0.0F; }

// First drawing step: six triangle strips turned by viewAngle about y.
static void drawFloorStrips() {
  glLoadIdentity();
  glTranslatef(0.0F, 0.0F, -EYE_DISTANCE);
  glRotatef(viewAngle, 0.0F, 1.0F, 0.0F);

  float shade = 0.0F;
  for (float x = STRIP_FIRST_X; x < STRIP_END_X; x += STRIP_STEP) {
    // The sum is formed in double and rounded once: 0.8f + 0.2 gives exactly 1.0f.
    const float c = static_cast<float>(shade + STRIP_SHADE_BASE);
    glColor3f(STRIP_RED, c, c);
    glBegin(GL_TRIANGLE_STRIP);
    for (float z = STRIP_FAR_Z; z < STRIP_END_Z; z += STRIP_STEP) {
      glVertex3f(x, FLOOR_HEIGHT, z);
      glVertex3f(x - STRIP_WIDTH, FLOOR_HEIGHT, z);
    }
    glEnd();
    shade = nextStripShade(shade);
  }
}

void drawScene() {
  // No depth buffer is used, so only colour needs clearing.
  glClear(GL_COLOR_BUFFER_BIT);
  drawFloorStrips();
  // Computed once: the panel draws the cone's edges, the fill scans between them.
  const ViewCone cone = viewConeFor(viewAngle);
  drawMapPanel(cone);
  fillViewCone(cone.slopes);
  glutSwapBuffers();

  const GLenum err = glGetError();
  if (err != GL_NO_ERROR) {
    printf("Error while using OpenGL.\nAborting...\n");
    exit(1);
  }
}
