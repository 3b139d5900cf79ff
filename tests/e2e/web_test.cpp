// SPDX-License-Identifier: MIT
// The static page in two real browsers, Debian's Chromium (headless, WebGL
// on SwiftShader) and Firefox ESR (on the test's X display, WebGL on Mesa's
// llvmpipe), beside the Linux viewer on the same display: the same frames
// through a whole turn and back, within what each browser's rasteriser is
// measured to change; the keys; Esc and an OpenGL error as the page tells
// them; and a page without WebGL.
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "e2e/e2e_support.h"
#include "harness/browser.h"

#if !defined(QUILLMERE_WEB_SITE_DIR) || !defined(QUILLMERE_WEB_ZIP)
#error "QUILLMERE_WEB_SITE_DIR and QUILLMERE_WEB_ZIP must name the built site and its zip"
#endif

namespace {
// How far a browser's frame may lie from the Linux viewer's and still be
// the same frame. Each channel may differ by `shade` levels of 255
// anywhere: the cone fill's shades are rounded differently. A pixel that
// differs by more must find its colour within `radius` pixels in the other
// frame, both ways: an edge rasterised a pixel or two apart. At most
// `strays` pixels may do neither, and at most `beyondShade` differ by more
// than `shade` at all. Apart from these, the fill's pixels must be the very
// same: a missing point, a fill left out or a frame of another angle moves
// them, where a missing strip or a wrong colour leaves thousands of pixels
// unexplained.
struct Tolerance {
  int shade;
  int radius;
  int strays;
  int beyondShade;
};

struct BrowserUnderTest {
  const char* name;
  web::Kind kind;
  const char* program;
  std::vector<std::string> options;
  // cppcheck-suppress unusedStructMember ; read through googletest's GetParam()
  Tolerance tolerance;
};

// Measured on 2026-12-09 over all 72 frames, three runs each, against the
// Linux viewer on Xvfb with Mesa 22.3.6's llvmpipe (Debian 12):
// - Chromium 156, SwiftShader: shades differ by at most 2 levels, in
//   675-943 pixels a frame; 10-497 pixels more differ (497 at 90 and 270
//   degrees, where the strips' edges run across the view), and of those at
//   most 4 a frame find no match within 2 pixels: the last pixel of a cone
//   edge, which SwiftShader draws and Mesa leaves out, or the reverse.
// - Firefox ESR 153, WebGL on llvmpipe like the viewer's GL: shades differ
//   by at most 2 levels, in 675-943 pixels; at most 2 pixels a frame more,
//   each matched within 1 pixel.
const BrowserUnderTest CHROMIUM_HEADLESS = {
    "Chromium", web::Kind::Chromium, CHROMIUM, web::CHROMIUM_HEADLESS_OPTIONS, {2, 2, 6, 600}};
const BrowserUnderTest FIREFOX_ON_X = {"Firefox", web::Kind::Firefox, FIREFOX, {}, {2, 1, 0, 10}};

// Test names and failures name the browser, not its bytes.
void PrintTo(const BrowserUnderTest& under, std::ostream* out) { *out << under.name; }

int channelDistance(harness::Rgb a, harness::Rgb b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

// Whether the colour `c` lies within `radius` pixels of (x, y) in `image`.
bool colourNear(const harness::Image& image, int x, int y, harness::Rgb c, const Tolerance& t) {
  for (int yy = std::max(0, y - t.radius); yy <= std::min(image.height - 1, y + t.radius); ++yy) {
    for (int xx = std::max(0, x - t.radius); xx <= std::min(image.width - 1, x + t.radius); ++xx) {
      if (channelDistance(image.at(xx, yy), c) <= t.shade) {
        return true;
      }
    }
  }
  return false;
}

// Empty when `page` is the frame `linux` within `t`; else what differs.
std::string frameDifference(const harness::Image& page, const harness::Image& linux,
                            const Tolerance& t) {
  if (page.width != linux.width || page.height != linux.height) {
    return "a frame of " + std::to_string(page.width) + " x " + std::to_string(page.height);
  }
  int fill = 0;
  int beyond = 0;
  int strays = 0;
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x) {
      const harness::Rgb p = page.at(x, y);
      const harness::Rgb l = linux.at(x, y);
      fill += isYellow(p) != isYellow(l) ? 1 : 0;
      if (channelDistance(p, l) > t.shade) {
        ++beyond;
        strays += !colourNear(linux, x, y, p, t) || !colourNear(page, x, y, l, t) ? 1 : 0;
      }
    }
  }
  if (fill > 0 || strays > t.strays || beyond > t.beyondShade) {
    return std::to_string(fill) + " fill pixels differ; " + std::to_string(beyond) +
           " pixels differ by more than " + std::to_string(t.shade) + " levels, " +
           std::to_string(strays) + " of them with no match within " + std::to_string(t.radius) +
           " pixels";
  }
  return "";
}

