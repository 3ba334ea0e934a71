// Drives the browser edition in headless Chromium: the title screen must show
// the same pixels as the headless host's shots of it, wherever those do not
// animate; the mouse and a finger work as the stylus, a press of Start leaves
// the title for a game, and the settings files last in the browser's storage.
// The sound: the first click starts the page's audio, which then pulls the
// mixer's samples (the menu click among them); the page's module player plays
// the title module, then the game's, under the speaker's music volume, and
// Exit stops it.
// Usage: node title_test.mjs URL CHROMIUM ABOUT.png TITLE.png...
// (the About screen, then shots of the title at different times)
import { chromium } from 'playwright-core';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { gameBrowser, FLAGS } from './browser.mjs';
import { canvasPixels, readPng } from './pixels.mjs';

const [url, executable, aboutShot, ...shots] = process.argv.slice(2);
let failures = 0;
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
}

function same(a, b, i) {
  return a[i] === b[i] && a[i + 1] === b[i + 1] && a[i + 2] === b[i + 2];
}

function started(page) {
  return page.waitForFunction(() => window.Module && Module.reefdartStats && Module.reefdartStats.frames > 0,
                              null, { timeout: 30000 });
}

function audio(page) {
  return page.evaluate(() => ({ ...window.reefdartAudio }));
}

// The two modules, by their size in bytes.
const MENU_MODULE_BYTES = 22744;
const GAME_MODULE_BYTES = 28698;

function same6(files, want) {
  return JSON.stringify(files) === JSON.stringify(want);
}

function waitClosed(page) {
  return page.waitForFunction(() => document.getElementById('message').style.display === 'block',
                              null, { timeout: 10000 }).catch(() => {});
}

function closed(page) {
  return page.evaluate(() => document.getElementById('message').style.display === 'block');
}

// The data folder's settings files that hold something, by name (the kept
// games beside them are replay_test.mjs's).
function dataFiles(page) {
  return page.evaluate(() => {
    const files = {};
    for (const name of FS.readdir('/data').sort()) {
      if (!name.endsWith('.dat')) continue;
      const text = FS.readFile('/data/' + name, { encoding: 'utf8' });
      if (text.length) files[name] = text;
    }
    return files;
  });
}

const references = shots.map(readPng);
const { width, height } = references[0];
// Pixels that stay put in every shot of the title are the ones to pin.
const still = new Uint8Array(width * height).fill(1);
for (const r of references.slice(1))
  for (let p = 0; p < width * height; p++) if (!same(r.rgb, references[0].rgb, p * 3)) still[p] = 0;
// The text wave may have passed a pixel by in every shot; its neighbours move.
const RADIUS = 3;
const moved = still.map((v) => 1 - v);
for (let y = 0; y < height; y++)
  for (let x = 0; x < width; x++) {
    if (!moved[y * width + x]) continue;
    for (let dy = -RADIUS; dy <= RADIUS; dy++)
      for (let dx = -RADIUS; dx <= RADIUS; dx++) {
        const nx = x + dx, ny = y + dy;
        if (nx >= 0 && ny >= 0 && nx < width && ny < height) still[ny * width + nx] = 0;
      }
  }
const stillCount = still.reduce((n, v) => n + v, 0);

// How many still pixels two screens share.
function stillMatch(a, b) {
  let n = 0;
  for (let p = 0; p < width * height; p++) if (still[p] && same(a.rgb, b.rgb, p * 3)) n++;
  return n;
}

// Where device pixel (x, y) is on the page.
async function screenBox(page) {
  const r = await page.evaluate((w) => {
    const b = document.getElementById('screen').getBoundingClientRect();
    return { left: b.left, top: b.top, scale: b.width / w };
  }, width);
  return { at: (x, y) => [r.left + (x + 0.5) * r.scale, r.top + (y + 0.5) * r.scale] };
}

