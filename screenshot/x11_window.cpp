// SPDX-License-Identifier: MIT
// Window, key and pixel helpers on an X display, and a minimal PNG writer.
#include "screenshot/x11_window.h"

#include <X11/Xutil.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

namespace xw {

bool waitUntil(const std::function<bool()>& done, double seconds, int pollMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
  return true;
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
  int shift = mask ? __builtin_ctzl(mask) : 0;
  unsigned long max = mask ? mask >> shift : 1;
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
  const Channel channels[] = {{x->red_mask}, {x->green_mask}, {x->blue_mask}};
  img.rgb.reserve(3 * static_cast<size_t>(img.width) * img.height);
  for (int yy = 0; yy < img.height; ++yy) {
    for (int xx = 0; xx < img.width; ++xx) {
      const unsigned long pixel = XGetPixel(x, xx, yy);
      for (const Channel& c : channels) {
        img.rgb.push_back(c.of(pixel));
      }
    }
  }
  XDestroyImage(x);
  return img;
}

bool isPainted(const Image& img) {
  return std::any_of(img.rgb.begin(), img.rgb.end(), [](uint8_t v) { return v != 0; });
}

Image grabSettled(Display* dpy, Window win, double seconds) {
  // Two grabs 20 ms apart that agree hold a finished frame.
  Image last = grab(dpy, win);
  waitUntil(
      [&] {
        Image now = grab(dpy, win);
        const bool same = now == last;
        last = std::move(now);
        return same;
      },
      seconds, 20);
  return last;
}

void pressKey(Display* dpy, Window win, unsigned long keysym, unsigned int modifiers) {
  XEvent ev{};
  ev.xkey.display = dpy;
  ev.xkey.window = win;
  ev.xkey.root = DefaultRootWindow(dpy);
  ev.xkey.time = CurrentTime;
  ev.xkey.same_screen = True;
  ev.xkey.state = modifiers;
  ev.xkey.keycode = XKeysymToKeycode(dpy, keysym);
  for (const int type : {KeyPress, KeyRelease}) {
    ev.type = type;
    XSendEvent(dpy, win, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &ev);
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
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  out.close();
  return !out.fail();
}

}  // namespace xw
