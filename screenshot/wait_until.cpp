// SPDX-License-Identifier: MIT
// Polling with a deadline.
#include "screenshot/wait_until.h"

#include <chrono>
#include <thread>

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
