// SPDX-License-Identifier: MIT
// The page where it is not served whole from make run-web: the site's zip
// opened from disk, copies broken three ways, its script blocked, a browser
// without WebGL, and WebGL reporting an error. Each says in words what
// became of the viewer.
'use strict';

const assert = require('node:assert/strict');
const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { describe, test } = require('node:test');
const frames = require('./frames.js');
const web = require('./support.js');

const LOAD_FAILED = "The viewer's code (quillmere.js) could not be loaded";
const DAMAGED = "The viewer's code (quillmere.js) is damaged or incomplete";

// How a copy of the site can be broken: a change to the folder's script,
// and how the page's sentence then begins.
const BREAKAGES = [
  { name: 'the script missing', says: LOAD_FAILED, apply: () => null },
  { name: 'the script cut in half', says: DAMAGED, apply: (js) => js.subarray(0, js.length / 2) },
  // The WebAssembly inside the script, cut in half where the script stays
  // whole. The module's bytes begin "\0asm", AGFzbQ in base64.
  {
    name: 'the WebAssembly cut in half',
    says: DAMAGED,
    apply: (js) => {
      const text = js.toString('latin1');
      const data = text.indexOf(';base64,AGFzbQ') + 8;
      const half = (text.indexOf('"', data) - data) / 2;
      return Buffer.from(text.slice(0, data + half) + text.slice(data + 2 * half), 'latin1');
    },
  },
];

async function expectFailedSaying(page, says) {
  await web.waitForState(page, 'failed', 10);
  const status = await web.textOf(page, 'status');
  assert.ok(status.startsWith(says), status);
  assert.ok(!(await web.laidOut(page, 'canvas')), 'a canvas is on the page');
}

web.eachBrowser('A copy of the site', (context) => {
  describe('PageCopies', () => {
    // The site's zip (make package-web), unpacked and opened from disk as a
    // downloaded copy would be: no server, file:// URLs.
    test('unpacked from its zip opens from disk and turns', { timeout: 60000 }, async () => {
      assert.ok(fs.existsSync(web.WEB_ZIP), `${web.WEB_ZIP}: make package-web`);
      const download = path.join(context.scratch, 'download');
      const unzip = spawnSync('unzip', ['-q', web.WEB_ZIP, '-d', download], { timeout: 30000 });
      assert.equal(unzip.status, 0, String(unzip.stderr));
      const index = fs.readdirSync(download, { recursive: true }).find((f) => path.basename(f) === 'index.html');
      assert.ok(index, 'no index.html in the zip');
      const page = await context.open(`file://${path.join(download, index)}`);
      await web.waitForState(page, 'running', 20);
      await frames.waitForFrame(page, context.under, 0, 'the first frame');
      await page.keyboard.press('x');
      await frames.waitForFrame(page, context.under, 1, 'x');
    });

    // Each way a copy of the site can be broken ends, within 10 s, in a
    // sentence that names the cause, with no canvas left on the page.
    for (const broken of BREAKAGES) {
      test(`with ${broken.name} says why in words and leaves no canvas`, async () => {
        const site = fs.mkdtempSync(path.join(context.scratch, 'site-'));
        fs.cpSync(web.SITE_DIR, site, { recursive: true });
        const script = path.join(site, 'quillmere.js');
        const changed = broken.apply(fs.readFileSync(script));
        if (changed) fs.writeFileSync(script, changed); else fs.rmSync(script);
        const served = await web.serve(site);
        try {
          await expectFailedSaying(await context.open(served.address), broken.says);
        } finally {
          served.stop();
        }
      });
    }

    // The script blocked, as a content blocker or a lost connection would.
    test('with its script blocked says it could not be loaded', async () => {
      const page = await context.open(context.site.address, web.DESKTOP, async (tab) => {
        await tab.setRequestInterception(true);
        tab.on('request', (request) =>
          (request.url().endsWith('/quillmere.js') ? request.abort() : request.continue()));
      });
      await expectFailedSaying(page, LOAD_FAILED);
    });

    // WebGL made to report an error, as a lost or failing context would: the
    // first frame's check ends the viewer with 1, and the page shows its lines.
    test('ends with 1 and the viewer\'s message on an OpenGL error', async () => {
      const page = await context.open(context.site.address, web.DESKTOP, (tab) =>
        tab.evaluateOnNewDocument(() => { WebGLRenderingContext.prototype.getError = () => 0x0502; }));
      await web.waitForState(page, 'ended', 20);
      assert.equal(await web.pageSays(page, 'exitStatus'), '1');
      assert.equal(await web.textOf(page, 'output'),
        `${web.INSTRUCTIONS}Error while using OpenGL.\nAborting...\n`);
      assert.equal(await web.textOf(page, 'status'),
        'The viewer has ended with status 1. Reload the page to start it again.');
    });
  });
});

// A browser told to offer no WebGL, as some browsers and settings do.
describe('PageWithoutWebGl', { concurrency: true }, () => {
  for (const under of web.BROWSERS) {
    test(`in ${under.name} says the browser offers none, and shows no canvas`,
      { skip: web.missing(under), timeout: 60000 }, () =>
        web.withBrowser(under, under.withoutWebGl, async (browser, address) => {
          const page = await web.open(browser, address);
          await web.waitForState(page, 'unsupported', 20);
          const status = await web.textOf(page, 'status');
          assert.ok(status.startsWith('This browser offers no WebGL'), status);
          assert.ok(!(await web.laidOut(page, 'canvas')), 'an empty canvas is on the page');
        }));
  }
});
