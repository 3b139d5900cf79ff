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
// Windows whose width / height lies below this float get a wider field of
// view. Rounded to float it lies just above 600 / 207, so the design size
// itself counts as narrower (and keeps 45 degrees all the same).
constexpr float DESIGN_RATIO_THRESHOLD =
    static_cast<float>(static_cast<double>(DESIGN_WIDTH) / DESIGN_HEIGHT);
constexpr double NEAR_PLANE = static_cast<double>(0.1F);  // eye units, a float 0.1 widened
constexpr double FAR_PLANE = 500.0;                       // eye units

constexpr float ROTATION_STEP = 5.0F;  // degrees per key press
constexpr float FULL_TURN = 360.0F;    // degrees
constexpr unsigned char KEY_ESCAPE = 27;

// Runs the whole start-up sequence and GLUT's event loop; main's body.
int viewerMain(int argc, char** argv);

void onReshape(int width, int height);
void onKeyboard(unsigned char key, int x, int y);
