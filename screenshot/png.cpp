// SPDX-License-Identifier: MIT
// A minimal PNG writer: one IDAT chunk, compressed by zlib, no filtering.
#include "screenshot/png.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

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

// Writes `bytes` to a new file beside `path` and renames it to `path`, so
// that `path` holds the whole PNG or is left as it was: a full disk leaves
// no part of a file behind. The file gets the mode a new file would.
static int writeWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    return errno;
  }
  const mode_t mask = umask(0);
  umask(mask);
  int error = fchmod(fd, 0666 & ~mask) == 0 ? 0 : errno;
  size_t done = 0;
  while (error == 0 && done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      error = errno;
    } else {
      done += static_cast<size_t>(n);
    }
  }
  if (close(fd) != 0 && error == 0) {
    error = errno;
  }
  if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    unlink(temporary.c_str());
  }
  return error;
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
  return writeWhole(path, png);
}
