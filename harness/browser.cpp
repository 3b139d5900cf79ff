// SPDX-License-Identifier: MIT
// The browser helpers: the browser's process and its WebSocket, and one
// command's round trip in JSON, which both protocols share; what each
// command says is the protocol's own (devtools.cpp, bidi.cpp).
#include "harness/browser.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "harness/browser_protocol.h"
#include "harness/png.h"
#include "harness/wait_until.h"
#include "harness/websocket.h"

namespace web {
namespace {

using nlohmann::json;

const Protocol& protocolOf(const Browser& b) { return b.kind == Kind::Chromium ? DEVTOOLS : BIDI; }

constexpr char BASE64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::vector<uint8_t> fromBase64(const std::string& text) {
  std::vector<uint8_t> bytes;
  unsigned bits = 0;
  int count = 0;
  for (const char c : text) {
    const char* at = strchr(BASE64, c);
    if (c == '=' || c == '\0' || at == nullptr) {
      continue;
    }
    bits = (bits << 6) | static_cast<unsigned>(at - BASE64);
    count += 6;
    if (count >= 8) {
      count -= 8;
      bytes.push_back(static_cast<uint8_t>(bits >> count));
    }
  }
  return bytes;
}

// What the protocol's error member says: the DevTools protocol's is an
// object with a message, BiDi's a code beside a message of its own.
std::string errorOf(const json& reply) {
  const json& error = reply["error"];
  if (error.is_object()) {
    return error.value("message", error.dump());
  }
  return (error.is_string() ? error.get<std::string>() : error.dump()) + ": " +
         reply.value("message", "");
}

// The port the browser says it listens on, from the line it prints to its
// standard error: "... listening on ws://127.0.0.1:PORT/PATH".
bool listeningPort(Browser& b, int& port, std::string& path, double seconds) {
  const std::string mark = "listening on ws://127.0.0.1:";
  const bool found = waitUntil(
      [&] {
        proc::drain(b.process);
        const size_t at = b.process.err.find(mark);
        return (at != std::string::npos && b.process.err.find('\n', at) != std::string::npos) ||
               proc::waitForExit(b.process, 0.0);
      },
      seconds);
  const size_t at = b.process.err.find(mark);
  if (!found || at == std::string::npos) {
    b.error = "the browser did not listen within " + std::to_string(static_cast<int>(seconds)) +
              " s: " + b.process.err.substr(0, 2000);
    return false;
  }
  const size_t start = at + mark.size();
  const size_t end = b.process.err.find_first_of("\r\n", start);
  const std::string rest = b.process.err.substr(start, end - start);
  port = atoi(rest.c_str());
  const size_t slash = rest.find('/');
  path = slash == std::string::npos ? "/" : rest.substr(slash);
  return port > 0;
}

}  // namespace

std::string stringOf(const json& remoteValue) {
  const auto value = remoteValue.find("value");
  return value != remoteValue.end() && value->is_string() ? value->get<std::string>() : "";
}

bool command(Browser& b, const std::string& method, const json& params, double seconds,
             json* result) {
  const int id = ++b.lastId;
  json request = {{"id", id}, {"method", method}, {"params", params}};
  // The DevTools protocol addresses a page by its session; BiDi names the
  // browsing context in each command's parameters.
  if (b.kind == Kind::Chromium && !b.target.empty()) {
    request["sessionId"] = b.target;
  }
  if (!ws::sendText(b.socket, request.dump())) {
    b.error = method + ": the connection is gone";
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(seconds));
  json reply;
  for (;;) {
    const double left =
        std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
    std::string text;
    if (!ws::receiveText(b.socket, text, left)) {
      b.error = method + ": no answer within " + std::to_string(static_cast<int>(seconds)) + " s";
      return false;
    }
    reply = json::parse(text, nullptr, false);
    // Events carry no id (the DevTools protocol) or a null one; answers to
    // earlier commands, whose caller gave up on them, carry an older one.
    const auto answered = reply.is_object() ? reply.find("id") : reply.end();
    if (reply.is_object() && answered != reply.end() && answered->is_number_integer() &&
        *answered == id) {
      break;
    }
  }
  if (reply.contains("error")) {
    b.error = method + ": " + errorOf(reply);
    return false;
  }
  if (result != nullptr) {
    *result = reply.value("result", json::object());
  }
  return true;
}

bool serve(proc::Process& server, const std::string& serveScript, const std::string& siteDir,
           std::string& address, double seconds) {
  // "Quillmere's page is served at ADDRESS (this machine only); ..."
  const std::string mark = "served at ";
  server = proc::start({serveScript, siteDir});
  waitUntil(
      [&] {
        proc::drain(server);
        return server.out.find(" (this machine only)") != std::string::npos ||
               proc::waitForExit(server, 0.0);
      },
      seconds);
  const size_t at = server.out.find(mark);
  if (at == std::string::npos) {
    return false;
  }
  const size_t start = at + mark.size();
  address = server.out.substr(start, server.out.find(' ', start) - start);
  return true;
}

bool launch(Browser& b, Kind kind, const std::string& program,
            const std::vector<std::string>& options, const std::string& scratch, double seconds) {
  b.kind = kind;
  // The browser's profile, caches, temporary files and any file it would
  // keep in a home directory stay in the scratch directory, never the
  // user's or the machine's.
  std::vector<std::string> argv = {"env",
                                   "HOME=" + scratch,
                                   "TMPDIR=" + scratch,
                                   "XDG_CONFIG_HOME=" + scratch + "/config",
                                   "XDG_CACHE_HOME=" + scratch + "/cache",
                                   program};
  if (kind == Kind::Chromium) {
    // No sandbox: it needs privileges a test running as root is refused.
    // The network is closed here; Chromium's own services are kept off it.
    // Scrolls jump rather than glide: on a busy machine an animated
    // keyboard scroll was sometimes never started at all.
    argv.insert(argv.end(), {"--no-sandbox", "--no-first-run", "--disable-background-networking",
                             "--disable-component-update", "--disable-sync", "--disable-quic",
                             "--user-data-dir=" + scratch + "/profile", "--remote-debugging-port=0",
                             "--window-size=800,600", "--disable-smooth-scrolling"});
  } else {
    argv.insert(argv.end(), {"--no-remote", "--profile", scratch, "--remote-debugging-port=0",
                             "--width=800", "--height=600"});
  }
  argv.insert(argv.end(), options.begin(), options.end());
  argv.emplace_back("about:blank");
  if (kind == Kind::Firefox) {
    // Firefox's own services, which reach out to the network, stay off.
    FILE* prefs = fopen((scratch + "/user.js").c_str(), "w");
    if (prefs == nullptr) {
      b.error = "cannot write the profile in " + scratch;
      return false;
    }
    fputs(
        "user_pref(\"app.update.auto\", false);\n"
        "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
        "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
        "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
        "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
        // Scrolls jump, as in Chromium: a test reads where they end.
        "user_pref(\"general.smoothScroll\", false);\n",
        prefs);
    fclose(prefs);
  }
  b.process = proc::start(argv);
  int port = 0;
  std::string path;
  // Chromium names its browser's own endpoint; Firefox's BiDi sessions begin at /session.
  if (!listeningPort(b, port, path, seconds)) {
    return false;
  }
  b.socket = ws::open(port, kind == Kind::Firefox ? "/session" : path, seconds, b.error);
  if (b.socket < 0 || !protocolOf(b).attach(b, seconds)) {
    return false;
  }
  if (b.target.empty()) {
    b.error = "the browser named no page to drive";
    return false;
  }
  return true;
}

bool beforeEachLoad(Browser& b, const std::string& script, double seconds) {
  return protocolOf(b).beforeEachLoad(b, script, seconds);
}

bool open(Browser& b, const std::string& url, double seconds) {
  return protocolOf(b).open(b, url, seconds);
}

bool evaluate(Browser& b, const std::string& expression, std::string& value, double seconds) {
  return protocolOf(b).evaluate(b, expression, value, seconds);
}

bool pressKey(Browser& b, const std::string& key, double seconds) {
  return protocolOf(b).pressKey(b, key, seconds);
}

bool tap(Browser& b, int x, int y, double seconds) { return protocolOf(b).tap(b, x, y, seconds); }

bool emulate(Browser& b, int width, int height, double ratio, bool touch, double seconds) {
  return protocolOf(b).emulate(b, width, height, ratio, touch, seconds);
}

bool screenshot(Browser& b, const Box& box, harness::Image& image, double seconds) {
  std::string base64;
  if (!protocolOf(b).screenshot(b, box, base64, seconds)) {
    return false;
  }
  std::string why;
  if (!decodePng(fromBase64(base64), image, why)) {
    b.error = "the screenshot: " + why;
    return false;
  }
  return true;
}

void quit(Browser& b) {
  if (b.socket >= 0) {
    close(b.socket);
    b.socket = -1;
  }
  proc::stop(b.process);
}

}  // namespace web
