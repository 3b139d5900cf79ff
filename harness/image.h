// SPDX-License-Identifier: MIT
// A picture of what the viewer showed, 8-bit RGB: grabbed from an X window,
// read from a PNG or captured by a browser. Kept apart from the X helpers so
// that code which only reads or compares pictures carries no Xlib headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace harness {

struct Rgb {
  int r;
  int g;
  int b;
};

// Row-major from the top-left pixel, three bytes a pixel.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
  Rgb at(int x, int y) const {
    const size_t k = 3 * (static_cast<size_t>(y) * width + x);
    return Rgb{rgb[k], rgb[k + 1], rgb[k + 2]};
  }
  bool operator==(const Image& o) const {
    return width == o.width && height == o.height && rgb == o.rgb;
  }
  bool operator!=(const Image& o) const { return !(*this == o); }
};

}  // namespace harness