// A screen the page is shown on: its width and height in CSS pixels, the
// device pixels a CSS pixel, and whether it is a touch screen.
struct Viewport {
  int width;
  int height;
  double ratio;
  bool touch;
};
// A desktop's, where the page shows the canvas at its own size, pixel for
// pixel; and a phone's.
constexpr Viewport DESKTOP = {800, 600, 1, false};
constexpr Viewport PHONE = {360, 740, 3, true};

class WebPage : public DisplayTest, public testing::WithParamInterface<BrowserUnderTest> {
 protected:
  // The page is served once for all the tests, as make run-web serves it.
  static void SetUpTestSuite() {
    web::serve(server, QUILLMERE_SOURCE_DIR "/scripts/serve-web.sh", QUILLMERE_WEB_SITE_DIR,
               address, 30);
  }
  static void TearDownTestSuite() { proc::stop(server); }

  void SetUp() override {
    if (std::string(CHROMIUM).empty() || std::string(FIREFOX).empty()) {
      GTEST_SKIP() << "chromium or firefox-esr is not installed";
    }
    ASSERT_FALSE(address.empty()) << "the page was not served: " << server.out << server.err;
    ASSERT_NO_FATAL_FAILURE(DisplayTest::SetUp());
    scratch = scratchDirectory("web");
    ASSERT_FALSE(scratch.empty());
  }
  void TearDown() override {
    web::quit(browser);
    DisplayTest::TearDown();
    std::filesystem::remove_all(scratch);
  }

  // Starts `under` with `options` of the test's own, before any page.
  void start(const BrowserUnderTest& under, const std::vector<std::string>& options = {}) {
    std::vector<std::string> all = under.options;
    all.insert(all.end(), options.begin(), options.end());
    ASSERT_TRUE(web::launch(browser, under.kind, under.program, all, scratch, 60)) << browser.error;
  }
  void openPage() { ASSERT_TRUE(web::open(browser, address, 30)) << browser.error; }

  // What the page says of the viewer: its state and, once ended, the status.
  std::string pageSays(const std::string& what) {
    std::string value;
    web::evaluate(browser, "String(document.getElementById('status').dataset." + what + ")", value);
    return value;
  }
  void waitForState(const std::string& state, double seconds) {
    ASSERT_TRUE(waitUntil([&] { return pageSays("state") == state; }, seconds))
        << "the page's state is " << pageSays("state") << ", not " << state;
  }
  std::string pageText(const std::string& id) {
    std::string text;
    web::evaluate(browser, "document.getElementById('" + id + "').textContent", text);
    return text;
  }
  // Whether the page lays the element out at all: once the viewer has
  // ended, or cannot start, its canvas must not be.
  bool laidOut(const std::string& id) {
    std::string boxes;
    web::evaluate(browser, "String(document.getElementById('" + id + "').getClientRects().length)",
                  boxes);
    return boxes != "0";
  }
  // What the page's script gives as a string.
  std::string pageValue(const std::string& expression) {
    std::string value;
    web::evaluate(browser, "String(" + expression + ")", value);
    return value;
  }
  // The canvas, where the page shows it.
  web::Box canvasBox() {
    std::string rect;
    web::evaluate(browser,
                  "(function () { var r = document.getElementById('canvas')"
                  ".getBoundingClientRect(); return [r.left, r.top, r.width, r.height]"
                  ".map(Math.round).join(' '); })()",
                  rect);
    web::Box box;
    sscanf(rect.c_str(), "%d %d %d %d", &box.x, &box.y, &box.width, &box.height);
    return box;
  }
  // Waits until the canvas shows `linux`'s frame within the tolerance.
  void waitForFrame(const harness::Image& linux, const std::string& step) {
    const web::Box box = canvasBox();
    std::string difference = "no screenshot";
    harness::Image shown;
    const bool same = waitUntil(
        [&] {
          difference = web::screenshot(browser, box, shown)
                           ? frameDifference(shown, linux, GetParam().tolerance)
                           : browser.error;
          return difference.empty();
        },
        10);
    ASSERT_TRUE(same) << step << ": " << difference;
  }

