// Drives the page in Debian's Chromium, headless, as a user would: pick
// files, set the depth and the white option, press Flat, download. Shared
// by the browser tests and scripts/web-flat.sh. Nothing here downloads a
// browser: puppeteer-core only talks to the one installed.
import puppeteer from 'puppeteer-core';
import { existsSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { serve } from './serve.mjs';

export const kChromium = process.env.VANDREL_CHROMIUM || '/usr/bin/chromium';
const kPageDir = new URL('../../build/web/', import.meta.url).pathname;

// `profile`: a profile folder to use again (a browser restarted), kept on
// close; `port`: the same address as before, since what the page keeps is
// kept per origin.
export async function openPage({ pageDir = kPageDir, profile = null, port = 0 } = {}) {
  const server = await serve(pageDir, port);
  const keepProfile = Boolean(profile);
  profile ??= mkdtempSync(join(tmpdir(), 'vandrel-chromium-'));
  const downloads = mkdtempSync(join(tmpdir(), 'vandrel-downloads-'));
  const browser = await puppeteer.launch({
    executablePath: kChromium,
    headless: true,
    userDataDir: profile,
    // A 35 MP page on a busy machine can hold the page's thread for minutes.
    protocolTimeout: 15 * 60_000,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--disable-dev-shm-usage'],
  });
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads, eventsEnabled: true });
  const url = `http://127.0.0.1:${server.address().port}/`;
  await page.goto(url, { waitUntil: 'load' });
  await page.waitForSelector('body[data-restored]');
  return new PageDriver({ server, browser, page, session, profile, keepProfile, downloads, url, errors });
}

export class PageDriver {
  constructor(parts) {
    Object.assign(this, parts);
  }

  async close() {
    await this.browser.close().catch(() => {});
    this.server.close();
    if (!this.keepProfile) rmSync(this.profile, { recursive: true, force: true });
    rmSync(this.downloads, { recursive: true, force: true });
  }

