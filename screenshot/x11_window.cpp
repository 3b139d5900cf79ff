// SPDX-License-Identifier: MIT
// Window, key and pixel helpers on an X display, and a minimal PNG writer.
#include "screenshot/x11_window.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace xw {

Rgb Image::at(int x, int y) const {
  const size_t k = 3 * (static_cast<size_t>(y) * width + x);
  return Rgb{rgb[k], rgb[k + 1], rgb[k + 2]};
}

bool Image::operator==(const Image& other) const {
  return width == other.width && height == other.height && rgb == other.rgb;
}

bool waitUntil(const std::function<bool()>& done, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (true) {
    if (done()) {
      return true;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

Display* openDisplay(const char* name) {
  Display* dpy = nullptr;
  waitUntil([&] { return (dpy = XOpenDisplay(name)) != nullptr; }, 5.0);
  return dpy;
}

static bool titled(Display* dpy, Window w, const std::string& title) {
  char* name = nullptr;
  bool match = false;
  if (XFetchName(dpy, w, &name) && name) {
    match = title == name;
    XFree(name);
  }
  XWindowAttributes attrs;
  return match && XGetWindowAttributes(dpy, w, &attrs) && attrs.map_state == IsViewable;
}

// Depth first below `parent`; 0 when no window there is titled `title`.
static Window findBelow(Display* dpy, Window parent, const std::string& title) {
  Window root;
  Window up;
  Window* children = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(dpy, parent, &root, &up, &children, &n)) {
    return 0;
  }
  Window found = 0;
  for (unsigned int k = 0; k < n && !found; ++k) {
    found = titled(dpy, children[k], title) ? children[k] : findBelow(dpy, children[k], title);
  }
  if (children) {
    XFree(children);
  }
  return found;
}

static int ignoreErrors(Display*, XErrorEvent*) { return 0; }

Window findWindow(Display* dpy, const std::string& title, double seconds) {
  // Windows may vanish between listing and asking about them; that is no
  // error of the caller's.
  XSync(dpy, False);
  const XErrorHandler previous = XSetErrorHandler(ignoreErrors);
  Window found = 0;
  waitUntil([&] { return (found = findBelow(dpy, DefaultRootWindow(dpy), title)) != 0; }, seconds);
  XSync(dpy, False);
  XSetErrorHandler(previous);
  return found;
}

// Scales one colour channel of a pixel to 0...255; the mask's shift and width
// are found once per screenshot, not once per pixel.
struct Channel {
  unsigned long mask;
  int shift = 0;
  unsigned long max = 1;
  explicit Channel(unsigned long m) : mask(m) {
    while (mask != 0 && ((mask >> shift) & 1UL) == 0) {
      ++shift;
    }
    max = mask == 0 ? 1 : mask >> shift;
  }
  uint8_t of(unsigned long pixel) const {
    return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / max);
  }
};

Image grab(Display* dpy, Window win) {
  XWindowAttributes attrs;
  XGetWindowAttributes(dpy, win, &attrs);
  Image img;
  XImage* x = XGetImage(dpy, win, 0, 0, static_cast<unsigned>(attrs.width),
                        static_cast<unsigned>(attrs.height), AllPlanes, ZPixmap);
  if (!x) {
    return img;
  }
  img.width = attrs.width;
  img.height = attrs.height;
  img.rgb.resize(3 * static_cast<size_t>(img.width) * img.height);
  const Channel red(x->red_mask);
  const Channel green(x->green_mask);
  const Channel blue(x->blue_mask);
  for (int yy = 0; yy < img.height; ++yy) {
    for (int xx = 0; xx < img.width; ++xx) {
      const unsigned long pixel = XGetPixel(x, xx, yy);
      const size_t k = 3 * (static_cast<size_t>(yy) * img.width + xx);
      img.rgb[k] = red.of(pixel);
      img.rgb[k + 1] = green.of(pixel);
      img.rgb[k + 2] = blue.of(pixel);
    }
  }
  XDestroyImage(x);
  return img;
}

bool isPainted(const Image& img) {
  for (uint8_t v : img.rgb) {
    if (v != 0) {
      return true;
    }
  }
  return false;
}

Image grabSettled(Display* dpy, Window win, double seconds) {
  Image last = grab(dpy, win);
  Image now;
  waitUntil(
      [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        now = grab(dpy, win);
        const bool same = now == last;
        last = now;
        return same;
      },
      seconds);
  return last;
}

void pressKey(Display* dpy, Window win, unsigned long keysym,
              std::initializer_list<unsigned long> modifiers) {
  XSetInputFocus(dpy, win, RevertToParent, CurrentTime);
  for (const unsigned long m : modifiers) {
    XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, m), True, CurrentTime);
  }
  const KeyCode code = XKeysymToKeycode(dpy, keysym);
  XTestFakeKeyEvent(dpy, code, True, CurrentTime);
  XTestFakeKeyEvent(dpy, code, False, CurrentTime);
  for (const unsigned long m : modifiers) {
    XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, m), False, CurrentTime);
  }
  XFlush(dpy);
}

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

bool writePng(const std::string& path, const Image& img) {
  std::vector<uint8_t> raw;
  for (int y = 0; y < img.height; ++y) {
    raw.push_back(0);  // no filter on this row
    const auto row = img.rgb.begin() + 3 * static_cast<long>(y) * img.width;
    raw.insert(raw.end(), row, row + 3 * img.width);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) !=
      Z_OK) {
    return false;
  }
  packed.resize(packedSize);

  std::vector<uint8_t> header;
  putBig32(header, static_cast<uint32_t>(img.width));
  putBig32(header, static_cast<uint32_t>(img.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  putChunk(png, "IHDR", header);
  putChunk(png, "IDAT", packed);
  putChunk(png, "IEND", {});
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    return false;
  }
  const bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
  return fclose(f) == 0 && ok;
}

}  // namespace xw