  // Taps the middle of the element `id`.
  void tapOn(const std::string& id) {
    int x = 0;
    int y = 0;
    sscanf(pageValue("(function () { var r = document.getElementById('" + id +
                     "').getBoundingClientRect(); return Math.round(r.left + r.width / 2) + ' ' + "
                     "Math.round(r.top + r.height / 2); })()")
               .c_str(),
           "%d %d", &x, &y);
    ASSERT_TRUE(web::tap(browser, x, y)) << browser.error;
  }
  // Shows the page as `screen` would.
  void emulate(const Viewport& screen) {
    ASSERT_TRUE(web::emulate(browser, screen.width, screen.height, screen.ratio, screen.touch))
        << browser.error;
  }
  // Waits until the viewer shows the Linux frame `k` of the turn, looked at
  // on a desktop's screen, where the page shows it at its own size pixel for
  // pixel, then shows the page as `screen` again. The frame is the viewer's
  // own; the screen only changes how the page shows it.
  void waitForFrameOf(int k, const Viewport& screen, const std::string& step) {
    const harness::Image& frame = linuxFrames(k + 1)[k];
    ASSERT_NO_FATAL_FAILURE(emulate(DESKTOP));
    ASSERT_TRUE(
        waitUntil([&] { return pageValue("(window.scrollTo(0, 0), window.scrollY)") == "0"; }, 5))
        << "the page stays scrolled";
    ASSERT_NO_FATAL_FAILURE(waitForFrame(frame, step));
    ASSERT_NO_FATAL_FAILURE(emulate(screen));
  }

  // The Linux viewer's first `count` frames of the turn (every one by
  // default), grabbed once for the test program: each test runs in a
  // process of its own and grabs no more than it compares.
  const std::vector<harness::Image>& linuxFrames(int count = TURN_STEPS) {
    static std::vector<harness::Image> frames;
    if (static_cast<int>(frames.size()) < count) {
      frames = turnFrames(count);
    }
    return frames;
  }

  static proc::Process server;
  static std::string address;
  web::Browser browser;
  std::string scratch;
};
proc::Process WebPage::server;
std::string WebPage::address;

// Chromium told to offer no WebGL, as some browsers and settings do.
using WebPageWithoutWebGl = WebPage;
// Chromium told to block the viewer's script.
using WebPageBlocked = WebPage;
// What a browser does under the page that is its own, not the viewer's.
using WebPlatform = WebPage;

std::string browserName(const testing::TestParamInfo<BrowserUnderTest>& info) {
  return info.param.name;
}
}  // namespace

