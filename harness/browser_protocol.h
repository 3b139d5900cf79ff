// SPDX-License-Identifier: MIT
// What each browser's remote protocol does for the helpers of browser.h:
// the DevTools protocol's for Chromium (devtools.cpp), WebDriver BiDi's for
// Firefox (bidi.cpp). browser.cpp picks one by the browser's kind.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "harness/browser.h"

namespace web {

struct Protocol {
  // Opens the page to drive; b.target names it for later commands.
  bool (*attach)(Browser& b, double seconds);
  bool (*beforeEachLoad)(Browser& b, const std::string& script, double seconds);
  bool (*open)(Browser& b, const std::string& url, double seconds);
  bool (*evaluate)(Browser& b, const std::string& expression, std::string& value, double seconds);
  bool (*pressKey)(Browser& b, const std::string& key, double seconds);
  bool (*tap)(Browser& b, int x, int y, double seconds);
  bool (*emulate)(Browser& b, int width, int height, double ratio, bool touch, double seconds);
  // The PNG of `box`, as the protocol sends it: base64.
  bool (*screenshot)(Browser& b, const Box& box, std::string& base64, double seconds);
};

// What both protocols answer of a script's value, {"type": ..., "value": ...}:
// its string, and "" for a value of any other type (undefined, say).
std::string stringOf(const nlohmann::json& remoteValue);

extern const Protocol DEVTOOLS;
extern const Protocol BIDI;

}  // namespace web
