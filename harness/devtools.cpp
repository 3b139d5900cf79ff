// SPDX-License-Identifier: MIT
// Chromium through its DevTools protocol: one page of the browser, attached
// to as a flat session, which every later command names.
#include <algorithm>
#include <iterator>
#include <nlohmann/json.hpp>

#include "harness/browser_protocol.h"

namespace web {
namespace devtools {
namespace {

using nlohmann::json;

bool attach(Browser& b, double seconds) {
  json target;
  json session;
  if (!command(b, "Target.createTarget", {{"url", "about:blank"}}, seconds, &target) ||
      !command(b, "Target.attachToTarget",
               {{"targetId", target.value("targetId", "")}, {"flatten", true}}, seconds,
               &session)) {
    return false;
  }
  b.target = session.value("sessionId", "");
  // The page's events, which scripts run before each load depend on.
  return b.target.empty() || command(b, "Page.enable", json::object(), seconds);
}

bool beforeEachLoad(Browser& b, const std::string& script, double seconds) {
  return command(b, "Page.addScriptToEvaluateOnNewDocument", {{"source", script}}, seconds);
}

bool open(Browser& b, const std::string& url, double seconds) {
  return command(b, "Page.navigate", {{"url", url}}, seconds);
}

bool evaluate(Browser& b, const std::string& expression, std::string& value, double seconds) {
  json result;
  if (!command(b, "Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}},
               seconds, &result)) {
    return false;
  }
  if (result.contains("exceptionDetails")) {
    b.error = "the page threw: " + result["exceptionDetails"].dump().substr(0, 300);
    return false;
  }
  value = stringOf(result.value("result", json::object()));
  return true;
}

// A key as a keyboard sends it: the DOM's key and code, the legacy key
// code, which GLUT's web port reads, and the text it types, if any.
struct Key {
  const char* key;
  const char* code;
  int keyCode;
  const char* text;
};
// Keys that are no letter of the Latin alphabet; "ч" is what the key in
// x's place types on a Russian layout, with the key code of that place.
constexpr Key NAMED_KEYS[] = {{"Escape", "Escape", 27, ""},
                              {"Tab", "Tab", 9, ""},
                              {" ", "Space", 32, " "},
                              {"\xd1\x87", "KeyX", 88, "\xd1\x87"}};

bool pressKey(Browser& b, const std::string& key, double seconds) {
  const char upper = static_cast<char>(key[0] & ~0x20);
  const std::string letterCode = std::string("Key") + upper;
  const Key* named = std::find_if(std::begin(NAMED_KEYS), std::end(NAMED_KEYS),
                                  [&](const Key& k) { return key == k.key; });
  const Key pressed = named != std::end(NAMED_KEYS)
                          ? *named
                          : Key{key.c_str(), letterCode.c_str(), upper, key.c_str()};
  json event = {
      {"key", pressed.key}, {"code", pressed.code}, {"windowsVirtualKeyCode", pressed.keyCode}};
  json down = event;
  down["type"] = "keyDown";
  if (*pressed.text != '\0') {
    down["text"] = pressed.text;
  }
  event["type"] = "keyUp";
  return command(b, "Input.dispatchKeyEvent", down, seconds) &&
         command(b, "Input.dispatchKeyEvent", event, seconds);
}

bool tap(Browser& b, int x, int y, double seconds) {
  return command(b, "Input.dispatchTouchEvent",
                 {{"type", "touchStart"}, {"touchPoints", json::array({{{"x", x}, {"y", y}}})}},
                 seconds) &&
         command(b, "Input.dispatchTouchEvent",
                 {{"type", "touchEnd"}, {"touchPoints", json::array()}}, seconds);
}

bool emulate(Browser& b, int width, int height, double ratio, bool touch, double seconds) {
  return command(b, "Emulation.setDeviceMetricsOverride",
                 {{"width", width},
                  {"height", height},
                  {"deviceScaleFactor", ratio},
                  {"mobile", touch}},
                 seconds) &&
         command(b, "Emulation.setTouchEmulationEnabled",
                 {{"enabled", touch}, {"maxTouchPoints", touch ? 5 : 1}}, seconds);
}

bool screenshot(Browser& b, const Box& box, std::string& base64, double seconds) {
  json result;
  const json clip = {
      {"x", box.x}, {"y", box.y}, {"width", box.width}, {"height", box.height}, {"scale", 1}};
  if (!command(b, "Page.captureScreenshot", {{"format", "png"}, {"clip", clip}}, seconds,
               &result)) {
    return false;
  }
  base64 = result.value("data", "");
  return true;
}

}  // namespace
}  // namespace devtools

const Protocol DEVTOOLS = {devtools::attach,   devtools::beforeEachLoad, devtools::open,
                           devtools::evaluate, devtools::pressKey,       devtools::tap,
                           devtools::emulate,  devtools::screenshot};

}  // namespace web
