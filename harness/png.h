// SPDX-License-Identifier: MIT
// PNG files of screenshots, through libpng: written by the screenshot tool
// and by the tests that save the Linux viewer's frames for the page's
// browser tests, read back by the tests that compare a frame with a stored
// picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "harness/image.h"

// The largest picture, in pixels a side, that the reader takes, well above
// any frame of the viewer's: a header that claims more is refused before
// anything is allocated for it.
constexpr int PNG_MAX_SIDE = 4096;

// Whether a PNG can be written to `path`, without writing anything; if
// not, `why` says why. A symbolic link is written through to where it
// leads; an existing file must be a regular one with write permission (a
// read-only one is not replaced).
bool canWritePng(const std::string& path, std::string& why);

// Writes `rgb` (width * height pixels, row-major from the top-left, three
// bytes each) to `path` as an 8-bit RGB PNG, whole or not at all: nothing of
// it is left where it could not be written. Returns 0, or the errno value
// that says why it could not.
int writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

// Decodes a PNG of any kind libpng reads to 8-bit RGB; opaque pixels keep
// their values, alpha is composited onto black. False, with `why` saying
// why, for what is no PNG or is larger than PNG_MAX_SIDE a side.
bool decodePng(const std::vector<uint8_t>& png, harness::Image& image, std::string& why);
// The same for the file at `path`.
bool readPng(const std::string& path, harness::Image& image, std::string& why);
