// SPDX-License-Identifier: MIT
// The angles the keys can reach, for tests that sweep all of them.
#pragma once

#include <vector>

// 0, 5, ..., 355 degrees: every value viewAngle can hold.
inline const std::vector<float>& reachableViewAngles() {
  static const std::vector<float> angles = [] {
    std::vector<float> a;
    for (int k = 0; k < 72; ++k) {
      a.push_back(static_cast<float>(5 * k));
    }
    return a;
  }();
  return angles;
}
