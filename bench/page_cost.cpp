// SPDX-License-Identifier: MIT
// Measures the static page in headless Chromium (WebGL on SwiftShader):
// from the start of loading the page to the end of its first frame, over
// loads that fetch every file again; and the cost of one frame drawn by a
// key, as the main thread's time in the key's handler (the viewer's code
// and Emscripten's GL emulation) and as the CPU time of all the browser's
// processes, over 720 turns.
//   page_cost SITE_DIR SCRATCH_DIR
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "harness/browser.h"
#include "harness/process.h"
#include "harness/wait_until.h"

namespace {
constexpr int LOADS = 10;
constexpr int TURNS = 720;

// Before the page's own scripts: note when the first frame ends (the task
// of its first draw call), and time each key's handlers, from the first
// listener on the window to the first on the document, which runs after
// all of the window's.
const char* const PROBE = R"(
window.quillmereCost = {firstFrame: 0, keyMs: 0, keys: 0};
var started = 0;
['drawArrays', 'drawElements'].forEach(function (name) {
  var real = WebGLRenderingContext.prototype[name];
  WebGLRenderingContext.prototype[name] = function () {
    if (!quillmereCost.firstFrame && !started) {
      started = 1;
      setTimeout(function () { quillmereCost.firstFrame = performance.now(); }, 0);
    }
    return real.apply(this, arguments);
  };
});
var keyStart = 0;
window.addEventListener('keydown', function () { keyStart = performance.now(); }, true);
document.addEventListener('keydown', function () {
  quillmereCost.keyMs += performance.now() - keyStart;
  quillmereCost.keys += 1;
}, true);
)";

// CPU time, in clock ticks, of every process in the browser's group.
long groupTicks(const proc::Process& browser) {
  long ticks = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const pid_t pid = static_cast<pid_t>(atol(entry.path().filename().c_str()));
    if (proc::inGroupOf(browser, pid)) {
      ticks += proc::cpuTicks(pid);
    }
  }
  return ticks;
}

double number(web::Browser& b, const std::string& expression) {
  std::string value;
  return web::evaluate(b, "String(" + expression + ")", value) ? atof(value.c_str()) : -1;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s SITE_DIR SCRATCH_DIR\n", argv[0]);
    return 2;
  }
  proc::Process server;
  const proc::Reaper serverReaper{server};
  std::string address;
  if (!web::serve(server, QUILLMERE_SOURCE_DIR "/scripts/serve-web.sh", argv[1], address, 30)) {
    fprintf(stderr, "page_cost: the page was not served: %s\n", server.err.c_str());
    return 1;
  }

  web::Browser b;
  if (!web::launch(b, web::Kind::Chromium, "chromium", web::CHROMIUM_HEADLESS_OPTIONS, argv[2],
                   60) ||
      !web::beforeEachLoad(b, PROBE) ||
      !web::command(b, "Network.enable", nlohmann::json::object()) ||
      !web::command(b, "Network.setCacheDisabled", {{"cacheDisabled", true}})) {
    fprintf(stderr, "page_cost: %s\n", b.error.c_str());
    return 1;
  }
  std::vector<double> firstFrames;
  for (int load = 0; load < LOADS; ++load) {
    web::open(b, address, 30);
    double firstFrame = 0;
    if (!waitUntil([&] { return (firstFrame = number(b, "quillmereCost.firstFrame")) > 0; }, 30)) {
      fprintf(stderr, "page_cost: no first frame: %s\n", b.error.c_str());
      return 1;
    }
    firstFrames.push_back(firstFrame);
  }
  std::sort(firstFrames.begin(), firstFrames.end());
  printf("headless Chromium, loading the page to the end of its first frame, %d loads:\n", LOADS);
  printf("  median %.0f ms, range %.0f-%.0f ms\n", firstFrames[LOADS / 2], firstFrames.front(),
         firstFrames.back());

  const long before = groupTicks(b.process);
  for (int turn = 0; turn < TURNS; ++turn) {
    web::pressKey(b, "x");
  }
  const long ticks = groupTicks(b.process) - before;
  const double keys = number(b, "quillmereCost.keys");
  const double keyMs = number(b, "quillmereCost.keyMs");
  printf("one frame drawn by a key, over %d turns:\n", TURNS);
  printf("  the key's handler on the main thread: %.0f us\n", 1000.0 * keyMs / keys);
  printf("  CPU of all the browser's processes: %.0f us (with the keys' delivery)\n",
         1e6 * static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)) / TURNS);
  web::quit(b);
  return 0;
}
