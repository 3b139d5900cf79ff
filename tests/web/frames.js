// SPDX-License-Identifier: MIT
// The page's frames beside the Linux viewer's: each browser's picture of
// the canvas, compared with the Linux viewer's frame of the same angle
// within the browser's tolerance (support.js), the browser decoding both.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { DESKTOP, waitUntil } = require('./support.js');

const FRAMES_DIR = process.env.QUILLMERE_FRAMES_DIR;

// The Linux viewer's frames, saved by the tests' first program
// (tests/e2e/web_frames.cpp): frame k is the view turned k steps by x.
const turnSteps = () => fs.readdirSync(FRAMES_DIR).filter((f) => /^frame-\d+\.png$/.test(f)).length;
const linuxFrame = (k) => fs.readFileSync(path.join(FRAMES_DIR, `frame-${k}.png`), 'base64');

// Made in the page, once a page: a function that tells whether the PNG
// `shown` (base64), at `scale` device pixels a frame pixel, is the Linux
// frame `k` within the tolerance `t`: empty if so, else what differs. The
// browser decodes both pictures, with no codec of the tests' own; a Linux
// frame is handed over (`linux`) the first time only.
function makeComparer() {
  const frames = new Map();
  const decode = async (png) => {
    const blob = await (await fetch(`data:image/png;base64,${png}`)).blob();
    const bitmap = await createImageBitmap(blob, { premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
    const context = new OffscreenCanvas(bitmap.width, bitmap.height)
      .getContext('2d', { willReadFrequently: true });
    context.drawImage(bitmap, 0, 0);
    return context.getImageData(0, 0, bitmap.width, bitmap.height);
  };
  // The largest difference of a channel between pixel i of `a` and j of `b`.
  const distance = (a, i, b, j) => Math.max(Math.abs(a[4 * i] - b[4 * j]),
    Math.abs(a[4 * i + 1] - b[4 * j + 1]), Math.abs(a[4 * i + 2] - b[4 * j + 2]));
  // The cone fill's colour, (v, v, 0) with v > 0, within 2 of 255.
  const yellow = (a, i) => a[4 * i] > 2 && a[4 * i + 2] <= 2 && Math.abs(a[4 * i] - a[4 * i + 1]) <= 2;
  return async (shown, k, linux, t, scale) => {
    if (linux) frames.set(k, await decode(linux));
    const frame = frames.get(k);
    const page = await decode(shown);
    const { width, height } = frame;
    if (page.width !== scale * width || page.height !== scale * height) {
      return `a picture of ${page.width} x ${page.height}`;
    }
    // Each of the frame's pixels must be a block of scale x scale alike;
    // the blocks' corners make the frame as the page shows it.
    const seen = new Uint8ClampedArray(4 * width * height);
    let blurred = 0;
    for (let y = 0; y < page.height; ++y) {
      for (let x = 0; x < page.width; ++x) {
        const corner = (y - (y % scale)) * page.width + x - (x % scale);
        blurred += distance(page.data, y * page.width + x, page.data, corner) > 0 ? 1 : 0;
        if (x % scale === 0 && y % scale === 0) {
          seen.set(page.data.subarray(4 * corner, 4 * corner + 4), 4 * ((y / scale) * width + x / scale));
        }
      }
    }
    if (blurred > 0) return `${blurred} pixels differ within their block`;
    // Whether pixel i of `other` finds its colour within the radius in `a`.
    const near = (a, other, i) => {
      const x = i % width;
      const y = Math.floor(i / width);
      for (let yy = Math.max(0, y - t.radius); yy <= Math.min(height - 1, y + t.radius); ++yy) {
        for (let xx = Math.max(0, x - t.radius); xx <= Math.min(width - 1, x + t.radius); ++xx) {
          if (distance(a, yy * width + xx, other, i) <= t.shade) return true;
        }
      }
      return false;
    };
    let fill = 0;
    let beyond = 0;
    let strays = 0;
    for (let i = 0; i < width * height; ++i) {
      fill += yellow(seen, i) !== yellow(frame.data, i) ? 1 : 0;
      if (distance(seen, i, frame.data, i) > t.shade) {
        ++beyond;
        strays += !near(frame.data, seen, i) || !near(seen, frame.data, i) ? 1 : 0;
      }
    }
    if (fill > 0 || strays > t.strays || beyond > t.beyondShade) {
      return `${fill} fill pixels differ; ${beyond} pixels differ by more than ${t.shade} levels, ` +
        `${strays} of them with no match within ${t.radius} pixels`;
    }
    return '';
  };
}
// Each page's comparer, and the Linux frames it holds.
const comparers = new WeakMap();
async function compare(page, shown, k, t, scale) {
  if (!comparers.has(page)) {
    // Compiled by the page from the function's text, as a page's own script
    // is: a function the driver hands over runs unoptimised in Firefox, ten
    // times slower over a frame's pixels.
    const handle = await page.evaluateHandle((source) => new Function(`return (${source})();`)(),
      makeComparer.toString());
    comparers.set(page, { handle, held: new Set() });
  }
  const comparer = comparers.get(page);
  const linux = comparer.held.has(k) ? null : linuxFrame(k);
  const difference = await comparer.handle.evaluate((f, ...args) => f(...args), shown, k, linux, t, scale);
  comparer.held.add(k);
  return difference;
}

// What the page shows of its canvas, as the browser composes it: a PNG, in
// base64, of device pixels.
async function canvasShot(page) {
  const clip = await page.evaluate(() => {
    const r = document.getElementById('canvas').getBoundingClientRect();
    return { x: r.left + window.scrollX, y: r.top + window.scrollY, width: r.width, height: r.height };
  });
  return page.screenshot({ clip, encoding: 'base64', captureBeyondViewport: false });
}

// Waits up to 10 s until the canvas shows the Linux frame `k` of the turn
// within `under`'s tolerance, each frame pixel `scale` device pixels a side.
async function waitForFrame(page, under, k, step, scale = 1) {
  let difference = 'no screenshot';
  const same = await waitUntil(async () => {
    try {
      difference = await compare(page, await canvasShot(page), k, under.tolerance, scale);
    } catch (error) {
      difference = error.message;
    }
    return difference === '';
  }, 10);
  assert.ok(same, `${step}: ${difference}`);
}

// Waits until the viewer shows the Linux frame `k`, looked at on a
// desktop's screen, where the page shows it at its own size pixel for
// pixel, then shows the page on `screen` again. The frame is the viewer's
// own; the screen only changes how the page shows it. A phone's touch is
// kept, which Chromium could otherwise only change by loading the page again.
async function waitForFrameOn(page, under, k, screen, step) {
  await page.setViewport({ ...screen, ...DESKTOP });
  const top = await waitUntil(() => page.evaluate(() => (window.scrollTo(0, 0), window.scrollY === 0)), 5);
  assert.ok(top, 'the page stays scrolled');
  await waitForFrame(page, under, k, step);
  await page.setViewport(screen);
}

module.exports = { turnSteps, waitForFrame, waitForFrameOn };
