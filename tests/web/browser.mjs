// What every browser test shares: Chromium headless on a profile of its own,
// checks counted, waits on conditions, and the game started, played and left.
import { chromium } from 'playwright-core';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

export const LONG = 60000; // the longest any one condition is waited for
const testStart = Date.now();
let failures = 0;

export function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
}

// Ends the test with its time and its verdict.
export function finish(name) {
  console.log(`info the ${name} test took ${((Date.now() - testStart) / 1000).toFixed(1)} s`);
  process.exit(failures ? 1 : 0);
}

// Polls cond (an async function) until it gives something true; its last
// value once the deadline passes.
export async function waitFor(cond, ms = LONG) {
  const deadline = Date.now() + ms;
  for (;;) {
    const v = await cond();
    if (v || Date.now() > deadline) return v;
    await new Promise((r) => setTimeout(r, 50));
  }
}

// Whether fn(arg), run in the page, comes true before the deadline (fn must
// not be async: a promise counts as true).
export function holds(page, fn, arg, ms = LONG) {
  return page.waitForFunction(fn, arg, { timeout: ms, polling: 50 }).then(() => true, () => false);
}

// A persistent context on a new profile (an 800 x 700 window unless options
// say otherwise), its first page, and every page error of its pages.
export async function gameBrowser(executable, options = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'reefdart-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: executable, headless: true, viewport: { width: 800, height: 700 }, ...options,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  const errors = [], seen = new Set();
  const listen = (p) => seen.has(p) || (seen.add(p), p.on('pageerror', (e) => errors.push(String(e))));
  context.on('page', listen);
  const page = context.pages()[0] || (await context.newPage());
  listen(page);
  const close = async () => {
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return { context, page, errors, close };
}

// The program has drawn its first frame.
export const started = (page) =>
  holds(page, () => window.Module && Module.reefdartStats && Module.reefdartStats.frames > 0);

// The game runs on: n more frames come.
export async function plays(page, n = 10) {
  const from = await page.evaluate(() => Module.reefdartStats.frames);
  return holds(page, (m) => Module.reefdartStats.frames > m, from + n);
}

// What the page says over the screen once the program has closed ('' before).
export const said = (page) => page.evaluate(() => {
  const m = document.getElementById('message');
  return m.style.display === 'block' ? m.textContent : '';
});

// Waits until the page says something with text in it; what it says.
export async function waitSaid(page, text = '') {
  await waitFor(async () => {
    const s = await said(page);
    return s !== '' && s.includes(text);
  });
  return said(page);
}

// The page hidden, as when the player switches away.
export const hide = (page) => page.evaluate(() => {
  Object.defineProperty(document, 'hidden', { value: true, configurable: true });
  Object.defineProperty(document, 'visibilityState', { value: 'hidden', configurable: true });
  document.dispatchEvent(new Event('visibilitychange'));
});

// A game: Start, the stylus held in the middle of the screen for some frames
// and a stall of the page (as a busy browser makes), then the fish falls.
export async function playGame(page, frames = 10, stall = 0) {
  await page.keyboard.press('Enter');
  const box = await page.locator('#screen').boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  await plays(page, frames);
  await page.evaluate((ms) => {
    for (const from = performance.now(); performance.now() - from < ms;);
  }, stall);
  await page.mouse.up();
}

// The native program's verification of a replay: its score and ticks, and
// what it said.
export function verify(native, replay) {
  const run = spawnSync(native, ['--verify', replay], { encoding: 'utf8' });
  const text = `${run.status ? `exit ${run.status}: ` : ''}${run.stdout.trim()}`;
  const m = /: a score of (\d+) in (\d+) ticks/.exec(text);
  return { score: m ? Number(m[1]) : -1, ticks: m ? Number(m[2]) : -1, text };
}

// The native headless watch of a replay: its last frame as a PNG file.
export function nativeWatch(native, replay) {
  const shot = replay.replace(/\.rdr$/, '-watched.png'), script = replay.replace(/\.rdr$/, '-watch.txt');
  const data = fs.mkdtempSync(path.join(os.tmpdir(), 'reefdart-watch-'));
  fs.writeFileSync(script, `wait ${LONG}\nshot ${shot}\n`);
  execFileSync(native, ['--headless', script, '--watch', replay, '--data-dir', data]);
  fs.rmSync(data, { recursive: true, force: true });
  return shot;
}
