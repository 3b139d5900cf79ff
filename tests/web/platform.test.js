// SPDX-License-Identifier: MIT
// What a browser does under the page that is its own, not the viewer's
// (labelled platform): headless and with no X display, Firefox finds no GL
// driver on this kind of machine and offers no WebGL at all, which the page
// then says; on an X display, headless or not, it draws with Mesa's.
'use strict';

const { describe, test } = require('node:test');
const web = require('./support.js');

describe('WebPlatform', { skip: web.missing(web.FIREFOX) }, () => {
  test('Firefox without a display offers no WebGL, and the page says so', { timeout: 60000 }, () =>
    web.withBrowser(web.FIREFOX, { headless: true, env: { DISPLAY: undefined } },
      async (browser, address) => {
        await web.waitForState(await web.open(browser, address), 'unsupported', 20);
      }));
});
