// SPDX-License-Identifier: MIT
// PNG files of screenshots: written by the screenshot tool, read back by the
// tests that compare a frame with a stored picture or a browser's capture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "harness/x11_window.h"

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

// Decodes an 8-bit RGB or RGBA PNG, not interlaced (what our writer and
// browsers' screenshots produce), to RGB; alpha is dropped. False, with
// `why` saying what it could not read, for anything else.
bool decodePng(const std::vector<uint8_t>& png, xw::Image& image, std::string& why);
// The same for the file at `path`.
bool readPng(const std::string& path, xw::Image& image, std::string& why);
