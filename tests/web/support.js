// SPDX-License-Identifier: MIT
// What the page's browser tests share: the two browsers as the tests start
// them (Debian's, driven by puppeteer-core), with the tolerance of each
// one's frames, the site served as make run-web serves it, and the page's
// state read through the driver (its frames: frames.js). Every wait has a
// deadline.
'use strict';

const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const { after, afterEach, before, describe } = require('node:test');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

// The project's tree, whose script serves the site.
const SOURCE_DIR = path.join(__dirname, '../..');
// What CTest hands over (tests/CMakeLists.txt).
const SITE_DIR = process.env.QUILLMERE_WEB_SITE_DIR;
const WEB_ZIP = process.env.QUILLMERE_WEB_ZIP;

// The driver, from the npm registry at the version tests/web/package-lock.json
// pins; without it every test skips, naming it.
let puppeteer = null;
try {
  puppeteer = require('puppeteer-core');
} catch {
  puppeteer = null;
}

// The viewer's two lines at start-up, as an independent expectation.
const INSTRUCTIONS = "Press the keys 'z' and 'x' to rotate.\nPress the key Esc to exit.\n";

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
//
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
const BROWSERS = [
  {
    name: 'Chromium',
    program: process.env.CHROMIUM,
    // Headless, with WebGL on SwiftShader, its software rasteriser, which
    // it offers only when told to. No sandbox: it needs privileges a test
    // running as root is refused. Scrolls jump rather than glide: on a busy
    // machine an animated keyboard scroll was sometimes never started.
    launch: {
      browser: 'chrome',
      headless: true,
      args: ['--no-sandbox', '--disable-quic', '--disable-smooth-scrolling',
        '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--window-size=800,600'],
    },
    withoutWebGl: { args: ['--disable-3d-apis'] },
    tolerance: { shade: 2, radius: 2, strays: 6, beyondShade: 600 },
    touch: true,
  },
  {
    name: 'Firefox',
    program: process.env.FIREFOX,
    // On the test's X display: headless, it finds no GL driver here.
    launch: {
      browser: 'firefox',
      headless: false,
      args: ['--width=800', '--height=600'],
      extraPrefsFirefox: { 'general.smoothScroll': false },
    },
    withoutWebGl: { prefs: { 'webgl.disabled': true } },
    tolerance: { shade: 2, radius: 1, strays: 0, beyondShade: 10 },
    // The driver's touch, sent over WebDriver BiDi with a touch's radius,
    // pressure and angle, is refused by Firefox ESR 153 (NS_ERROR_ILLEGAL_VALUE):
    // its buttons are clicked.
    touch: false,
  },
];
const FIREFOX = BROWSERS[1];

// A screen the page is shown on, in CSS pixels: a desktop's, where the page
// shows the canvas at its own size, pixel for pixel; and a phone's, three
// device pixels to one, with touch where the browser emulates it.
const DESKTOP = { width: 800, height: 600, deviceScaleFactor: 1 };
const PHONE = { width: 360, height: 740, deviceScaleFactor: 3, isMobile: true, hasTouch: true };

// Why the tests of `under` cannot run here, or false.
function missing(under) {
  if (!puppeteer) return 'puppeteer-core is not installed: scripts/install-deps.sh npm';
  if (!under.program) return `${under.name} is not installed`;
  return false;
}

const sleep = (ms) => new Promise((resolve) => { setTimeout(resolve, ms); });
// Polls `done` until it holds or `seconds` pass; whether it held.
async function waitUntil(done, seconds, pollMs = 50) {
  const deadline = Date.now() + seconds * 1000;
  for (;;) {
    if (await done()) return true;
    if (Date.now() >= deadline) return false;
    await sleep(pollMs);
  }
}

// A new directory of the test's own; the test removes it when it ends.
const scratchDirectory = () => fs.mkdtempSync(path.join(os.tmpdir(), 'quillmere-web-'));

// Starts `under`, its profile, home and temporary files in `scratch`,
// never the user's; `extra` adds options (args) or Firefox preferences
// (prefs), changes its environment (env), or makes it headless.
async function launch(under, scratch, extra = {}) {
  const home = fs.mkdtempSync(path.join(scratch, 'browser-'));
  const options = under.launch;
  return puppeteer.launch({
    ...options,
    headless: extra.headless ?? options.headless,
    executablePath: under.program,
    userDataDir: path.join(home, 'profile'),
    args: [...options.args, ...(extra.args || [])],
    extraPrefsFirefox: { ...options.extraPrefsFirefox, ...extra.prefs },
    env: { ...process.env, HOME: home, TMPDIR: home, XDG_CONFIG_HOME: `${home}/config`,
      XDG_CACHE_HOME: `${home}/cache`, ...extra.env },
    timeout: 60000,
    protocolTimeout: 30000,
  });
}

