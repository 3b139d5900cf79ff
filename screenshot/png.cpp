// SPDX-License-Identifier: MIT
// A minimal PNG writer: one IDAT chunk, compressed by zlib, no filtering.
#include "screenshot/png.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>

static void putBig32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<uint8_t>(v >> shift));
  }
}

static void putChunk(std::vector<uint8_t>& out, const char* type,
                     const std::vector<uint8_t>& data) {
  putBig32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
  putBig32(out, static_cast<uint32_t>(crc));
}

int writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
  std::vector<uint8_t> raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter on this row
    const auto row = rgb.begin() + 3 * static_cast<long>(y) * width;
    raw.insert(raw.end(), row, row + 3 * width);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) !=
      Z_OK) {
    return ENOMEM;  // the only way compression of a buffer this size fails
  }
  packed.resize(packedSize);

  std::vector<uint8_t> header;
  putBig32(header, static_cast<uint32_t>(width));
  putBig32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  putChunk(png, "IHDR", header);
  putChunk(png, "IDAT", packed);
  putChunk(png, "IEND", {});
  FILE* out = fopen(path.c_str(), "wb");
  if (!out) {
    return errno;
  }
  const bool written = fwrite(png.data(), 1, png.size(), out) == png.size();
  const int writeError = errno;
  if (fclose(out) != 0) {
    return errno;
  }
  return written ? 0 : writeError;
}
