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
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "harness/browser.h"

#ifndef QUILLMERE_WEB_SITE_DIR
#error "QUILLMERE_WEB_SITE_DIR must name the built site"
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
  // Whether the page lays the canvas out at all: once the viewer has ended,
  // or cannot start, it must not.
  std::string canvasDisplay() {
    std::string display;
    web::evaluate(browser, "getComputedStyle(document.getElementById('canvas')).display", display);
    return display;
  }
  // The canvas, where the page shows it.
  web::Box canvasBox() {
    std::string rect;
    web::evaluate(browser,
                  "(function () { var r = document.getElementById('canvas')"
                  ".getBoundingClientRect(); return [r.left, r.top, r.width, r.height].join(' '); "
                  "})()",
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

  // The Linux viewer's frame at every angle, grabbed once for all the tests.
  const std::vector<harness::Image>& linuxFrames() {
    static const std::vector<harness::Image> frames = turnFrames();
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
  EXPECT_EQ(canvasDisplay(), "none") << "the ended viewer's canvas is still on the page";
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

TEST_F(WebPageWithoutWebGl, SaysThatTheBrowserOffersNone) {
  ASSERT_NO_FATAL_FAILURE(start(CHROMIUM_HEADLESS, {"--disable-3d-apis"}));
  ASSERT_NO_FATAL_FAILURE(openPage());
  ASSERT_NO_FATAL_FAILURE(waitForState("unsupported", 20));
  EXPECT_EQ(pageText("status").rfind("This browser offers no WebGL", 0), 0U) << pageText("status");
  EXPECT_EQ(canvasDisplay(), "none") << "an empty canvas is on the page";
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
