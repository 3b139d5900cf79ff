// SPDX-License-Identifier: MIT
// ESLint's recommended rules, and nothing of style, for the project's
// JavaScript: the page's browser tests and its benchmark, which run in node
// and hand some functions to the browser to run in the page (make lint).
'use strict';

const js = require('@eslint/js');

const names = (list, kind) => Object.fromEntries(list.map((name) => [name, kind]));

module.exports = [
  js.configs.recommended,
  {
    languageOptions: {
      ecmaVersion: 2022,
      sourceType: 'commonjs',
      globals: {
        ...names(['require', 'module', 'process', 'Buffer', 'console', 'setTimeout', '__dirname'],
          'readonly'),
        // What the functions run in the page use.
        ...names(['window', 'document', 'location', 'performance', 'fetch', 'createImageBitmap',
          'OffscreenCanvas', 'Blob', 'FileReader', 'WebGLRenderingContext'], 'readonly'),
      },
    },
  },
];
