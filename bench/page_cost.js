// SPDX-License-Identifier: MIT
// Measures the static page in headless Chromium (WebGL on SwiftShader),
// started and driven as the page's browser tests drive it
// (tests/web/support.js): from the start of loading the page to the end of
// its first frame, over loads that fetch every file again, on a desktop's
// screen at full speed, and on a phone's with the page's processor slowed
// 4 times (Chromium's throttling); and the cost of one frame drawn by a
// key, as the main thread's time in the key's handler (the viewer's code
// and Emscripten's GL emulation) and as the processor time of all the
// browser's processes, over 720 turns. A measurement, never a test (make
// bench-web).
//   node bench/page_cost.js SITE_DIR
'use strict';

const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const web = require('../tests/web/support.js');

const LOADS = 10;
const TURNS = 720;
const SLOWED = 4;  // times slower: a cheap phone's processor against this machine's

// Before the page's own scripts: note when the first frame ends (the task
// of its first draw call), and time each key's handlers, from the first
// listener on the window to the first on the document, which runs after
// all of the window's.
function probe() {
  const cost = { firstFrame: 0, keyMs: 0, keys: 0 };
  window.quillmereCost = cost;
  let started = false;
  for (const name of ['drawArrays', 'drawElements']) {
    const real = WebGLRenderingContext.prototype[name];
    WebGLRenderingContext.prototype[name] = function draw(...args) {
      if (!started) {
        started = true;
        setTimeout(() => { cost.firstFrame = performance.now(); }, 0);
      }
      return real.apply(this, args);
    };
  }
  let keyStart = 0;
  window.addEventListener('keydown', () => { keyStart = performance.now(); }, true);
  document.addEventListener('keydown', () => {
    cost.keyMs += performance.now() - keyStart;
    cost.keys += 1;
  }, true);
}

// Processor seconds of every process in the browser's process group.
function groupSeconds(browser) {
  const group = String(browser.process().pid);
  const ticksPerSecond = Number(execFileSync('getconf', ['CLK_TCK'], { encoding: 'utf8' }));
  let ticks = 0;
  for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      // The fields after the command's name: state, ppid, pgrp, ... utime (14), stime (15).
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      if (fields[2] === group) ticks += Number(fields[11]) + Number(fields[12]);
    } catch {
      // The process ended meanwhile.
    }
  }
  return ticks / ticksPerSecond;
}

// Load to the end of the first frame, in ms, over LOADS loads of `address`.
async function firstFrames(page, address) {
  const times = [];
  for (let load = 0; load < LOADS; ++load) {
    await page.goto(address, { timeout: 30000 });
    const done = await page.waitForFunction(() => window.quillmereCost.firstFrame,
      { timeout: 30000, polling: 50 });
    times.push(await done.jsonValue());
  }
  return times.sort((a, b) => a - b);
}

async function main() {
  const [site] = process.argv.slice(2);
  if (!site) {
    console.error('usage: node bench/page_cost.js SITE_DIR');
    process.exit(2);
  }
  // Debian's, wherever PATH finds it.
  const chromium = { ...web.BROWSERS[0], program: process.env.PATH.split(':')
    .map((dir) => path.join(dir, 'chromium')).find((file) => fs.existsSync(file)) };
  const reason = web.missing(chromium);
  if (reason) throw new Error(reason);
  const { browser, site: served, end } = await web.start(chromium, {}, site);
  const address = served.address;
  try {
    const page = await browser.newPage();
    await page.evaluateOnNewDocument(probe);
    await page.setCacheEnabled(false);
    const report = (what, times) => {
      console.log(`headless Chromium, loading the page to the end of its first frame, ${what}, ` +
        `${LOADS} loads:`);
      console.log(`  median ${times[LOADS / 2].toFixed(0)} ms, range ${times[0].toFixed(0)}-` +
        `${times[LOADS - 1].toFixed(0)} ms`);
    };
    report('a desktop', await firstFrames(page, address));
    await page.setViewport(web.PHONE);
    await page.emulateCPUThrottling(SLOWED);
    report(`a phone, the processor slowed ${SLOWED} times`, await firstFrames(page, address));
    await page.emulateCPUThrottling(null);
    await page.setViewport(web.DESKTOP);

    await page.goto(address, { timeout: 30000 });
    await page.waitForFunction(() => window.quillmereCost.firstFrame, { timeout: 30000 });
    const before = groupSeconds(browser);
    for (let turn = 0; turn < TURNS; ++turn) {
      await page.keyboard.press('x');
    }
    const seconds = groupSeconds(browser) - before;
    const { keyMs, keys } = await page.evaluate(() => window.quillmereCost);
    console.log(`one frame drawn by a key, over ${TURNS} turns:`);
    console.log(`  the key's handler on the main thread: ${((1000 * keyMs) / keys).toFixed(0)} us`);
    console.log(`  CPU of all the browser's processes: ${((1e6 * seconds) / TURNS).toFixed(0)} us` +
      " (with the keys' delivery)");
  } finally {
    await end();
  }
}

main().catch((error) => {
  console.error(`page_cost: ${error.message}`);
  process.exit(1);
});
