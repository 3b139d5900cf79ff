// SPDX-License-Identifier: MIT
// Finds a top-level window on an X display by its title, reads its pixels
// back and presses keys in it. Every wait has a deadline.
#pragma once

#include <X11/Xlib.h>

#include <functional>
#include <string>

#include "harness/image.h"

namespace xw {

// Opens `name` (DISPLAY when null), retrying for up to `seconds` while a
// server that is still starting refuses connections.
Display* openDisplay(const char* name = nullptr, double seconds = 5.0);
// A further test a window must pass to be found (say, whose it is).
using WindowFilter = std::function<bool(Display*, Window)>;
// The first viewable window titled `title` that `accept` takes (when given),
// at any depth: a window manager puts the application's window inside a
// frame of its own.
Window findWindow(Display* dpy, const std::string& title, double seconds,
                  const WindowFilter& accept = nullptr);
// The same, mapped or not: a window a window manager keeps as an icon, say.
Window findTitledWindow(Display* dpy, const std::string& title, double seconds,
                        const WindowFilter& accept = nullptr);

harness::Image grab(Display* dpy, Window win);
// True once anything other than black shows: a window has had a frame.
bool isPainted(const harness::Image& img);
// The window titled `title` once it shows anything but black, which a
// window does once it has had its first frame; 0 if none does within
// `seconds`, or as soon as `giveUp` holds (say, once its program has ended).
Window findPaintedWindow(Display* dpy, const std::string& title, double seconds,
                         const std::function<bool()>& giveUp = nullptr,
                         const WindowFilter& accept = nullptr);
// Waits until two screenshots in a row agree and returns the last: the
// window holds a finished frame, not one still being painted.
harness::Image grabSettled(Display* dpy, Window win, double seconds);

// The instance and class names that WM_CLASS holds; empty where it is unset.
struct WindowClass {
  std::string instance;
  std::string name;
};
WindowClass windowClass(Display* dpy, Window win);
// The first value of the 32-bit CARDINAL property `property`, -1 where unset.
long cardinalProperty(Display* dpy, Window win, const char* property);
// Whether `win` has the property `property`, of any type.
bool hasProperty(Display* dpy, Window win, const char* property);

// Sends `win` the press and release of a key (an X keysym) with the given
// modifiers (a state mask such as ShiftMask) held. Sent to the window itself,
// the keys reach it wherever the focus is: Xwayland, for one, gives the focus
// only to a window its compositor has activated.
void pressKey(Display* dpy, Window win, unsigned long keysym, unsigned int modifiers = 0);

}  // namespace xw
