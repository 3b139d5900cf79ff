// SPDX-License-Identifier: MIT
// A minimal PNG writer for 8-bit RGB screenshots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes `rgb` (width * height pixels, row-major from the top-left, three
// bytes each) to `path` as an 8-bit RGB PNG, whole or not at all: nothing of
// it is left where it could not be written. Returns 0, or the errno value
// that says why it could not.
int writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
