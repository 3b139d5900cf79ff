// SPDX-License-Identifier: MIT
// Polling with a deadline, on the monotonic clock.
#include "harness/wait_until.h"

#include <time.h>

static double monotonicSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

bool waitUntil(const std::function<bool()>& done, double seconds, int pollMs) {
  const double deadline = monotonicSeconds() + seconds;
  const timespec poll{pollMs / 1000, (pollMs % 1000) * 1000000L};
  while (!done()) {
    if (monotonicSeconds() > deadline) {
      return false;
    }
    nanosleep(&poll, nullptr);
  }
  return true;
}