TEST_P(WebPage, ShowsTheLinuxFramesThroughAWholeTurnAndBackAndEscEndsIt) {
  const std::vector<harness::Image>& frames = linuxFrames();
  ASSERT_EQ(frames.size(), static_cast<size_t>(TURN_STEPS));
  ASSERT_NO_FATAL_FAILURE(start(GetParam()));
  ASSERT_NO_FATAL_FAILURE(openPage());
  ASSERT_NO_FATAL_FAILURE(waitForState("running", 20));
  ASSERT_NO_FATAL_FAILURE(waitForFrame(frames[0], "the first frame"));
  // The keys below reach a canvas the page has focused itself, and all it
  // loaded came from where the page did.
  std::string value;
  web::evaluate(browser, "document.activeElement.id", value);
  EXPECT_EQ(value, "canvas");
  web::evaluate(browser,
                "performance.getEntriesByType('resource').filter(function (r) { return "
                "!r.name.startsWith(location.origin + '/'); }).map(function (r) { return r.name; "
                "}).join(' ')",
                value);
  EXPECT_EQ(value, "") << "loaded from elsewhere";
  for (int k = 1; k <= TURN_STEPS; ++k) {
    ASSERT_TRUE(web::pressKey(browser, "x")) << browser.error;
    ASSERT_NO_FATAL_FAILURE(waitForFrame(frames[k % TURN_STEPS], "x, step " + std::to_string(k)));
  }
  for (int k = 1; k <= TURN_STEPS; ++k) {
    ASSERT_TRUE(web::pressKey(browser, "z")) << browser.error;
    ASSERT_NO_FATAL_FAILURE(
        waitForFrame(frames[(TURN_STEPS - k) % TURN_STEPS], "z, step " + std::to_string(k)));
  }
  ASSERT_TRUE(web::pressKey(browser, "Escape")) << browser.error;
  ASSERT_NO_FATAL_FAILURE(waitForState("ended", 10));
  EXPECT_EQ(pageSays("exitStatus"), "0");
  EXPECT_EQ(pageText("status"), "The viewer has ended. Reload the page to start it again.");
  EXPECT_EQ(pageText("output"), INSTRUCTIONS);
  EXPECT_FALSE(laidOut("canvas")) << "the ended viewer's canvas is still on the page";
  EXPECT_FALSE(laidOut("output")) << "the lines that tell how to use it are still on the page";
  EXPECT_FALSE(laidOut("keys")) << "the page still tells how to use the viewer";
}

// A phone, 360 x 740 CSS pixels at three device pixels each, a touch
// screen where the browser can emulate one: the page fits its width, as it
// does 320 wide and at 200% zoom of a 1,000-pixel window, and taps on the
// buttons, each large enough for a finger, turn the view and end the
// viewer as its keys do, frame for frame.
TEST_P(WebPage, OnAPhoneTheButtonsTurnAndEndItAndThePageFitsItsWidth) {
  // The Linux viewer's frames first, before a browser shares the display.
  ASSERT_FALSE(linuxFrames(3).empty());
  ASSERT_NO_FATAL_FAILURE(start(GetParam()));
  ASSERT_NO_FATAL_FAILURE(openPage());
  ASSERT_NO_FATAL_FAILURE(waitForState("running", 20));
  for (const int width : {320, 500, PHONE.width}) {
    ASSERT_NO_FATAL_FAILURE(emulate({width, PHONE.height, PHONE.ratio, PHONE.touch}));
    EXPECT_TRUE(
        waitUntil([&] { return pageValue("window.innerWidth") == std::to_string(width); }, 5));
    EXPECT_EQ(pageValue("document.documentElement.scrollWidth <= window.innerWidth"), "true")
        << "the page is " << pageValue("document.documentElement.scrollWidth")
        << " CSS pixels wide in a viewport of " << width;
  }
  for (const char* button : {"turn-minus", "turn-plus", "end"}) {
    EXPECT_EQ(pageValue("(function (r) { return Math.min(r.width, r.height) >= 44; })("
                        "document.getElementById('" +
                        std::string(button) + "').getBoundingClientRect())"),
              "true")
        << button << " is smaller than 44 x 44 CSS pixels";
  }
  // Each tap, then the frame it left.
  const std::pair<const char*, int> taps[] = {
      {"turn-plus", 1}, {"turn-plus", 2}, {"turn-minus", 1}};
  for (const auto& [button, k] : taps) {
    ASSERT_NO_FATAL_FAILURE(tapOn(button));
    ASSERT_NO_FATAL_FAILURE(waitForFrameOf(k, PHONE, std::string("a tap on ") + button));
  }
  ASSERT_NO_FATAL_FAILURE(tapOn("end"));
  ASSERT_NO_FATAL_FAILURE(waitForState("ended", 10));
  EXPECT_EQ(pageSays("exitStatus"), "0");
  EXPECT_FALSE(laidOut("canvas"));
}

