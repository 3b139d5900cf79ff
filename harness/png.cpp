// SPDX-License-Identifier: MIT
// PNG files through libpng's simplified API; what is ours is where a file
// is written: beside its target, then renamed into place.
#include "harness/png.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

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
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (png_image_write_get_memory_size(image, size, 0, rgb.data(), 0, nullptr) == 0) {
    return ENOMEM;  // libpng fails only for want of memory on an image this small
  }
  std::vector<uint8_t> png(size);
  if (png_image_write_to_memory(&image, png.data(), &size, 0, rgb.data(), 0, nullptr) == 0) {
    return ENOMEM;
  }
  png.resize(size);
  return writeWhole(path, png);
}

bool decodePng(const std::vector<uint8_t>& png, harness::Image& image, std::string& why) {
  png_image header{};
  header.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&header, png.data(), png.size()) == 0) {
    why = std::string("not a PNG libpng can read: ") + header.message;
    return false;
  }
  if (header.width > PNG_MAX_SIDE || header.height > PNG_MAX_SIDE) {
    why = "the PNG is " + std::to_string(header.width) + " x " + std::to_string(header.height) +
          " pixels, more than the " + std::to_string(PNG_MAX_SIDE) + " a side this reads";
    png_image_free(&header);
    return false;
  }
  header.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(header), 0);  // black, under any alpha
  if (png_image_finish_read(&header, nullptr, rgb.data(), 0, nullptr) == 0) {
    why = std::string("the PNG's pixels cannot be read: ") + header.message;
    return false;
  }
  image.width = static_cast<int>(header.width);
  image.height = static_cast<int>(header.height);
  image.rgb = std::move(rgb);
  return true;
}

bool readPng(const std::string& path, harness::Image& image, std::string& why) {
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
