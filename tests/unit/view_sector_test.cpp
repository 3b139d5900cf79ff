// SPDX-License-Identifier: MIT
// Which side of the map square an angle faces.
#include <gtest/gtest.h>

#include "render/map_panel.h"

TEST(ViewSectorOf, ClassifiesRawAnglesWithTheBoundariesInTheXSectors) {
  const struct {
    float angle;
    ViewSector sector;
  } cases[] = {
      {45, ViewSector::PlusX},
      {315, ViewSector::PlusX},
      {135, ViewSector::MinusX},
      {225, ViewSector::MinusX},
      {44, ViewSector::PlusX},
      {46, ViewSector::PlusY},
      {134, ViewSector::PlusY},
      {136, ViewSector::MinusX},
      {224, ViewSector::MinusX},
      {226, ViewSector::MinusY},
      {314, ViewSector::MinusY},
      {316, ViewSector::PlusX},
      // Edge angles are not wrapped first.
      {-30, ViewSector::PlusX},
      {375, ViewSector::PlusX},
      {385, ViewSector::PlusX},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(viewSectorOf(c.angle), c.sector) << c.angle;
  }
}
