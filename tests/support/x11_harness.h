// SPDX-License-Identifier: MIT
// Drives the real viewer on an X display: starts it, finds its window, sends
// keys and resizes through X, reads the window's pixels back, and waits on
// conditions with deadlines instead of sleeping.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace xh {

struct Rgb {
  int r;
  int g;
  int b;
};

// A screenshot of a window, 8-bit RGB, row-major from the top-left pixel.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
  Rgb at(int x, int y) const;
  bool operator==(const Image& other) const;
  bool operator!=(const Image& other) const { return !(*this == other); }
};

// Polls `done` every few milliseconds until it holds or `seconds` pass.
bool waitUntil(const std::function<bool()>& done, double seconds);

// A started viewer process with its standard output and error captured.
struct Process {
  pid_t pid = -1;
  int outFd = -1;
  int errFd = -1;
  std::string out;
  std::string err;
  int status = -1;  // waitpid status once it has ended
  bool ended = false;
};

// Starts `argv` (argv[0] is the program) with the given environment entries
// added; QUILLMERE_E2E_WRAPPER, when set, is put in front (e.g. valgrind).
Process start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {});
// Collects what the process wrote so far without blocking.
void drain(Process& p);
// Waits for the process to end; true if it did within `seconds`.
bool waitForExit(Process& p, double seconds);
// User plus system CPU time a running process has used so far, in clock ticks.
long cpuTicks(pid_t pid);
// Ends a process that is still running (SIGKILL) and reaps it.
void kill(Process& p);

// Ends a process still running when the scope is left, also after a failed
// assertion, so no stray viewer outlives its test.
struct Reaper {
  Process& p;
  ~Reaper() { kill(p); }
};

Display* openDisplay();
// The first top-level window whose WM_NAME is `title` and that is viewable.
Window findWindow(Display* dpy, const std::string& title, double seconds);
bool isAlive(Display* dpy, Window win);

struct Geometry {
  int x;
  int y;
  int width;
  int height;
};
Geometry geometryOf(Display* dpy, Window win);

Image grab(Display* dpy, Window win);
// True once anything other than black shows: a window has had a frame.
bool isPainted(const Image& img);
// Waits until two screenshots in a row agree and returns the last: the
// window holds a finished frame, not one still being painted.
Image grabSettled(Display* dpy, Window win, double seconds);

// Presses and releases a key (an X keysym) with the focus on `win`.
void pressKey(Display* dpy, Window win, unsigned long keysym, bool shift = false);
void resize(Display* dpy, Window win, int width, int height);

bool writePng(const std::string& path, const Image& img);

}  // namespace xh
