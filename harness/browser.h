// SPDX-License-Identifier: MIT
// Drives a real browser from outside, as the X helpers drive the viewer's
// window: Chromium through its DevTools protocol, Firefox through WebDriver
// BiDi, both JSON over a WebSocket on the loopback interface. A page is
// opened, asked for values, sent keys and photographed by the browser
// itself. Every wait has a deadline.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "harness/image.h"
#include "harness/process.h"

namespace web {

enum class Kind { Chromium, Firefox };

struct Browser {
  Kind kind = Kind::Chromium;
  proc::Process process;
  int socket = -1;     // the protocol's WebSocket
  std::string target;  // Chromium's session id, or Firefox's browsing context
  int lastId = 0;      // of the last command sent
  std::string error;   // why the last call failed
};

// Chromium's options where no GPU is: headless, with WebGL on SwiftShader,
// its software rasteriser, which it offers only when told to.
inline const std::vector<std::string> CHROMIUM_HEADLESS_OPTIONS = {
    "--headless", "--use-angle=swiftshader", "--enable-unsafe-swiftshader"};

// A rectangle of the page, in CSS pixels (one per device pixel here).
struct Box {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Serves the built site `siteDir` on this machine, as make run-web does, by
// the script `serveScript` (scripts/serve-web.sh), in `server`; sets
// `address` to the address it prints. False when it names none within
// `seconds`.
bool serve(proc::Process& server, const std::string& serveScript, const std::string& siteDir,
           std::string& address, double seconds);

// Starts the browser (`program`, with `options` of its own after the
// project's), its profile and home in `scratch`, on the X display that
// DISPLAY names or headless as the options say, and connects to it. False,
// with b.error saying why, when it does not come up within `seconds`.
bool launch(Browser& b, Kind kind, const std::string& program,
            const std::vector<std::string>& options, const std::string& scratch, double seconds);
// Runs the JavaScript `script` in every page the tab loads from now on,
// before the page's own scripts.
bool beforeEachLoad(Browser& b, const std::string& script, double seconds = 10);
// Opens `url` in the browser's tab.
bool open(Browser& b, const std::string& url, double seconds);
// Evaluates the JavaScript `expression`, which must give a string (or
// nothing, read as ""), in the page; sets `value` to it.
bool evaluate(Browser& b, const std::string& expression, std::string& value, double seconds = 10);
// Presses and releases a key as a user would: a letter ("x", or "ч", which
// the key in x's place types on a Russian layout), " ", "Tab" or "Escape".
bool pressKey(Browser& b, const std::string& key, double seconds = 10);
// Taps the page at (x, y), in CSS pixels, with a finger: a touch where the
// browser emulates a touch screen (Chromium, after emulate()), else a
// pointer of that kind.
bool tap(Browser& b, int x, int y, double seconds = 10);
// Shows the page as a screen `width` x `height` CSS pixels would, at
// `ratio` device pixels a CSS pixel; with `touch`, as a touch screen
// (Chromium alone: Firefox has no such switch over its protocol).
bool emulate(Browser& b, int width, int height, double ratio, bool touch, double seconds = 10);
// What the page shows in `box`, in device pixels, as the browser composes it.
bool screenshot(Browser& b, const Box& box, harness::Image& image, double seconds = 10);
// Sends one command of the browser's protocol and waits for the answer
// with the same id, passing over the events that come meanwhile; sets
// `result` (when given) to the answer's result. False, with b.error saying
// why, when the protocol answers with its error member, or nothing comes
// within `seconds`.
bool command(Browser& b, const std::string& method, const nlohmann::json& params,
             double seconds = 10, nlohmann::json* result = nullptr);
// Ends the browser and all it started, and closes the connection.
void quit(Browser& b);

}  // namespace web
