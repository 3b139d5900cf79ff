// SPDX-License-Identifier: MIT
// PNG files of screenshots: written by the screenshot tool, read back by the
// tests that compare a frame with a stored picture or a browser's capture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "harness/x11_window.h"

// Writes `rgb` (width * height pixels, row-major from the top-left, three
// bytes each) to `path` as an 8-bit RGB PNG, whole or not at all: nothing of
// it is left where it could not be written. Returns 0, or the errno value
// that says why it could not.
int writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

// Decodes an 8-bit RGB or RGBA PNG, not interlaced (what our writer and
// browsers' screenshots produce), to RGB; alpha is dropped. False, with
// `why` saying what it could not read, for anything else.
bool decodePng(const std::vector<uint8_t>& png, xw::Image& image, std::string& why);
// The same for the file at `path`.
bool readPng(const std::string& path, xw::Image& image, std::string& why);
