// SPDX-License-Identifier: MIT
// A minimal PNG writer (one IDAT chunk, compressed by zlib, no filtering)
// and a reader of what such writers and browsers produce.
#include "harness/png.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// The file a write to `path` lands in: `path` itself, or the end of its
// chain of symbolic links, so that a link stays a link to the new file.
static std::string resolved(std::string path) {
  for (int hop = 0; hop < 40; ++hop) {  // as many as the kernel follows
    struct stat st = {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      break;
    }
    std::string target(static_cast<size_t>(st.st_size) + 1, '\0');
    const ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n < 0) {
      break;
    }
    target.resize(static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    if (target[0] == '/' || slash == std::string::npos) {
      path = target;
    } else {
      path.resize(slash + 1);
      path += target;
    }
  }
  return path;
}

static std::string directoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool canWritePng(const std::string& path, std::string& why) {
  const std::string target = resolved(path);
  struct stat st = {};
  if (stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      why = "not a regular file";
      return false;
    }
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
      why = "it is read-only; make it writable or remove it";
      return false;
    }
    if (access(target.c_str(), W_OK) != 0) {
      why = strerror(errno);
      return false;
    }
  } else if (errno != ENOENT) {
    why = strerror(errno);
    return false;
  }
  if (access(directoryOf(target).c_str(), W_OK | X_OK) != 0) {
    why = strerror(errno);
    return false;
  }
  return true;
}

// Writes `bytes` to a new file beside where `path` leads and renames it
// there, so that it holds the whole PNG or is left as it was: a full disk
// leaves no part of a file behind. The file gets the mode a new file would.
// The temporary name is short, whatever the length of the PNG's own.
static int writeWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string target = resolved(path);
  std::string temporary = directoryOf(target) + "/.png-XXXXXX";
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
  if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0) {
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
    raw.insert(raw.end(), row, row + 3L * width);
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

static uint32_t big32(const std::vector<uint8_t>& in, size_t at) {
  return (uint32_t{in[at]} << 24) | (uint32_t{in[at + 1]} << 16) | (uint32_t{in[at + 2]} << 8) |
         uint32_t{in[at + 3]};
}

// The predictor of the Paeth filter: whichever neighbour is nearest a + b - c.
static int paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) {
    return a;
  }
  return pb <= pc ? b : c;
}

// What a PNG's header says, and its pixel data still compressed.
struct PngParts {
  int width = 0;
  int height = 0;
  int channels = 0;  // 3 for RGB, 4 for RGBA
  std::vector<uint8_t> packed;
};

static bool splitChunks(const std::vector<uint8_t>& png, PngParts& parts, std::string& why) {
  static const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (png.size() < sizeof signature || memcmp(png.data(), signature, sizeof signature) != 0) {
    why = "not a PNG file";
    return false;
  }
  for (size_t at = sizeof signature; at + 12 <= png.size();) {
    const size_t length = big32(png, at);
    const size_t data = at + 8;
    if (data + length + 4 > png.size()) {
      why = "a chunk runs past the end of the file";
      return false;
    }
    const auto begin = png.begin() + static_cast<long>(data);
    if (memcmp(&png[at + 4], "IHDR", 4) == 0 && length >= 13) {
      parts.width = static_cast<int>(big32(png, data));
      parts.height = static_cast<int>(big32(png, data + 4));
      const uint8_t colour = png[data + 9];
      parts.channels = colour == 2 ? 3 : colour == 6 ? 4 : 0;
      if (png[data + 8] != 8 || parts.channels == 0 || png[data + 12] != 0) {
        why = "not 8-bit RGB or RGBA without interlace";
        return false;
      }
    } else if (memcmp(&png[at + 4], "IDAT", 4) == 0) {
      parts.packed.insert(parts.packed.end(), begin, begin + static_cast<long>(length));
    }
    at = data + length + 4;
  }
  if (parts.channels == 0 || parts.width <= 0 || parts.height <= 0) {
    why = "no image header";
    return false;
  }
  return true;
}

// Undoes each row's filter, which predicted its bytes from the byte one
// pixel to the left (a), the one above (b) and the one above that (c).
static bool unfilter(const std::vector<uint8_t>& raw, const PngParts& parts,
                     std::vector<uint8_t>& pixels, std::string& why) {
  const size_t stride = static_cast<size_t>(parts.width) * parts.channels;
  const size_t left = static_cast<size_t>(parts.channels);
  pixels.assign(stride * static_cast<size_t>(parts.height), 0);
  for (size_t y = 0; y < static_cast<size_t>(parts.height); ++y) {
    const uint8_t filter = raw[y * (stride + 1)];
    if (filter > 4) {
      why = "a row names an unknown filter";
      return false;
    }
    const uint8_t* in = &raw[y * (stride + 1) + 1];
    uint8_t* row = &pixels[y * stride];
    const uint8_t* up = y > 0 ? &pixels[(y - 1) * stride] : nullptr;
    for (size_t k = 0; k < stride; ++k) {
      const int a = k >= left ? row[k - left] : 0;
      const int b = up != nullptr ? up[k] : 0;
      const int c = up != nullptr && k >= left ? up[k - left] : 0;
      const int predicted[] = {0, a, b, (a + b) / 2, paeth(a, b, c)};
      row[k] = static_cast<uint8_t>(in[k] + predicted[filter]);
    }
  }
  return true;
}

bool decodePng(const std::vector<uint8_t>& png, xw::Image& image, std::string& why) {
  PngParts parts;
  if (!splitChunks(png, parts, why)) {
    return false;
  }
  const size_t stride = static_cast<size_t>(parts.width) * parts.channels;
  std::vector<uint8_t> raw((stride + 1) * static_cast<size_t>(parts.height));
  uLongf rawSize = raw.size();
  if (uncompress(raw.data(), &rawSize, parts.packed.data(),
                 static_cast<uLong>(parts.packed.size())) != Z_OK ||
      rawSize != raw.size()) {
    why = "its pixel data does not inflate to the image's size";
    return false;
  }
  std::vector<uint8_t> pixels;
  if (!unfilter(raw, parts, pixels, why)) {
    return false;
  }
  image.width = parts.width;
  image.height = parts.height;
  image.rgb.clear();
  image.rgb.reserve(static_cast<size_t>(image.width) * image.height * 3);
  for (size_t k = 0; k < pixels.size(); k += static_cast<size_t>(parts.channels)) {
    image.rgb.insert(image.rgb.end(), &pixels[k], &pixels[k] + 3);
  }
  return true;
}

bool readPng(const std::string& path, xw::Image& image, std::string& why) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) {
    why = "cannot open " + path + ": " + strerror(errno);
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  for (size_t n = 0; (n = fread(buffer, 1, sizeof buffer, file)) > 0;) {
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  fclose(file);
  return decodePng(bytes, image, why);
}
