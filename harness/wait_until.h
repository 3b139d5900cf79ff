// SPDX-License-Identifier: MIT
// Polling with a deadline: every wait of the screenshot tool, the end-to-end
// tests and the benchmarks goes through here, so none can hang for ever.
#pragma once

#include <functional>

// Polls `done` every `pollMs` milliseconds until it holds or `seconds` pass;
// true if it held.
bool waitUntil(const std::function<bool()>& done, double seconds, int pollMs = 5);