// At two device pixels a CSS pixel the canvas is shown at twice its size,
// each of the frame's pixels a block of four alike rather than a blur, and
// the blocks are the Linux viewer's frame.
TEST_P(WebPage, OnADenseScreenEachFramePixelIsABlockOfFour) {
  const std::vector<harness::Image>& frames = linuxFrames(1);
  ASSERT_NO_FATAL_FAILURE(start(GetParam()));
  ASSERT_NO_FATAL_FAILURE(emulate({DESKTOP.width, DESKTOP.height, 2, false}));
  ASSERT_NO_FATAL_FAILURE(openPage());
  ASSERT_NO_FATAL_FAILURE(waitForState("running", 20));
  const web::Box box = canvasBox();
  std::string difference = "no screenshot";
  const bool same = waitUntil(
      [&] {
        harness::Image shown;
        if (!web::screenshot(browser, box, shown)) {
          difference = browser.error;
          return false;
        }
        if (shown.width != 2 * frames[0].width || shown.height != 2 * frames[0].height) {
          difference =
              "a picture of " + std::to_string(shown.width) + " x " + std::to_string(shown.height);
          return false;
        }
        harness::Image halved{frames[0].width, frames[0].height, {}};
        int blurred = 0;
        for (int y = 0; y < shown.height; y += 2) {
          for (int x = 0; x < shown.width; x += 2) {
            const harness::Rgb c = shown.at(x, y);
            const harness::Rgb block[] = {shown.at(x + 1, y), shown.at(x, y + 1),
                                          shown.at(x + 1, y + 1)};
            blurred += static_cast<int>(
                std::count_if(std::begin(block), std::end(block),
                              [&](const harness::Rgb& d) { return channelDistance(c, d) > 0; }));
            halved.rgb.insert(
                halved.rgb.end(),
                {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.b)});
          }
        }
        difference = blurred > 0 ? std::to_string(blurred) + " pixels differ within their block"
                                 : frameDifference(halved, frames[0], GetParam().tolerance);
        return difference.empty();
      },
      10);
  EXPECT_TRUE(same) << difference;
}

// Keys reach the viewer only from its focused canvas, and only its own, by
// the characters they type: Tab moves on to the buttons, a key pressed
// there does nothing, Space scrolls the page as on any other, and the key
// in x's place on a Russian layout, which types no x, turns nothing.
TEST_P(WebPage, KeysReachTheViewerOnlyFromItsCanvasAndOthersKeepTheirWays) {
  // The Linux viewer's frames first, before a browser shares the display.
  ASSERT_FALSE(linuxFrames(2).empty());
  // A screen short enough that the page scrolls.
  const Viewport shortViewport = {360, 400, 1, false};
  ASSERT_NO_FATAL_FAILURE(start(GetParam()));
  ASSERT_NO_FATAL_FAILURE(emulate(shortViewport));
  ASSERT_NO_FATAL_FAILURE(openPage());
  ASSERT_NO_FATAL_FAILURE(waitForState("running", 20));
  EXPECT_EQ(pageValue("document.activeElement.id"), "canvas");
  ASSERT_TRUE(web::pressKey(browser, "Tab")) << browser.error;
  EXPECT_EQ(pageValue("document.activeElement.id"), "turn-minus") << "Tab kept the focus";
  ASSERT_TRUE(web::pressKey(browser, "x")) << browser.error;
  pageValue("(document.getElementById('canvas').focus(), '')");
  ASSERT_TRUE(web::pressKey(browser, "\xd1\x87")) << browser.error;
  pageValue("(document.activeElement.blur(), window.scrollTo(0, 0), '')");
  ASSERT_TRUE(web::pressKey(browser, " ")) << browser.error;
  EXPECT_TRUE(waitUntil([&] { return pageValue("window.scrollY") != "0"; }, 5))
      << "Space did not scroll the page";
  // None of those turned the view; x on the focused canvas does.
  ASSERT_NO_FATAL_FAILURE(waitForFrameOf(0, shortViewport, "keys away from the canvas"));
  pageValue("(document.getElementById('canvas').focus(), '')");
  ASSERT_TRUE(web::pressKey(browser, "x")) << browser.error;
  ASSERT_NO_FATAL_FAILURE(waitForFrameOf(1, shortViewport, "x on the canvas"));
}