// Serves the site `dir` as make run-web does, until stop().
async function serve(dir) {
  const server = spawn(path.join(SOURCE_DIR, 'scripts/serve-web.sh'), [dir],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  let out = '';
  server.stdout.on('data', (data) => { out += data; });
  // Its log of requests is kept for a failure's message only.
  server.stderr.on('data', (data) => { out += data; });
  // "Quillmere's page is served at ADDRESS (this machine only); ..."
  const served = await waitUntil(() => out.includes(' (this machine only)'), 30);
  const stop = () => { server.kill('SIGTERM'); };
  if (!served) stop();
  assert.ok(served, `the page was not served: ${out}`);
  return { address: out.match(/served at (\S+) /)[1], stop };
}

// `under` started as launch() starts it, given `extra`, in a scratch
// directory of its own, with the site `siteDir` served; end() ends both,
// and removes what they kept. The page's benchmark starts Chromium so too.
async function start(under, extra = {}, siteDir = SITE_DIR) {
  const scratch = scratchDirectory();
  const removeScratch = () => fs.rmSync(scratch, { recursive: true, force: true });
  let site = null;
  try {
    site = await serve(siteDir);
    const browser = await launch(under, scratch, extra);
    const end = async () => {
      try {
        await browser.close();
      } finally {
        site.stop();
        removeScratch();
      }
    };
    return { scratch, site, browser, end };
  } catch (error) {
    site?.stop();
    removeScratch();
    throw error;
  }
}

// Runs `body(browser, address)` with `under` started by start().
async function withBrowser(under, extra, body) {
  const started = await start(under, extra);
  try {
    await body(started.browser, started.site.address);
  } finally {
    await started.end();
  }
}

// A new tab showing `url` on `screen`; `before` runs first, given the tab.
async function open(browser, url, screen = DESKTOP, before = async () => {}) {
  const page = await browser.newPage();
  await page.setViewport(screen);
  await before(page);
  await page.goto(url, { timeout: 30000 });
  return page;
}

// What the page says of the viewer: its state and, once ended, the status.
const pageSays = (page, what) =>
  page.evaluate((key) => String(document.getElementById('status').dataset[key]), what);
async function waitForState(page, state, seconds) {
  const reached = await waitUntil(async () => (await pageSays(page, 'state')) === state, seconds);
  assert.ok(reached, `the page's state is ${await pageSays(page, 'state')}, not ${state}`);
}
const textOf = (page, id) => page.evaluate((key) => document.getElementById(key).textContent, id);
// Whether the page lays the element out at all: once the viewer has ended,
// or cannot start, its canvas must not be.
const laidOut = (page, id) =>
  page.evaluate((key) => document.getElementById(key).getClientRects().length > 0, id);
// Waits until the viewer has ended, with `status`, and its canvas has left
// the page.
async function expectEnded(page, status, seconds) {
  await waitForState(page, 'ended', seconds);
  assert.equal(await pageSays(page, 'exitStatus'), status);
  assert.ok(!(await laidOut(page, 'canvas')), "the ended viewer's canvas is still on the page");
}

// The tests that `body` declares, run in each of `browsers`, one browser
// beside the other and one test after the other in each, under `title`:
// `body` gets a context with the browser under test (under), a scratch
// directory (scratch), the site served (site), the browser started once
// for them all (browser), and open(), which opens a tab that is closed
// after the test.
function eachBrowser(title, body, browsers = BROWSERS) {
  describe(title, { concurrency: true }, () => {
    for (const under of browsers) {
      describe(under.name, { skip: missing(under), concurrency: false }, () => {
        const context = { under, tabs: [] };
        context.open = async (...args) => {
          const page = await open(context.browser, ...args);
          context.tabs.push(page);
          return page;
        };
        before(async () => {
          Object.assign(context, await start(under));
        });
        afterEach(async () => {
          await Promise.all(context.tabs.splice(0).map((page) => page.close()));
        });
        after(async () => {
          await context.end?.();
        });
        body(context);
      });
    }
  });
}

module.exports = {
  BROWSERS, FIREFOX, DESKTOP, PHONE, INSTRUCTIONS, SITE_DIR, WEB_ZIP, missing, waitUntil,
  serve, open, pageSays, waitForState, textOf, laidOut, expectEnded, start,
  eachBrowser, withBrowser,
};
