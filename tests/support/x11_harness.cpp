// SPDX-License-Identifier: MIT
// Process, window, key and pixel helpers for the end-to-end tests.
#include "x11_harness.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

extern char** environ;

namespace xh {

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

static std::vector<std::string> splitWords(const char* text) {
  std::vector<std::string> words;
  std::istringstream in(text ? text : "");
  for (std::string w; in >> w;) {
    words.push_back(w);
  }
  return words;
}

Process start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv) {
  std::vector<std::string> args = splitWords(getenv("QUILLMERE_E2E_WRAPPER"));
  args.insert(args.end(), argv.begin(), argv.end());
  std::vector<char*> cargs;
  for (std::string& a : args) {
    cargs.push_back(a.data());
  }
  cargs.push_back(nullptr);

  // Entries in extraEnv replace inherited ones of the same name.
  std::vector<std::string> env = extraEnv;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& x : extraEnv) {
      replaced = replaced || x.compare(0, name.size(), name) == 0;
    }
    if (!replaced) {
      env.push_back(entry);
    }
  }
  std::vector<char*> cenv;
  for (std::string& e : env) {
    cenv.push_back(e.data());
  }
  cenv.push_back(nullptr);

  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    perror("pipe2");
    abort();
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  Process p;
  if (posix_spawnp(&p.pid, cargs[0], &actions, nullptr, cargs.data(), cenv.data()) != 0) {
    perror("posix_spawnp");
    abort();
  }
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  p.outFd = out[0];
  p.errFd = err[0];
  fcntl(p.outFd, F_SETFL, O_NONBLOCK);
  fcntl(p.errFd, F_SETFL, O_NONBLOCK);
  return p;
}

static void readAvailable(int fd, std::string& into) {
  char buf[4096];
  ssize_t n;
  while (fd >= 0 && (n = read(fd, buf, sizeof buf)) > 0) {
    into.append(buf, static_cast<size_t>(n));
  }
}

void drain(Process& p) {
  readAvailable(p.outFd, p.out);
  readAvailable(p.errFd, p.err);
}

bool waitForExit(Process& p, double seconds) {
  const bool done = waitUntil(
      [&] {
        drain(p);
        if (p.ended) {
          return true;
        }
        if (waitpid(p.pid, &p.status, WNOHANG) == p.pid) {
          p.ended = true;
        }
        return p.ended;
      },
      seconds);
  drain(p);
  return done;
}

long cpuTicks(pid_t pid) {
  FILE* f = fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
  if (!f) {
    return 0;
  }
  long utime = 0;
  long stime = 0;
  // Fields 14 and 15; the command name in field 2 has no spaces here.
  const int got =
      fscanf(f, "%*d %*s %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld", &utime, &stime);
  fclose(f);
  return got == 2 ? utime + stime : 0;
}

void kill(Process& p) {
  if (!p.ended && p.pid > 0) {
    ::kill(p.pid, SIGKILL);
    waitpid(p.pid, &p.status, 0);
    p.ended = true;
  }
  drain(p);
}

Display* openDisplay() {
  // A server that is still starting, or resetting after its last client
  // left, refuses connections for a moment.
  Display* dpy = nullptr;
  waitUntil([&] { return (dpy = XOpenDisplay(nullptr)) != nullptr; }, 5.0);
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

Window findWindow(Display* dpy, const std::string& title, double seconds) {
  Window found = 0;
  waitUntil(
      [&] {
        Window root;
        Window parent;
        Window* children = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n)) {
          return false;
        }
        for (unsigned int k = 0; k < n && !found; ++k) {
          if (titled(dpy, children[k], title)) {
            found = children[k];
          }
        }
        if (children) {
          XFree(children);
        }
        return found != 0;
      },
      seconds);
  return found;
}

static int ignoreErrors(Display*, XErrorEvent*) { return 0; }

bool isAlive(Display* dpy, Window win) {
  XErrorHandler old = XSetErrorHandler(ignoreErrors);
  XWindowAttributes attrs;
  const Status ok = XGetWindowAttributes(dpy, win, &attrs);
  XSync(dpy, False);
  XSetErrorHandler(old);
  return ok != 0;
}

Geometry geometryOf(Display* dpy, Window win) {
  XWindowAttributes attrs;
  XGetWindowAttributes(dpy, win, &attrs);
  int x = 0;
  int y = 0;
  Window child;
  XTranslateCoordinates(dpy, win, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
  return Geometry{x, y, attrs.width, attrs.height};
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

void pressKey(Display* dpy, Window win, unsigned long keysym, bool shift) {
  XSetInputFocus(dpy, win, RevertToParent, CurrentTime);
  const KeyCode code = XKeysymToKeycode(dpy, keysym);
  const KeyCode shiftCode = XKeysymToKeycode(dpy, XStringToKeysym("Shift_L"));
  if (shift) {
    XTestFakeKeyEvent(dpy, shiftCode, True, CurrentTime);
  }
  XTestFakeKeyEvent(dpy, code, True, CurrentTime);
  XTestFakeKeyEvent(dpy, code, False, CurrentTime);
  if (shift) {
    XTestFakeKeyEvent(dpy, shiftCode, False, CurrentTime);
  }
  XFlush(dpy);
}

void resize(Display* dpy, Window win, int width, int height) {
  XResizeWindow(dpy, win, static_cast<unsigned>(width), static_cast<unsigned>(height));
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

}  // namespace xh
