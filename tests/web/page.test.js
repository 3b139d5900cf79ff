// SPDX-License-Identifier: MIT
// The page as its visitors use it, in each browser beside the Linux viewer:
// the same frame at every angle through a whole turn and back, within what
// each browser's rasteriser is measured to change (support.js), and Esc as
// the page tells it; a phone's screen and a dense one; and the keys.
'use strict';

const assert = require('node:assert/strict');
const { describe, test } = require('node:test');
const frames = require('./frames.js');
const web = require('./support.js');

// The key in x's place on a Russian layout types "ч". Chromium is sent the
// whole key as that keyboard sends it, the legacy key code of x's place
// included, which the toolkit reads: the driver's keyboard knows only the
// US layout's keys. Firefox is sent the character, as WebDriver sends it.
async function pressRussianX(page, under) {
  if (under.name !== 'Chromium') {
    await page.keyboard.press('ч');
    return;
  }
  const session = await page.createCDPSession();
  const key = { key: 'ч', code: 'KeyX', windowsVirtualKeyCode: 88 };
  await session.send('Input.dispatchKeyEvent', { ...key, type: 'keyDown', text: 'ч' });
  await session.send('Input.dispatchKeyEvent', { ...key, type: 'keyUp' });
  await session.detach();
}

const focusedId = (page) => page.evaluate(() => document.activeElement.id);

web.eachBrowser('The page', (context) => {
  describe('PageFrames', () => {
    test('shows the Linux frames through a whole turn and back, and Esc ends it',
      { timeout: 300000 }, async () => {
        const { under } = context;
        const steps = frames.turnSteps();
        assert.ok(steps > 1, 'no Linux frames to compare with');
        const page = await context.open(context.site.address);
        await web.waitForState(page, 'running', 20);
        await frames.waitForFrame(page, under, 0, 'the first frame');
        // The keys below reach a canvas the page has focused itself, and all
        // it loaded came from where the page did.
        assert.equal(await focusedId(page), 'canvas');
        const elsewhere = await page.evaluate(() => performance.getEntriesByType('resource')
          .map((r) => r.name).filter((name) => !name.startsWith(`${location.origin}/`)));
        assert.deepEqual(elsewhere, [], 'loaded from elsewhere');
        for (let k = 1; k <= steps; ++k) {
          await page.keyboard.press('x');
          await frames.waitForFrame(page, under, k % steps, `x, step ${k}`);
        }
        for (let k = 1; k <= steps; ++k) {
          await page.keyboard.press('z');
          await frames.waitForFrame(page, under, (steps - k) % steps, `z, step ${k}`);
        }
        await page.keyboard.press('Escape');
        await web.expectEnded(page, '0', 10);
        assert.equal(await web.textOf(page, 'status'),
          'The viewer has ended. Reload the page to start it again.');
        assert.equal(await web.textOf(page, 'output'), web.INSTRUCTIONS);
        assert.ok(!(await web.laidOut(page, 'output')),
          'the lines that tell how to use it are still on the page');
        assert.ok(!(await web.laidOut(page, 'keys')), 'the page still tells how to use the viewer');
      });
  });

  // A phone, 360 x 740 CSS pixels at three device pixels each, a touch
  // screen where the browser can emulate one (Chromium; Firefox's buttons
  // are clicked, support.js says why): the page fits its width, as it does
  // 320 and 500 wide, and taps on the buttons, each large enough for a
  // finger, turn the view and end the viewer as its keys do, frame for frame.
  describe('PageScreens', () => {
    test('on a phone the page fits its width and the buttons turn and end the viewer',
      { timeout: 120000 }, async () => {
        const { under } = context;
        const page = await context.open(context.site.address, web.PHONE);
        const tap = (button) => (under.touch ? page.tap(`#${button}`) : page.click(`#${button}`));
        await web.waitForState(page, 'running', 20);
        for (const width of [320, 500, web.PHONE.width]) {
          await page.setViewport({ ...web.PHONE, width });
          assert.ok(await web.waitUntil(async () =>
            (await page.evaluate(() => window.innerWidth)) === width, 5), `no viewport ${width} wide`);
          const wide = await page.evaluate(() => document.documentElement.scrollWidth);
          assert.ok(wide <= width, `the page is ${wide} CSS pixels wide in a viewport of ${width}`);
        }
        for (const button of ['turn-minus', 'turn-plus', 'end']) {
          const { width, height } = await (await page.$(`#${button}`)).boundingBox();
          assert.ok(Math.min(width, height) >= 44, `${button} is smaller than 44 x 44 CSS pixels`);
        }
        // Each tap, then the frame it left.
        for (const [button, k] of [['turn-plus', 1], ['turn-plus', 2], ['turn-minus', 1]]) {
          await tap(button);
          await frames.waitForFrameOn(page, under, k, web.PHONE, `a tap on ${button}`);
        }
        await tap('end');
        await web.expectEnded(page, '0', 10);
      });

    // At two device pixels a CSS pixel the canvas is shown at twice its size,
    // each of the frame's pixels a block of four alike, and the blocks are
    // the Linux viewer's frame.
    test('on a dense screen each frame pixel is a block of four', { timeout: 60000 }, async () => {
      const page = await context.open(context.site.address, { ...web.DESKTOP, deviceScaleFactor: 2 });
      await web.waitForState(page, 'running', 20);
      await frames.waitForFrame(page, context.under, 0, 'the first frame', 2);
    });
  });

  // Keys reach the viewer only from its focused canvas, and only its own,
  // by the characters they type: Tab moves on to the buttons, a key pressed
  // there does nothing, Space scrolls the page as on any other, and the key
  // in x's place on a Russian layout, which types no x, turns nothing.
  describe('PageKeys', () => {
    test('reach the viewer only from its canvas, and other keys keep their ways',
      { timeout: 60000 }, async () => {
        const { under } = context;
        // A screen short enough that the page scrolls.
        const short = { width: 360, height: 400, deviceScaleFactor: 1 };
        const page = await context.open(context.site.address, short);
        await web.waitForState(page, 'running', 20);
        assert.equal(await focusedId(page), 'canvas');
        await page.keyboard.press('Tab');
        assert.equal(await focusedId(page), 'turn-minus', 'Tab kept the focus');
        await page.keyboard.press('x');
        await page.focus('#canvas');
        await pressRussianX(page, under);
        await page.evaluate(() => { document.activeElement.blur(); window.scrollTo(0, 0); });
        await page.keyboard.press(' ');
        assert.ok(await web.waitUntil(async () => (await page.evaluate(() => window.scrollY)) !== 0, 5),
          'Space did not scroll the page');
        // None of those turned the view; x on the focused canvas does.
        await frames.waitForFrameOn(page, under, 0, short, 'keys away from the canvas');
        await page.focus('#canvas');
        await page.keyboard.press('x');
        await frames.waitForFrameOn(page, under, 1, short, 'x on the canvas');
      });
  });
});