// The site's zip (make package-web), unpacked and opened from disk as a
// downloaded copy would be: no server, file:// URLs.
TEST_P(WebPage, TheUnpackedZipOpensFromDiskAndTurns) {
  const std::vector<harness::Image>& frames = linuxFrames(2);
  ASSERT_TRUE(std::filesystem::exists(QUILLMERE_WEB_ZIP))
      << QUILLMERE_WEB_ZIP << ": make package-web";
  proc::Process unzip =
      proc::start({"unzip", "-q", QUILLMERE_WEB_ZIP, "-d", scratch + "/download"});
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(unzip, 0, 30));
  std::string page;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch + "/download")) {
    page = entry.path().filename() == "index.html" ? entry.path().string() : page;
  }
  ASSERT_FALSE(page.empty()) << "no index.html in the zip";
  ASSERT_NO_FATAL_FAILURE(start(GetParam()));
  ASSERT_TRUE(web::open(browser, "file://" + page, 30)) << browser.error;
  ASSERT_NO_FATAL_FAILURE(waitForState("running", 20));
  ASSERT_NO_FATAL_FAILURE(waitForFrame(frames[0], "the first frame"));
  ASSERT_TRUE(web::pressKey(browser, "x")) << browser.error;
  ASSERT_NO_FATAL_FAILURE(waitForFrame(frames[1], "x"));
}

namespace {
// How a copy of the site can be broken: a change to the folder's files.
struct Breakage {
  const char* name;
  void (*apply)(const std::string& site);
  const char* says;  // how the page's sentence begins
};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

const char* const LOAD_FAILED = "The viewer's code (quillmere.js) could not be loaded";
const char* const DAMAGED = "The viewer's code (quillmere.js) is damaged or incomplete";
const Breakage BREAKAGES[] = {
    {"the script missing",
     [](const std::string& site) { std::filesystem::remove(site + "/quillmere.js"); }, LOAD_FAILED},
    {"the script cut in half",
     [](const std::string& site) {
       const std::string js = readFile(site + "/quillmere.js");
       writeFile(site + "/quillmere.js", js.substr(0, js.size() / 2));
     },
     DAMAGED},
    // The WebAssembly inside the script, cut in half where the script
    // stays whole.
    {"the WebAssembly cut in half",
     [](const std::string& site) {
       std::string js = readFile(site + "/quillmere.js");
       // The module's bytes begin "\0asm", AGFzbQ in base64.
       const size_t data = js.find(";base64,AGFzbQ") + 8;
       const size_t end = js.find('"', data);
       js.erase(data + (end - data) / 2, (end - data) / 2);
       writeFile(site + "/quillmere.js", js);
     },
     DAMAGED},
};
}  // namespace