  // The memory the whole browser holds (every process: the browser, the
  // page, its workers, the GPU and utility processes), in bytes: the sum of
  // each process's proportional set size, so shared pages count once.
  // Garbage is collected first in the page, so what is left is held.
  async memoryUsed() {
    await this.session.send('HeapProfiler.collectGarbage').catch(() => {});
    await new Promise((r) => setTimeout(r, 300));
    const root = this.browser.process()?.pid;
    if (!root) throw new Error('no browser process to measure');
    const parents = new Map();
    for (const entry of readdirSync('/proc')) {
      if (!/^\d+$/.test(entry)) continue;
      try {
        const stat = readFileSync(`/proc/${entry}/stat`, 'utf8');
        parents.set(Number(entry), Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]));
      } catch {
        // Gone meanwhile.
      }
    }
    const tree = new Set([root]);
    for (let grew = true; grew;) {
      grew = false;
      for (const [pid, parent] of parents) if (!tree.has(pid) && tree.has(parent)) { tree.add(pid); grew = true; }
    }
    let bytes = 0;
    for (const pid of tree) {
      try {
        const pss = /^Pss:\s+(\d+) kB/m.exec(readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8'));
        if (pss) bytes += Number(pss[1]) * 1024;
      } catch {
        // Gone meanwhile.
      }
    }
    return bytes;
  }

  async addFiles(paths) {
    const input = await this.page.$('#files');
    await input.uploadFile(...paths);
    await this.page.waitForFunction((n) => document.querySelectorAll('#pages li').length >= n, {}, paths.length);
  }

  async reload() {
    await this.page.reload({ waitUntil: 'load' });
    await this.page.waitForSelector('body[data-restored]');
  }

  // Empties the list as a user would, which also empties what a reload
  // brings back.
  async clearPages() {
    await this.page.waitForSelector('body[data-restored]');
    if (!(await this.page.$eval('#clear', (b) => b.disabled))) await this.page.click('#clear');
    await this.page.waitForFunction(() => !document.querySelector('#pages li'));
  }

  // The settings fold away once a page is flatted: opened as a user would.
  async openSettings() {
    await this.page.$eval('#settings-fold', (fold) => { fold.open = true; });
  }

  async setDepth(depth) {
    await this.openSettings();
    await this.page.$eval('#depth', (field, value) => {
      field.value = String(value);
      field.dispatchEvent(new Event('input', { bubbles: true }));
      field.dispatchEvent(new Event('change', { bubbles: true }));
    }, depth);
  }

  async setMode(mode) {
    await this.openSettings();
    await this.page.click(mode === 'auto' ? '#mode-auto' : '#mode-flat');
  }

  // Auto Flats and its choices: { gap, minRegion, spotBlacks, keepLines },
  // null for the library's default.
  async setAuto({ gap = null, minRegion = null, spotBlacks = 'regions', keepLines = false, threshold = null } = {}) {
    await this.setMode('auto');
    if (!(await this.page.$eval('#palette-clear', (b) => b.hidden))) await this.page.click('#palette-clear');
    await this.page.evaluate((values) => {
      const set = (id, apply) => {
        const field = document.getElementById(id);
        apply(field);
        field.dispatchEvent(new Event('change', { bubbles: true }));
      };
      set('gap', (f) => { f.value = values.gap ?? ''; });
      set('min-region', (f) => { f.value = values.minRegion ?? ''; });
      set('spot-blacks', (f) => { f.value = values.spotBlacks; });
      set('keep-lines', (f) => { f.checked = values.keepLines; });
      set('threshold', (f) => { f.value = values.threshold ?? ''; });
    }, { gap, minRegion, spotBlacks, keepLines, threshold });
  }

  async setPalette(path) {
    await this.openSettings();
    const input = await this.page.$('#palette');
    const before = await this.page.$eval('#status', (s) => s.textContent);
    await input.uploadFile(path);
    await this.page.waitForFunction((text) => document.querySelector('#status').textContent !== text, {}, before);
    return this.page.$eval('#status', (s) => s.textContent);
  }

  async setHints(index, path) {
    const input = await this.page.$(`#pages li:nth-child(${index + 1}) input[type=file]`);
    await input.uploadFile(path);
    await this.page.waitForFunction((i) => document.querySelector(`#pages li:nth-child(${i + 1}) label.auto-only`).textContent.startsWith('Hints:'), {}, index);
  }

  async setWhite(white) {
    await this.openSettings();
    const checked = await this.page.$eval('#white', (box) => box.checked);
    if (checked !== white) await this.page.click('#white');
  }

  // Presses Flat and waits until no page is waiting or flatting.
  async flat({ timeout = 120_000 } = {}) {
    await this.page.click('#flat');
    await this.waitIdle(timeout);
  }

  async waitIdle(timeout = 120_000) {
    await this.page.waitForFunction(
      () => !document.querySelector('#pages li[data-state="flatting"], #pages li[data-state="waiting"], #pages li[data-state="checking"]') &&
        !document.body.dataset.starting && document.querySelector('#cancel').disabled,
      { timeout, polling: 50 });
  }

  async states() {
    return this.page.$$eval('#pages li', (items) => items.map((li) => ({
      name: li.dataset.name, state: li.dataset.state, message: li.querySelector('.message').textContent,
      times: li.dataset.times ? JSON.parse(li.dataset.times) : null,
    })));
  }

  // Clicks a download control and returns the saved file's path.
  async download(selector, expectedName, timeout = 60_000) {
    const before = new Set(readdirSync(this.downloads));
    // A link waits (no address) while its file is being saved again, as
    // after a reload that came before the last save was kept; a user waits
    // for it too.
    await this.page.waitForFunction((s) => {
      const control = document.querySelector(s);
      return control && !control.disabled && control.getAttribute('aria-disabled') !== 'true' &&
        (control.tagName !== 'A' || control.getAttribute('href'));
    }, { timeout }, selector);
    let onProgress;
    const finished = new Promise((resolve, reject) => {
      onProgress = (event) => {
        if (event.state === 'completed') resolve();
        else if (event.state === 'canceled') reject(new Error('download cancelled'));
      };
      this.session.on('Browser.downloadProgress', onProgress);
    });
    let timer;
    const late = new Promise((_, reject) => { timer = setTimeout(() => reject(new Error(`no download of ${expectedName}`)), timeout); });
    try {
      // Clicked where it is, not where it was a moment ago: the panel's
      // layout still moves while a kept page comes back (the storage line,
      // the link's own text), and a click by position then lands beside it.
      await this.page.$eval(selector, (control) => control.click());
      await Promise.race([finished, late]);
    } catch (error) {
      const control = await this.page.$eval(selector, (a) => ({ href: a.getAttribute('href'), text: a.textContent, ...a.closest('li')?.dataset })).catch(() => null);
      throw new Error(`${error.message}; the control: ${JSON.stringify(control)}`);
    } finally {
      clearTimeout(timer);
      this.session.off('Browser.downloadProgress', onProgress);
    }
    const path = join(this.downloads, expectedName);
    if (!existsSync(path)) {
      const added = readdirSync(this.downloads).filter((f) => !before.has(f));
      throw new Error(`downloaded ${added.join(', ') || 'nothing'}, not ${expectedName}`);
    }
    return path;
  }

  async downloadPage(index, expectedName) {
    return this.download(`#pages li:nth-child(${index + 1}) a.download`, expectedName);
  }
}
