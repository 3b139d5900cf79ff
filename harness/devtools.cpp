// SPDX-License-Identifier: MIT
// Chromium through its DevTools protocol: one page of the browser, attached
// to as a flat session, which every later command names.
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

bool pressKey(Browser& b, const std::string& key, double seconds) {
  // The DOM's key, code and the legacy key code, which GLUT's web port reads.
  const bool escape = key == "Escape";
  const char upper = static_cast<char>(key[0] & ~0x20);
  json event = {{"key", key},
                {"code", escape ? "Escape" : std::string("Key") + upper},
                {"windowsVirtualKeyCode", escape ? 27 : upper}};
  json down = event;
  down["type"] = "keyDown";
  if (!escape) {
    down["text"] = key;
  }
  event["type"] = "keyUp";
  return command(b, "Input.dispatchKeyEvent", down, seconds) &&
         command(b, "Input.dispatchKeyEvent", event, seconds);
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
                           devtools::evaluate, devtools::pressKey,       devtools::screenshot};

}  // namespace web