// Each way a copy of the site can be broken ends, within 10 s, in a
// sentence that names the cause, with no canvas left on the page.
TEST_P(WebPage, EveryBrokenCopySaysWhyInWordsAndLeavesNoCanvas) {
  ASSERT_NO_FATAL_FAILURE(start(GetParam()));
  int k = 0;
  for (const Breakage& broken : BREAKAGES) {
    SCOPED_TRACE(broken.name);
    const std::string site = scratch + "/site" + std::to_string(++k);
    std::filesystem::copy(QUILLMERE_WEB_SITE_DIR, site);
    broken.apply(site);
    proc::Process copyServer;
    std::string copyAddress;
    ASSERT_TRUE(web::serve(copyServer, QUILLMERE_SOURCE_DIR "/scripts/serve-web.sh", site,
                           copyAddress, 30));
    const proc::Reaper reaper{copyServer};
    ASSERT_TRUE(web::open(browser, copyAddress, 30)) << browser.error;
    ASSERT_NO_FATAL_FAILURE(waitForState("failed", 10));
    EXPECT_EQ(pageText("status").rfind(broken.says, 0), 0U) << pageText("status");
    EXPECT_FALSE(laidOut("canvas"));
    proc::stop(copyServer);
  }
}

// WebGL made to report an error, as a lost or failing context would: the
// first frame's check ends the viewer with 1, and the page shows its lines.
TEST_P(WebPage, AnOpenGlErrorEndsItWithOneAndTheViewersMessage) {
  ASSERT_NO_FATAL_FAILURE(start(GetParam()));
  ASSERT_TRUE(web::beforeEachLoad(
      browser, "WebGLRenderingContext.prototype.getError = function () { return 0x0502; };"))
      << browser.error;
  ASSERT_NO_FATAL_FAILURE(openPage());
  ASSERT_NO_FATAL_FAILURE(waitForState("ended", 20));
  EXPECT_EQ(pageSays("exitStatus"), "1");
  EXPECT_EQ(pageText("output"),
            std::string(INSTRUCTIONS) + "Error while using OpenGL.\nAborting...\n");
  EXPECT_EQ(pageText("status"),
            "The viewer has ended with status 1. Reload the page to start it again.");
}

INSTANTIATE_TEST_SUITE_P(Browsers, WebPage, testing::Values(CHROMIUM_HEADLESS, FIREFOX_ON_X),
                         browserName);

// The script blocked, as a content blocker or a lost connection would: the
// page says so, and leaves no canvas.
TEST_F(WebPageBlocked, SaysTheViewerCouldNotBeLoaded) {
  ASSERT_NO_FATAL_FAILURE(start(CHROMIUM_HEADLESS));
  ASSERT_TRUE(web::command(browser, "Network.enable", nlohmann::json::object())) << browser.error;
  ASSERT_TRUE(web::command(browser, "Network.setBlockedURLs", {{"urls", {"*/quillmere.js"}}}))
      << browser.error;
  ASSERT_NO_FATAL_FAILURE(openPage());
  ASSERT_NO_FATAL_FAILURE(waitForState("failed", 10));
  EXPECT_EQ(pageText("status").rfind(LOAD_FAILED, 0), 0U) << pageText("status");
  EXPECT_FALSE(laidOut("canvas"));
}

TEST_F(WebPageWithoutWebGl, SaysThatTheBrowserOffersNone) {
  ASSERT_NO_FATAL_FAILURE(start(CHROMIUM_HEADLESS, {"--disable-3d-apis"}));
  ASSERT_NO_FATAL_FAILURE(openPage());
  ASSERT_NO_FATAL_FAILURE(waitForState("unsupported", 20));
  EXPECT_EQ(pageText("status").rfind("This browser offers no WebGL", 0), 0U) << pageText("status");
  EXPECT_FALSE(laidOut("canvas")) << "an empty canvas is on the page";
}

// Headless and with no X display, Firefox finds no GL driver on this kind
// of machine and offers no WebGL at all; on an X display, headless or not,
// it draws with Mesa's.
TEST_F(WebPlatform, FirefoxWithoutADisplayOffersNoWebGlAndThePageSaysSo) {
  const std::string display = getenv("DISPLAY");
  unsetenv("DISPLAY");
  start(FIREFOX_ON_X, {"--headless"});
  setenv("DISPLAY", display.c_str(), 1);
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_NO_FATAL_FAILURE(openPage());
  ASSERT_NO_FATAL_FAILURE(waitForState("unsupported", 20));
}