const { context, profile } = await gameBrowser(executable, { hasTouch: true });
try {
  const page = context.pages()[0] || (await context.newPage());
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  const loadStart = Date.now();
  await page.goto(url);
  await started(page);
  const loadMs = Date.now() - loadStart;
  await page.waitForTimeout(1500);
  const title = await canvasPixels(page);
  check(title.width === width && title.height === height, `canvas is ${width} x ${height}`);
  let stillSame = 0, moving = 0, movingSame = 0;
  const misses = [];
  for (let p = 0; p < width * height; p++) {
    const hit = same(title.rgb, references[0].rgb, p * 3);
    if (still[p]) stillSame += hit;
    else (moving++, (movingSame += hit));
    if (still[p] && !hit && misses.length < 8) {
      const web = Array.from(title.rgb.subarray(p * 3, p * 3 + 3));
      const want = Array.from(references[0].rgb.subarray(p * 3, p * 3 + 3));
      misses.push(`(${p % width}, ${Math.floor(p / width)}) ${web} not ${want}`);
    }
  }
  if (misses.length) console.log(`     first differences: ${misses.join('; ')}`);
  check(stillCount > width * height * 0.6, `${stillCount} of ${width * height} title pixels stay still`);
  check(stillSame === stillCount, `title: ${stillSame} of ${stillCount} still pixels as the headless shot`);
  // The page as a player sees it, for the documentation.
  if (process.env.REEFDART_WEB_SHOT) await page.screenshot({ path: process.env.REEFDART_WEB_SHOT });

  let a0 = await audio(page);
  console.log(`info before any gesture the audio context is ${a0.context}`);
  check(a0.rate > 0 && a0.music === 'playing' && a0.musicBytes === MENU_MODULE_BYTES && a0.musicLooping,
        `the title starts its module, looping: ${a0.music}, ${a0.musicBytes} bytes`);
  check(a0.musicLevel === 64 && a0.musicVolume === 1,
        `the title music plays at music volume ${a0.musicLevel} (gain ${a0.musicVolume})`);

  const s0 = await page.evaluate(() => Module.reefdartStats);
  await page.waitForTimeout(2000);
  const s1 = await page.evaluate(() => Module.reefdartStats);
  const seconds = (s1.at - s0.at) / 1000;
  console.log(`info load ${loadMs} ms; ${((s1.timerWakes - s0.timerWakes) / seconds).toFixed(0)} timer ` +
              `wake-ups/s; ${((s1.frames - s0.frames) / seconds).toFixed(0)} frames/s; ` +
              `${movingSame} of ${moving} moving pixels matched`);

  // The mouse is the stylus: About, then a click anywhere goes back.
  const box = await screenBox(page);
  await page.mouse.click(...box.at(115, 231));
  await page.waitForTimeout(400);
  check(stillMatch(await canvasPixels(page), readPng(aboutShot)) === stillCount,
        'a click on About shows the About screen of the headless shot');
  await page.mouse.click(...box.at(120, 160));
  await page.waitForTimeout(400);
  check(stillMatch(await canvasPixels(page), references[0]) === stillCount,
        'a click on the About screen goes back to the title');

  // The click was a gesture: the audio runs and pulls the mixer's samples.
  a0 = await audio(page);
  check(a0.context === 'running', `after a click the audio context is ${a0.context}`);
  await page.waitForTimeout(500);
  await page.evaluate(() => { window.reefdartAudio.loudest = 0; });
  await page.waitForTimeout(400);
  let a1 = await audio(page);
  check(a1.samplesPulled > a0.samplesPulled, `the audio node pulled ${a1.samplesPulled - a0.samplesPulled} samples`);
  check(a1.loudest === 0, `the title's mix is silent but for the music player's own output: ${a1.loudest}`);
  check(a1.musicStarted && a1.musicError === '' && a1.musicSeconds > 0,
        `the module player plays the title module: ${a1.musicSeconds.toFixed(2)} s in ${a1.musicError}`);
  await page.keyboard.press('ArrowDown');
  await page.waitForTimeout(300);
  a1 = await audio(page);
  check(a1.loudest > 1000, `a cursor step sounds the click: peak ${a1.loudest}`);
  await page.keyboard.press('ArrowUp');
  await page.waitForTimeout(300);
  const latency = a1.baseLatency + a1.outputLatency + a1.queued / a1.rate;
  console.log(`info audio at ${a1.rate} Hz, about ${(latency * 1000).toFixed(0)} ms from the mixer to ` +
              `the speaker (${a1.queued} samples queued); ${a1.underruns} underruns`);

  await page.keyboard.press('Enter');
  await page.waitForTimeout(1500);
  const game = await canvasPixels(page);
  let titleLeft = 0;
  for (let p = 0; p < width * height; p++) if (still[p] && same(game.rgb, references[0].rgb, p * 3)) titleLeft++;
  check(titleLeft < stillCount * 0.5, `after Start only ${titleLeft} of ${stillCount} still title pixels remain`);
  check(!(await closed(page)), 'the program still runs');
  a0 = await audio(page);
  check(a0.music === 'playing' && a0.musicBytes === GAME_MODULE_BYTES && a0.musicLooping,
        `a game plays its own module, looping: ${a0.music}, ${a0.musicBytes} bytes`);
  await page.waitForTimeout(500);
  a1 = await audio(page);
  check(a1.context === 'running' && a1.samplesPulled > a0.samplesPulled, 'the game keeps the audio flowing');
  check(a1.musicStarted && a1.musicError === '' && a1.musicSeconds > 0,
        `the module player plays the game module: ${a1.musicSeconds.toFixed(2)} s in ${a1.musicError}`);

  // Leaving the page saves the files and ends the program.
  const defaults = {
    'career.dat': '32102210', 'keys.dat': '090090', 'keys2.dat': '090090', 'keys3.dat': '090090',
    'record.dat': '00000', 'sound.dat': '27442',
  };
  await page.evaluate(() => window.dispatchEvent(new Event('blur')));
  await page.waitForTimeout(300);
  check(!(await closed(page)), 'losing the focus does not close the game');
  await page.evaluate(() => {
    Object.defineProperty(document, 'hidden', { value: true, configurable: true });
    Object.defineProperty(document, 'visibilityState', { value: 'hidden', configurable: true });
    document.dispatchEvent(new Event('visibilitychange'));
  });
  await waitClosed(page);
  check(await closed(page), 'hiding the page closes the game');
  a0 = await audio(page);
  check(a0.music === 'stopped', `the music stops with the game: ${a0.music}`);
  let files = await dataFiles(page);
  // The game went on after the focus was lost, so it may have scored.
  check(/^\d{5}$/.test(files['record.dat'] || ''), `a best score is kept: ${files['record.dat']}`);
  defaults['record.dat'] = files['record.dat'];
  check(same6(files, defaults), `leaving writes the six files: ${JSON.stringify(files)}`);

  // The browser's storage gives them back; a change of language is saved by Exit.
  await page.reload();
  await started(page);
  files = await dataFiles(page);
  check(same6(files, defaults), 'the files come back from the browser storage');
  async function press(keys) {
    for (const key of keys) {
      await page.keyboard.press(key);
      await page.waitForTimeout(100);
    }
  }
  // Settings; the volume down and up again; the language, back, Exit.
  await press(['ArrowDown', 'Enter']);
  await press(['ArrowLeft']);
  a0 = await audio(page);
  check(a0.musicLevel === 60 && a0.musicVolume === 0.9375,
        `a step down sets the music volume to ${a0.musicLevel} (gain ${a0.musicVolume})`);
  await press(['Enter']);
  a0 = await audio(page);
  check(a0.musicLevel === 64 && a0.musicVolume === 1 && a0.musicBytes === MENU_MODULE_BYTES,
        `a step up sets it back to ${a0.musicLevel} (gain ${a0.musicVolume})`);
  await press(['ArrowDown', 'Enter', 'ArrowDown', 'ArrowDown', 'Enter', 'ArrowDown', 'ArrowDown', 'ArrowDown', 'Enter']);
  await waitClosed(page);
  check(await closed(page), 'Exit closes the game');
  a0 = await audio(page);
  check(a0.music === 'stopped', `Exit stops the music: ${a0.music}`);
  await page.reload();
  await started(page);
  files = await dataFiles(page);
  check(same6(files, { ...defaults, 'sound.dat': '17442' }),
        `Exit saved French as the language: ${JSON.stringify(files)}`);

  // A finger is the stylus: a tap on Exit (the French title has it where the
  // English one does) ends the game.
  await page.touchscreen.tap(...(await screenBox(page)).at(115, 271));
  await waitClosed(page);
  check(await closed(page), 'a tap on Exit closes the game');
  check(errors.length === 0, `no page errors ${errors.join('; ')}`);
} finally {
  await context.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
// A browser without WebAssembly says so.
const bare = await chromium.launch({
  executablePath: executable,
  headless: true,
  args: FLAGS,
});
try {
  const page = await bare.newPage();
  // As a browser with WebAssembly turned off shows itself to the page.
  await page.addInitScript(() => { delete window.WebAssembly; });
  await page.goto(url);
  const text = await page.evaluate(() => document.getElementById('message').textContent);
  check(text.includes('needs WebAssembly'), `without WebAssembly the page says: ${text}`);
} finally {
  await bare.close();
}
process.exit(failures ? 1 : 0);
