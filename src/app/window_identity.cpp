// SPDX-License-Identifier: MIT
// Names the viewer's window to window managers and docks. WM_CLASS is what
// they match to the desktop entry (StartupWMClass) and what users' window
// rules name; _NET_WM_PID ties the window to its process. GLUT sets no
// WM_CLASS, and _NET_WM_PID only where a window manager already runs.
//
// GLUT maps the window inside glutCreateWindow and waits there until it is
// shown, so anything set after that call reaches a window manager only after
// it has managed the window, too late for rules that match at that moment.
// The toolkit offers no earlier hook, so the executable takes the one Xlib
// call GLUT makes to show a window, sets both properties there, and then
// maps it: the server receives them before the map request, in order.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Of the C++ library only its C headers: make run compiles this file on every
// fresh build, and the C++ algorithm headers would take most of its time.

// The window's WM_CLASS: docks match the class name to the desktop entry's
// StartupWMClass, and window managers' rules name either. XClassHint takes
// writable strings; Xlib only reads them.
static char windowInstanceName[] = "quillmere";
static char windowClassName[] = "Quillmere";

static void nameWindow(Display* dpy, Window win) {
  XClassHint hint{&windowInstanceName[0], &windowClassName[0]};
  XSetClassHint(dpy, win, &hint);
  // Format 32 properties are passed to Xlib as longs, in a byte pointer.
  const long pid = getpid();
  alignas(long) unsigned char pidBytes[sizeof pid]{};
  std::memcpy(&pidBytes[0], &pid, sizeof pid);
  XChangeProperty(dpy, win, XInternAtom(dpy, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, &pidBytes[0], 1);
}

// Replaces Xlib's XMapWindow for the libraries the executable loads: the
// linker exports it from the executable because libglut, linked with it,
// calls it, and the dynamic loader then finds the executable's first. It is
// exported explicitly, so that a build whose code is hidden by default
// (-fvisibility=hidden) still replaces it.
extern "C" __attribute__((visibility("default"))) int XMapWindow(Display* dpy, Window win) {
  using MapWindow = int (*)(Display*, Window);
  // Looked up on each call: GLUT maps its one window once.
  // dlsym hands every symbol over as void*; this one is Xlib's function.
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
  const auto xlibMapWindow = reinterpret_cast<MapWindow>(dlsym(RTLD_NEXT, "XMapWindow"));
  if (xlibMapWindow == nullptr) {
    // Without it the window never shows, and GLUT would wait for it for good.
    const char* reason = dlerror();
    fprintf(stderr, "quillmere: cannot find Xlib's XMapWindow: %s\n",
            reason != nullptr ? reason : "not loaded");
    exit(1);
  }
  nameWindow(dpy, win);
  return xlibMapWindow(dpy, win);
}
