// SPDX-License-Identifier: MIT
// Window, key and pixel helpers on an X display.
#include "harness/x11_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "harness/wait_until.h"

namespace xw {

Display* openDisplay(const char* name, double seconds) {
  Display* dpy = nullptr;
  waitUntil([&] { return (dpy = XOpenDisplay(name)) != nullptr; }, seconds);
  return dpy;
}

static bool titled(Display* dpy, Window w, const std::string& title, const WindowFilter& accept) {
  char* name = nullptr;
  bool match = false;
  if (XFetchName(dpy, w, &name) != 0 && name != nullptr) {
    match = title == name;
    XFree(name);
  }
  return match && (!accept || accept(dpy, w));
}

static bool viewable(Display* dpy, Window w) {
  XWindowAttributes attrs;
  return XGetWindowAttributes(dpy, w, &attrs) != 0 && attrs.map_state == IsViewable;
}

// Depth first below `parent`; 0 when no window there is titled `title`.
static Window findBelow(Display* dpy, Window parent, const std::string& title,
                        const WindowFilter& accept) {
  Window root = 0;
  Window up = 0;
  Window* children = nullptr;
  unsigned int n = 0;
  if (XQueryTree(dpy, parent, &root, &up, &children, &n) == 0) {
    return 0;
  }
  Window found = 0;
  for (unsigned int k = 0; k < n && found == 0; ++k) {
    found = titled(dpy, children[k], title, accept) ? children[k]
                                                    : findBelow(dpy, children[k], title, accept);
  }
  if (children != nullptr) {
    XFree(children);
  }
  return found;
}

static int ignoreErrors(Display*, XErrorEvent*) { return 0; }

Window findTitledWindow(Display* dpy, const std::string& title, double seconds,
                        const WindowFilter& accept) {
  // Windows may vanish between listing and asking about them; that is no
  // error of the caller's.
  XSync(dpy, False);
  const XErrorHandler previous = XSetErrorHandler(ignoreErrors);
  Window found = 0;
  waitUntil([&] { return (found = findBelow(dpy, DefaultRootWindow(dpy), title, accept)) != 0; },
            seconds);
  XSync(dpy, False);
  XSetErrorHandler(previous);
  return found;
}

Window findWindow(Display* dpy, const std::string& title, double seconds,
                  const WindowFilter& accept) {
  return findTitledWindow(dpy, title, seconds, [&](Display* d, Window w) {
    return viewable(d, w) && (!accept || accept(d, w));
  });
}

// The number of zero bits below the lowest set bit of a non-zero mask.
static int lowestSetBit(unsigned long mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1UL) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

// Scales one colour channel of a pixel to 0...255; the mask's shift and width
// are found once per screenshot, not once per pixel.
struct Channel {
  unsigned long mask = 0;
  int shift = lowestSetBit(mask);
  unsigned long max = mask != 0 ? mask >> shift : 1;
  uint8_t of(unsigned long pixel) const {
    return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / max);
  }
};

harness::Image grab(Display* dpy, Window win) {
  XWindowAttributes attrs;
  XGetWindowAttributes(dpy, win, &attrs);
  harness::Image img;
  XImage* x = XGetImage(dpy, win, 0, 0, static_cast<unsigned>(attrs.width),
                        static_cast<unsigned>(attrs.height), AllPlanes, ZPixmap);
  if (x == nullptr) {
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

bool isPainted(const harness::Image& img) {
  return std::any_of(img.rgb.begin(), img.rgb.end(), [](uint8_t v) { return v != 0; });
}

harness::Image grabSettled(Display* dpy, Window win, double seconds) {
  // Two grabs 20 ms apart that agree hold a finished frame.
  harness::Image last = grab(dpy, win);
  waitUntil(
      [&] {
        harness::Image now = grab(dpy, win);
        const bool same = now == last;
        last = std::move(now);
        return same;
      },
      seconds, 20);
  return last;
}

Window findPaintedWindow(Display* dpy, const std::string& title, double seconds,
                         const std::function<bool()>& giveUp, const WindowFilter& accept) {
  Window win = 0;
  bool painted = false;
  // One deadline for both: the window first, then anything but black in it.
  waitUntil(
      [&] {
        if (win == 0) {
          win = findWindow(dpy, title, 0.0, accept);
        }
        painted = win != 0 && isPainted(grab(dpy, win));
        return painted || (giveUp && giveUp());
      },
      seconds);
  return painted ? win : 0;
}

WindowClass windowClass(Display* dpy, Window win) {
  WindowClass found;
  XClassHint hint{};
  if (XGetClassHint(dpy, win, &hint) != 0) {
    found = {hint.res_name != nullptr ? hint.res_name : "",
             hint.res_class != nullptr ? hint.res_class : ""};
    XFree(hint.res_name);
    XFree(hint.res_class);
  }
  return found;
}

// The first item of `property`, asked for as `wanted` (AnyPropertyType for
// any): its type (None where unset), its format, and its value where that
// is a 32-bit item.
struct PropertyItem {
  Atom type = None;
  int format = 0;
  long value = -1;
};

static PropertyItem firstItem(Display* dpy, Window win, const char* property, Atom wanted) {
  PropertyItem item;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, win, XInternAtom(dpy, property, False), 0, 1, False, wanted,
                         &item.type, &item.format, &count, &after, &data) == Success &&
      item.format == 32 && count == 1) {
    // Xlib hands 32-bit items over as longs, in a byte pointer.
    item.value =
        *reinterpret_cast<long*>(data);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
  }
  if (data != nullptr) {
    XFree(data);
  }
  return item;
}

long cardinalProperty(Display* dpy, Window win, const char* property) {
  const PropertyItem item = firstItem(dpy, win, property, XA_CARDINAL);
  return item.type == XA_CARDINAL ? item.value : -1;
}

bool hasProperty(Display* dpy, Window win, const char* property) {
  return firstItem(dpy, win, property, AnyPropertyType).type != None;
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

}  // namespace xw
