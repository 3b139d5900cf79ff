// SPDX-License-Identifier: MIT
// One whole frame: the rotated floor, the map panel and the view-cone fill,
// then the buffer swap and the frame's OpenGL error check.
#pragma once

// The floor turns about, and the map panel lies in, the plane this far before
// the eye, in modelview units.
constexpr float EYE_DISTANCE = 250.0F;

// Floor geometry, in modelview units.
constexpr float FLOOR_HEIGHT = -60.0F;    // y of the floor plane
constexpr float STRIP_WIDTH = 50.0F;      // each strip spans x - 50 to x
constexpr float STRIP_FIRST_X = -100.0F;  // right edge of the first strip
constexpr float STRIP_END_X = 200.0F;     // strips continue while x is below this
constexpr float STRIP_FAR_Z = -150.0F;    // far end of every strip, its first vertex pair
constexpr float STRIP_END_Z = 150.0F;     // vertex pairs continue while z is below this
constexpr float STRIP_STEP = 50.0F;       // spacing of strips in x and of vertex pairs in z

// Floor colours: red is fixed; green and blue share one shade, 0.2 on the
// first strip and 1.0 on the next, alternating.
constexpr float STRIP_RED = 0.4F;
constexpr double STRIP_SHADE_BASE = 0.2;    // a double: the sum with the offset is rounded once
constexpr float STRIP_SHADE_BRIGHT = 0.8F;  // added to the base on every second strip
// The green and blue of the two kinds of strip as a frame draws them, each
// sum rounded once to float (0.2 and exactly 1.0), for what reads the frame.
constexpr float STRIP_DARK_SHADE = static_cast<float>(STRIP_SHADE_BASE);
constexpr float STRIP_LIGHT_SHADE = static_cast<float>(STRIP_SHADE_BRIGHT + STRIP_SHADE_BASE);

// GLUT display callback, also called straight from the keyboard callback.
void drawScene();
