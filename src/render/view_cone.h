// SPDX-License-Identifier: MIT
// The view-cone fill: one point per map unit between the cone's edges,
// scanned line by line away from the centre.
#pragma once

#include "render/map_panel.h"

constexpr float FILL_POINT_SIZE = 1.0F;  // pixels, one point per map unit

// Third drawing step; draws in the transform drawMapPanel left current.
void fillViewCone(ConeSlopes slopes);
