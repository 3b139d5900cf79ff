// SPDX-License-Identifier: MIT
// The view state that the keyboard changes and every frame reads, and the
// one approximation of pi that all degree conversions share.
#pragma once

// Deliberately the six-decimal value and not the exact pi: the colour table's
// wave and the cone edges are defined in terms of it.
constexpr double PI_APPROX = 3.141592;

extern float viewAngle;  // degrees, always one of 0, 5, ..., 355
extern int mainWindow;   // GLUT identifier of the one window
