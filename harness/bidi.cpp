// SPDX-License-Identifier: MIT
// Firefox through WebDriver BiDi: a session, and the browsing context it
// starts with, which every later command names in its parameters.
#include <nlohmann/json.hpp>

#include "harness/browser_protocol.h"

namespace web {
namespace bidi {
namespace {

using nlohmann::json;

// WebDriver's code points for the keys that type nothing, in UTF-8:
// Escape (U+E00C) and Tab (U+E004).
constexpr const char* WEBDRIVER_KEYS[][2] = {{"Escape", "\xee\x80\x8c"}, {"Tab", "\xee\x80\x84"}};

bool attach(Browser& b, double seconds) {
  json tree;
  if (!command(b, "session.new", {{"capabilities", json::object()}}, seconds) ||
      !command(b, "browsingContext.getTree", json::object(), seconds, &tree)) {
    return false;
  }
  const json& contexts = tree.value("contexts", json::array());
  b.target = contexts.empty() ? "" : contexts[0].value("context", "");
  return true;
}

bool beforeEachLoad(Browser& b, const std::string& script, double seconds) {
  return command(b, "script.addPreloadScript",
                 {{"functionDeclaration", "() => { " + script + " }"}}, seconds);
}

bool open(Browser& b, const std::string& url, double seconds) {
  return command(b, "browsingContext.navigate",
                 {{"context", b.target}, {"url", url}, {"wait", "complete"}}, seconds);
}

bool evaluate(Browser& b, const std::string& expression, std::string& value, double seconds) {
  json result;
  if (!command(b, "script.evaluate",
               {{"expression", expression},
                {"target", {{"context", b.target}}},
                {"awaitPromise", false}},
               seconds, &result)) {
    return false;
  }
  if (result.value("type", "") == "exception") {
    b.error = "the page threw: " + result.value("exceptionDetails", json()).dump().substr(0, 300);
    return false;
  }
  value = stringOf(result.value("result", json::object()));
  return true;
}

bool pressKey(Browser& b, const std::string& key, double seconds) {
  std::string value = key;
  for (const auto& named : WEBDRIVER_KEYS) {
    if (key == named[0]) {
      value = named[1];
    }
  }
  const json press =
      json::array({{{"type", "keyDown"}, {"value", value}}, {{"type", "keyUp"}, {"value", value}}});
  return command(
      b, "input.performActions",
      {{"context", b.target},
       {"actions", json::array({{{"type", "key"}, {"id", "keyboard"}, {"actions", press}}})}},
      seconds);
}

bool tap(Browser& b, int x, int y, double seconds) {
  const json touch = json::array({{{"type", "pointerMove"}, {"x", x}, {"y", y}},
                                  {{"type", "pointerDown"}, {"button", 0}},
                                  {{"type", "pointerUp"}, {"button", 0}}});
  return command(b, "input.performActions",
                 {{"context", b.target},
                  {"actions", json::array({{{"type", "pointer"},
                                            {"id", "finger"},
                                            {"parameters", {{"pointerType", "touch"}}},
                                            {"actions", touch}}})}},
                 seconds);
}

bool emulate(Browser& b, int width, int height, double ratio, bool /*touch*/, double seconds) {
  return command(b, "browsingContext.setViewport",
                 {{"context", b.target},
                  {"viewport", {{"width", width}, {"height", height}}},
                  {"devicePixelRatio", ratio}},
                 seconds);
}

bool screenshot(Browser& b, const Box& box, std::string& base64, double seconds) {
  json result;
  const json clip = {
      {"type", "box"}, {"x", box.x}, {"y", box.y}, {"width", box.width}, {"height", box.height}};
  if (!command(b, "browsingContext.captureScreenshot", {{"context", b.target}, {"clip", clip}},
               seconds, &result)) {
    return false;
  }
  base64 = result.value("data", "");
  return true;
}

}  // namespace
}  // namespace bidi

const Protocol BIDI = {bidi::attach,   bidi::beforeEachLoad, bidi::open,
                       bidi::evaluate, bidi::pressKey,       bidi::tap,
                       bidi::emulate,  bidi::screenshot};

}  // namespace web
