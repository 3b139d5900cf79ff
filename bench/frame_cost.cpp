// SPDX-License-Identifier: MIT
// Measures the viewer on the real stack (Xvfb, Mesa llvmpipe): start-up time
// to the first frame, CPU time per frame over 720 turns, and peak RSS, next
// to an empty window that only clears and swaps, in the same run.
#include <X11/keysym.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "harness/process.h"
#include "harness/wait_until.h"
#include "harness/x11_window.h"

namespace {
constexpr int TURNS = 720;
constexpr int ROUNDS = 5;

struct Measurement {
  double startupMs = 0;      // spawn to first painted frame, wall clock
  double startupCpuMs = 0;   // CPU used by then
  double cpuPerFrameUs = 0;  // CPU of the 720 key frames, per frame
  long peakRssKiB = 0;
};

double cpuMsOf(pid_t pid) {
  return 1000.0 * static_cast<double>(proc::cpuTicks(pid)) /
         static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool measure(Display* dpy, const std::string& program, const std::string& title, Measurement& m) {
  const auto t0 = std::chrono::steady_clock::now();
  proc::Process p = proc::start({program});
  const proc::Reaper reaper{p};
  const Window win = xw::findPaintedWindow(dpy, title, 30.0);
  if (win == 0) {
    fprintf(stderr, "%s showed no frame\n", program.c_str());
    return false;
  }
  m.startupMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  m.startupCpuMs = cpuMsOf(p.pid);

  for (int k = 0; k < TURNS; ++k) {
    xw::pressKey(dpy, win, XK_x);
  }
  // Events are handled in order: Esc ends the process after the last turn.
  xw::pressKey(dpy, win, XK_Escape);
  rusage usage{};
  int status = 0;
  bool ended = false;
  waitUntil([&] { return ended = wait4(p.pid, &status, WNOHANG, &usage) == p.pid; }, 120.0);
  if (!ended) {
    fprintf(stderr, "%s did not end after Esc\n", program.c_str());
    return false;
  }
  p.ended = true;
  const double totalMs =
      1000.0 * static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
  m.cpuPerFrameUs = 1000.0 * (totalMs - m.startupCpuMs) / TURNS;
  m.peakRssKiB = usage.ru_maxrss;
  return true;
}

Measurement median(std::vector<Measurement> runs) {
  auto mid = [&](auto field) {
    std::sort(runs.begin(), runs.end(),
              [&](const Measurement& a, const Measurement& b) { return a.*field < b.*field; });
    return runs[runs.size() / 2].*field;
  };
  Measurement m;
  m.startupMs = mid(&Measurement::startupMs);
  m.startupCpuMs = mid(&Measurement::startupCpuMs);
  m.cpuPerFrameUs = mid(&Measurement::cpuPerFrameUs);
  m.peakRssKiB = mid(&Measurement::peakRssKiB);
  return m;
}

void printRow(const char* name, const Measurement& m) {
  printf("%-14s %12.1f %14.1f %16.1f %14ld\n", name, m.startupMs, m.startupCpuMs, m.cpuPerFrameUs,
         m.peakRssKiB);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s VIEWER EMPTY_WINDOW\n", argv[0]);
    return 2;
  }
  Display* dpy = xw::openDisplay();
  if (dpy == nullptr) {
    fprintf(stderr, "frame_cost: cannot open display\n");
    return 1;
  }
  // Alternating runs, so neither program profits from the other's warm caches.
  std::vector<Measurement> viewerRuns;
  std::vector<Measurement> emptyRuns;
  for (int round = 0; round < ROUNDS; ++round) {
    Measurement viewer;
    Measurement empty;
    if (!measure(dpy, argv[2], "Empty", empty) || !measure(dpy, argv[1], "Quillmere", viewer)) {
      return 1;
    }
    viewerRuns.push_back(viewer);
    emptyRuns.push_back(empty);
  }
  printf("medians of %d runs each, %d turns a run\n", ROUNDS, TURNS);
  printf("%-14s %12s %14s %16s %14s\n", "program", "startup ms", "startup CPU ms", "CPU/frame us",
         "peak RSS KiB");
  printRow("quillmere", median(viewerRuns));
  printRow("empty window", median(emptyRuns));
  XCloseDisplay(dpy);
  return 0;
}
