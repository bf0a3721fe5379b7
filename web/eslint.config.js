// The page's scripts run in the browser and its workers; the tools and
// tests under Node.js. The recommended rules find real faults (names used
// before they exist, unused bindings, unreachable code); style is left to
// the code's own consistency.
import js from '@eslint/js';
import globals from 'globals';

export default [
  { ignores: ['node_modules/'] },
  js.configs.recommended,
  {
    files: ['src/**/*.js'],
    languageOptions: { globals: { ...globals.browser, ...globals.worker } },
  },
  {
    // Functions handed to the headless browser (page.evaluate and the like)
    // run in the page, so its names are known here too.
    files: ['tools/**/*.mjs', 'test/**/*.mjs'],
    languageOptions: { globals: { ...globals.node, ...globals.browser } },
  },
  {
    files: ['eslint.config.js'],
    languageOptions: { globals: globals.node },
  },
];
