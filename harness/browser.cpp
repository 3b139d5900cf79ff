// SPDX-License-Identifier: MIT
// A browser driven over its remote protocol: a WebSocket client (RFC 6455)
// just large enough for one connection of JSON commands, and the few
// commands of the DevTools protocol and of WebDriver BiDi that a test needs.
#include "harness/browser.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "harness/png.h"
#include "harness/wait_until.h"

namespace web {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point after(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

double secondsUntil(Clock::time_point deadline) {
  return std::chrono::duration<double>(deadline - Clock::now()).count();
}

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

// `text` as a JSON string literal.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// The string value of the first "key" in `json` from `from` on, its escapes
// undone (those JSON writers use for the text a test reads: quotes,
// backslashes, newlines and \u escapes of ASCII); empty when absent.
std::string stringField(const std::string& json, const std::string& key, size_t from = 0) {
  const std::string marker = "\"" + key + "\":\"";
  size_t at = json.find(marker, from);
  if (at == std::string::npos) {
    return "";
  }
  std::string value;
  for (at += marker.size(); at < json.size() && json[at] != '"'; ++at) {
    if (json[at] != '\\' || at + 1 >= json.size()) {
      value += json[at];
      continue;
    }
    const char escaped = json[++at];
    if (escaped == 'n') {
      value += '\n';
    } else if (escaped == 't') {
      value += '\t';
    } else if (escaped == 'u' && at + 4 < json.size()) {
      value += static_cast<char>(strtol(json.substr(at + 1, 4).c_str(), nullptr, 16));
      at += 4;
    } else {
      value += escaped;
    }
  }
  return value;
}

// Waits until `fd` can be read, or `seconds` have passed.
bool readable(int fd, double seconds) {
  pollfd p = {fd, POLLIN, 0};
  return poll(&p, 1, static_cast<int>(seconds * 1000)) > 0;
}

bool sendAll(int fd, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) {
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Reads exactly `n` bytes, or fails at the deadline or the connection's end.
bool readExactly(int fd, size_t n, std::string& into, double seconds) {
  const Clock::time_point deadline = after(seconds);
  char buffer[65536];
  while (n > 0) {
    const double left = secondsUntil(deadline);
    if (left <= 0 || !readable(fd, left)) {
      return false;
    }
    const ssize_t got = recv(fd, buffer, n < sizeof buffer ? n : sizeof buffer, 0);
    if (got <= 0) {
      return false;
    }
    into.append(buffer, static_cast<size_t>(got));
    n -= static_cast<size_t>(got);
  }
  return true;
}

// One client-to-server frame: the whole text, masked as RFC 6455 requires of
// a client (with a fixed mask: nothing here is secret).
bool sendText(int fd, const std::string& text) {
  std::string frame(1, '\x81');  // FIN and the text opcode
  const uint64_t size = text.size();
  if (size < 126) {
    frame += static_cast<char>(0x80 | size);
  } else if (size < 65536) {
    frame += static_cast<char>(0x80 | 126);
    frame += static_cast<char>(size >> 8);
    frame += static_cast<char>(size & 0xff);
  } else {
    frame += static_cast<char>(0x80 | 127);
    for (int shift = 56; shift >= 0; shift -= 8) {
      frame += static_cast<char>((size >> shift) & 0xff);
    }
  }
  const char mask[4] = {0x12, 0x34, 0x56, 0x78};
  frame.append(mask, 4);
  for (size_t k = 0; k < text.size(); ++k) {
    frame += static_cast<char>(text[k] ^ mask[k % 4]);
  }
  return sendAll(fd, frame);
}

// The next whole text message, its fragments joined.
bool receiveText(int fd, std::string& message, double seconds) {
  const Clock::time_point deadline = after(seconds);
  message.clear();
  for (;;) {
    std::string head;
    if (!readExactly(fd, 2, head, secondsUntil(deadline))) {
      return false;
    }
    const bool final = (head[0] & 0x80) != 0;
    const int opcode = head[0] & 0x0f;
    uint64_t size = static_cast<uint8_t>(head[1]) & 0x7f;
    if (size >= 126) {
      std::string extended;
      if (!readExactly(fd, size == 126 ? 2 : 8, extended, secondsUntil(deadline))) {
        return false;
      }
      size = std::accumulate(
          extended.begin(), extended.end(), uint64_t{0},
          [](uint64_t sum, char c) { return (sum << 8) | static_cast<uint8_t>(c); });
    }
    std::string payload;
    if (!readExactly(fd, size, payload, secondsUntil(deadline))) {
      return false;
    }
    if (opcode == 8) {
      return false;  // the browser closed the connection
    }
    if (opcode == 0 || opcode == 1) {
      message += payload;
      if (final) {
        return true;
      }
    }
    // Pings and pongs carry nothing a test reads.
  }
}

int connectTo(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // The sockets interface takes each address family's address as a sockaddr.
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Opens the WebSocket at ws://127.0.0.1:PORT/PATH. No Origin header is
// sent: Firefox refuses a connection that names one.
bool handshake(Browser& b, int port, const std::string& path, double seconds) {
  b.socket = connectTo(port);
  if (b.socket < 0) {
    b.error = "cannot connect to port " + std::to_string(port);
    return false;
  }
  const std::string request = "GET " + path +
                              " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                              "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                              "Sec-WebSocket-Version: 13\r\n\r\n";
  std::string reply;
  const Clock::time_point deadline = after(seconds);
  bool answered = sendAll(b.socket, request);
  while (answered && reply.find("\r\n\r\n") == std::string::npos) {
    answered = readExactly(b.socket, 1, reply, secondsUntil(deadline));
  }
  if (!answered) {
    b.error = "no WebSocket answer on port " + std::to_string(port) + ": " + reply;
    return false;
  }
  if (reply.rfind("HTTP/1.1 101", 0) != 0) {
    b.error = "the WebSocket was refused: " + reply.substr(0, reply.find('\r'));
    return false;
  }
  return true;
}

// Sends one command and waits for its answer, skipping the events that
// arrive meanwhile. The DevTools protocol addresses a page by its session;
// BiDi names the browsing context in each command's parameters.
bool call(Browser& b, const std::string& method, const std::string& params, std::string& reply,
          double seconds) {
  const int id = ++b.lastId;
  std::string text =
      "{\"id\":" + std::to_string(id) + ",\"method\":" + quoted(method) + ",\"params\":" + params;
  if (b.kind == Kind::Chromium && !b.target.empty()) {
    text += ",\"sessionId\":" + quoted(b.target);
  }
  text += "}";
  if (!sendText(b.socket, text)) {
    b.error = method + ": the connection is gone";
    return false;
  }
  const Clock::time_point deadline = after(seconds);
  const std::string mark = "\"id\":" + std::to_string(id);
  for (;;) {
    if (!receiveText(b.socket, reply, secondsUntil(deadline))) {
      b.error = method + ": no answer within " + std::to_string(static_cast<int>(seconds)) + " s";
      return false;
    }
    const size_t at = reply.find(mark);
    if (at != std::string::npos &&
        (reply[at + mark.size()] == ',' || reply[at + mark.size()] == '}')) {
      break;
    }
  }
  if (reply.find("\"error\":") != std::string::npos) {
    b.error = method + ": " + reply.substr(0, 300);
    return false;
  }
  return true;
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
  // The browser's profile, caches and any file it would keep in a home
  // directory stay in the scratch directory, never the user's.
  std::vector<std::string> argv = {"env", "HOME=" + scratch,
                                   "XDG_CONFIG_HOME=" + scratch + "/config",
                                   "XDG_CACHE_HOME=" + scratch + "/cache", program};
  if (kind == Kind::Chromium) {
    // No sandbox: it needs privileges a test running as root is refused.
    // The network is closed here; Chromium's own services are kept off it.
    argv.insert(argv.end(), {"--no-sandbox", "--no-first-run", "--disable-background-networking",
                             "--disable-component-update", "--disable-sync", "--disable-quic",
                             "--user-data-dir=" + scratch + "/profile", "--remote-debugging-port=0",
                             "--window-size=800,600"});
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
        "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n",
        prefs);
    fclose(prefs);
  }
  b.process = proc::start(argv);
  int port = 0;
  std::string path;
  // Chromium names its browser's own endpoint; Firefox's BiDi sessions begin at /session.
  if (!listeningPort(b, port, path, seconds) ||
      !handshake(b, port, kind == Kind::Firefox ? "/session" : path, seconds)) {
    return false;
  }
  std::string reply;
  if (kind == Kind::Chromium) {
    if (!call(b, "Target.createTarget", "{\"url\":\"about:blank\"}", reply, seconds)) {
      return false;
    }
    const std::string targetId = stringField(reply, "targetId");
    if (!call(b, "Target.attachToTarget",
              "{\"targetId\":" + quoted(targetId) + ",\"flatten\":true}", reply, seconds)) {
      return false;
    }
    b.target = stringField(reply, "sessionId");
    // The page's events, which scripts run before each load depend on.
    if (!b.target.empty() && !call(b, "Page.enable", "{}", reply, seconds)) {
      return false;
    }
  } else {
    if (!call(b, "session.new", "{\"capabilities\":{}}", reply, seconds) ||
        !call(b, "browsingContext.getTree", "{}", reply, seconds)) {
      return false;
    }
    b.target = stringField(reply, "context");
  }
  if (b.target.empty()) {
    b.error = "the browser named no page to drive: " + reply.substr(0, 300);
    return false;
  }
  return true;
}

bool beforeEachLoad(Browser& b, const std::string& script, double seconds) {
  std::string reply;
  if (b.kind == Kind::Chromium) {
    return call(b, "Page.addScriptToEvaluateOnNewDocument", "{\"source\":" + quoted(script) + "}",
                reply, seconds);
  }
  return call(b, "script.addPreloadScript",
              "{\"functionDeclaration\":" + quoted("() => { " + script + " }") + "}", reply,
              seconds);
}

bool open(Browser& b, const std::string& url, double seconds) {
  std::string reply;
  if (b.kind == Kind::Chromium) {
    return call(b, "Page.navigate", "{\"url\":" + quoted(url) + "}", reply, seconds);
  }
  return call(
      b, "browsingContext.navigate",
      "{\"context\":" + quoted(b.target) + ",\"url\":" + quoted(url) + ",\"wait\":\"complete\"}",
      reply, seconds);
}

bool evaluate(Browser& b, const std::string& expression, std::string& value, double seconds) {
  std::string reply;
  const bool answered =
      b.kind == Kind::Chromium
          ? call(b, "Runtime.evaluate",
                 "{\"expression\":" + quoted(expression) + ",\"returnByValue\":true}", reply,
                 seconds)
          : call(b, "script.evaluate",
                 "{\"expression\":" + quoted(expression) +
                     ",\"target\":{\"context\":" + quoted(b.target) + "},\"awaitPromise\":false}",
                 reply, seconds);
  if (!answered) {
    return false;
  }
  if (reply.find("\"exceptionDetails\"") != std::string::npos ||
      reply.find("\"type\":\"exception\"") != std::string::npos) {
    b.error = "the page threw: " + reply.substr(0, 300);
    return false;
  }
  value = stringField(reply, "value");
  return true;
}

bool pressKey(Browser& b, const std::string& key, double seconds) {
  std::string reply;
  if (b.kind == Kind::Chromium) {
    // The DOM's key, code and the legacy key code, which GLUT's web port reads.
    const bool escape = key == "Escape";
    const char upper = static_cast<char>(key[0] & ~0x20);
    const std::string code = escape ? "Escape" : std::string("Key") + upper;
    const int keyCode = escape ? 27 : upper;
    const std::string common = ",\"key\":" + quoted(key) + ",\"code\":" + quoted(code) +
                               ",\"windowsVirtualKeyCode\":" + std::to_string(keyCode);
    const std::string text = escape ? "" : ",\"text\":" + quoted(key);
    return call(b, "Input.dispatchKeyEvent", "{\"type\":\"keyDown\"" + common + text + "}", reply,
                seconds) &&
           call(b, "Input.dispatchKeyEvent", "{\"type\":\"keyUp\"" + common + "}", reply, seconds);
  }
  // WebDriver names Escape by a code point of its own.
  const std::string value = key == "Escape" ? "\\uE00C" : key;
  const std::string press = "{\"type\":\"keyDown\",\"value\":\"" + value +
                            "\"},{\"type\":\"keyUp\",\"value\":\"" + value + "\"}";
  return call(b, "input.performActions",
              "{\"context\":" + quoted(b.target) +
                  ",\"actions\":[{\"type\":\"key\",\"id\":\"keyboard\",\"actions\":[" + press +
                  "]}]}",
              reply, seconds);
}

bool screenshot(Browser& b, const Box& box, xw::Image& image, double seconds) {
  std::string reply;
  const std::string rect = "\"x\":" + std::to_string(box.x) + ",\"y\":" + std::to_string(box.y) +
                           ",\"width\":" + std::to_string(box.width) +
                           ",\"height\":" + std::to_string(box.height);
  const bool taken =
      b.kind == Kind::Chromium
          ? call(b, "Page.captureScreenshot",
                 "{\"format\":\"png\",\"clip\":{" + rect + ",\"scale\":1}}", reply, seconds)
          : call(b, "browsingContext.captureScreenshot",
                 "{\"context\":" + quoted(b.target) + ",\"clip\":{\"type\":\"box\"," + rect + "}}",
                 reply, seconds);
  if (!taken) {
    return false;
  }
  std::string why;
  if (!decodePng(fromBase64(stringField(reply, "data")), image, why)) {
    b.error = "the screenshot: " + why;
    return false;
  }
  return true;
}

bool command(Browser& b, const std::string& method, const std::string& params, double seconds) {
  std::string reply;
  return call(b, method, params, reply, seconds);
}

void quit(Browser& b) {
  if (b.socket >= 0) {
    close(b.socket);
    b.socket = -1;
  }
  proc::stop(b.process);
}

}  // namespace web
