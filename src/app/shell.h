// SPDX-License-Identifier: MIT
// The application shell: start-up, the window, and the reshape and keyboard
// callbacks that GLUT drives.
#pragma once

constexpr int DESIGN_WIDTH = 600;   // pixels, the window's initial width
constexpr int DESIGN_HEIGHT = 207;  // pixels, the window's initial height
constexpr int WINDOW_X = 0;         // pixels from the screen's left edge
constexpr int WINDOW_Y = 0;         // pixels from the screen's top edge

constexpr double BASE_FOVY = 45.0;  // degrees, vertical field of view of the design shape
constexpr float MAX_FOVY = 160.0F;  // degrees, widest field of view a narrow window gets
// The float nearest to 600 / 207: windows whose ratio lies below it get a
// wider field of view. The design size itself lies just below it.
constexpr float DESIGN_RATIO_THRESHOLD = 2.8985507F;
constexpr double NEAR_PLANE = static_cast<double>(0.1F);  // eye units, a float 0.1 widened
constexpr double FAR_PLANE = 500.0;                       // eye units

constexpr float ROTATION_STEP = 5.0F;  // degrees per key press
constexpr float FULL_TURN = 360.0F;    // degrees
constexpr unsigned char KEY_ESCAPE = 27;

// Runs the whole start-up sequence and GLUT's event loop; main's body.
int viewerMain(int argc, char** argv);

void onReshape(int width, int height);
void onKeyboard(unsigned char key, int x, int y);

// Vertical field of view, degrees, for a window of at least 1 x 1 pixels.
float fieldOfViewFor(int width, int height);
// The change of viewAngle a key asks for, in degrees; 0 for keys that do not turn.
float rotationOf(unsigned char key);
// Brings an angle that is at most one step outside [0, 360) back into it.
float wrapViewAngle(float angle);
