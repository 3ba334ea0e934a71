// The page around the game, on a phone held upright and on a desktop: the
// manifest and its icons, the service worker and a start without the network,
// the game scaled by a whole number under the page's bars, a finger held on
// the screen making the fish rise, full screen in and out, the sound switch,
// the sound effects through an AudioWorklet (no ScriptProcessorNode), and a
// game's replay and score kept over a hidden page and its "Play again".
// The site is served by a file server of this script's own (127.0.0.1, a free
// port), stopped halfway to show the page needs it no more.
// Usage: node page_test.mjs SITE_DIR CHROMIUM [SHOT_DIR]
// (SHOT_DIR: where browser-phone.png and browser-desktop.png go, when given)
import { chromium } from 'playwright-core';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { readableStorage } from './storage.mjs';

const [built, executable, shots] = process.argv.slice(2);
const WAIT_MS = 30000;       // the longest any one condition is waited for
const STOP_AFTER_MS = 240000; // the script ends by itself after this, whatever happens
let failures = 0;
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
}
const testStart = Date.now();
setTimeout(() => {
  console.log('FAIL the page test did not end in time');
  process.exit(1);
}, STOP_AFTER_MS).unref();

// --- a plain file server ----------------------------------------------------

// It serves a copy of the site, which becomes a new version halfway.
const site = fs.mkdtempSync(path.join(os.tmpdir(), 'reefdart-site-'));
fs.cpSync(built, site, { recursive: true });

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.mjs': 'text/javascript',
  '.wasm': 'application/wasm', '.json': 'application/json', '.png': 'image/png',
};
const sockets = new Set();
const server = http.createServer((req, res) => {
  const url = new URL(req.url, 'http://127.0.0.1');
  let name = decodeURIComponent(url.pathname).replace(/^\/+/, '') || 'index.html';
  const file = path.resolve(site, name);
  if (!file.startsWith(path.resolve(site) + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
    res.writeHead(404, { 'Content-Type': 'text/plain' });
    res.end('not found');
    return;
  }
  res.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
                       'Cache-Control': 'no-cache' });
  fs.createReadStream(file).pipe(res);
});
server.on('connection', (s) => {
  sockets.add(s);
  s.on('close', () => sockets.delete(s));
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const url = `http://127.0.0.1:${server.address().port}/`;
let serving = true;
function stopServer() {
  if (!serving) return Promise.resolve();
  serving = false;
  const closed = new Promise((resolve) => server.close(resolve));
  for (const s of sockets) s.destroy();
  return closed;
}

// --- the page -----------------------------------------------------------------

// Before the page's scripts: which audio nodes the page makes.
function watchAudioNodes() {
  window.reefdartNodes = { worklets: [], scriptProcessors: 0 };
  const make = BaseAudioContext.prototype.createScriptProcessor;
  BaseAudioContext.prototype.createScriptProcessor = function (...args) {
    window.reefdartNodes.scriptProcessors++;
    return make.apply(this, args);
  };
  const Node = window.AudioWorkletNode;
  if (Node) {
    window.AudioWorkletNode = class extends Node {
      constructor(context, name, options) {
        super(context, name, options);
        window.reefdartNodes.worklets.push(name);
      }
    };
  }
}

function started(page) {
  return page.waitForFunction(() => window.Module && Module.reefdartStats && Module.reefdartStats.frames > 0,
                              null, { timeout: WAIT_MS });
}

// The game runs: frames keep coming.
async function plays(page) {
  const before = await page.evaluate(() => Module.reefdartStats.frames);
  return page.waitForFunction((n) => Module.reefdartStats.frames > n + 10, before, { timeout: WAIT_MS })
    .then(() => true, () => false);
}

function closed(page) {
  return page.evaluate(() => document.getElementById('message').style.display === 'block');
}

function waitClosed(page) {
  return page.waitForFunction(() => document.getElementById('message').style.display === 'block',
                              null, { timeout: WAIT_MS }).catch(() => {});
}

// Where the canvas, the bars and the viewport are, in CSS pixels, and the
// screen's scale in device pixels.
function layout(page) {
  return page.evaluate(() => {
    const box = (id) => {
      const e = document.getElementById(id);
      if (!e || e.hidden || getComputedStyle(e).display === 'none') return null;
      const r = e.getBoundingClientRect();
      return { left: r.left, top: r.top, right: r.right, bottom: r.bottom, width: r.width, height: r.height };
    };
    const c = document.getElementById('screen');
    const canvas = box('screen');
    return {
      canvas, bar: box('bar'), controls: box('controls'), replays: box('replays'),
      scale: (canvas.width * devicePixelRatio) / c.width,
      rendering: getComputedStyle(c).imageRendering,
      width: innerWidth, height: innerHeight,
    };
  });
}

function overlaps(a, b) {
  return a && b && a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

function wholeScale(l) {
  return Math.abs(l.scale - Math.round(l.scale)) < 1e-6 && l.scale >= 1;
}

// The fish's height on the screen: the middle row of its orange pixels at the
// left of the screen, where it swims.
async function fishHeight(page) {
  return page.evaluate(() => {
    const c = document.getElementById('screen');
    const copy = document.createElement('canvas');
    copy.width = c.width;
    copy.height = c.height;
    const g = copy.getContext('2d');
    g.drawImage(c, 0, 0);
    const d = g.getImageData(0, 0, 70, c.height).data;
    let sum = 0, n = 0;
    for (let y = 30; y < c.height; y++)
      for (let x = 0; x < 70; x++) {
        const i = (y * 70 + x) * 4;
        if (d[i] > 200 && d[i + 1] >= 90 && d[i + 1] <= 200 && d[i + 2] < 90) (sum += y), n++;
      }
    return n > 20 ? sum / n : -1;
  });
}

// Whether the title shows: its logo's blue panel at the top left, where a
// game has rock and its score.
function titleShown(page) {
  return page.evaluate(() => {
    const c = document.getElementById('screen');
    const copy = document.createElement('canvas');
    copy.width = c.width;
    copy.height = c.height;
    const g = copy.getContext('2d');
    g.drawImage(c, 0, 0);
    const d = g.getImageData(10, 12, 150, 48).data;
    let blue = 0;
    for (let i = 0; i < d.length; i += 4) if (d[i + 2] > d[i] + 60) blue++;
    return blue > (d.length / 4) * 0.5;
  });
}

// Waits for cond (an async function) to hold, polling.
async function until(cond, ms = WAIT_MS) {
  const deadline = Date.now() + ms;
  for (;;) {
    const v = await cond();
    if (v || Date.now() > deadline) return v;
    await new Promise((r) => setTimeout(r, 50));
  }
}

const FLAGS = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
               '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// The desktop first, in a browser of its own.
const desktop = await chromium.launch({ executablePath: executable, headless: true, args: FLAGS });
const complaints = [];
try {
  const desk = await desktop.newPage({ viewport: { width: 1280, height: 800 } });
  listen(desk);
  await desk.goto(url);
  await started(desk);
  const l = await layout(desk);
  check(wholeScale(l) && !overlaps(l.canvas, l.bar) && !overlaps(l.canvas, l.controls) &&
        !overlaps(l.canvas, l.replays),
        `on a desktop (1280 x 800) the screen shows at ${l.scale}, clear of the bars`);
  if (shots) await desk.screenshot({ path: path.join(shots, 'browser-desktop.png') });
} finally {
  await desktop.close();
}

const PHONE = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true };
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'reefdart-chromium-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: executable, headless: true, args: FLAGS, ...PHONE,
});
await context.addInitScript(watchAudioNodes);
await readableStorage(context);
// Every warning and error the page and its workers write, but for the health
// check a plain file server cannot answer (the score site's, web/online.js).
function listen(page) {
  page.on('console', (m) => {
    if (m.type() !== 'warning' && m.type() !== 'error') return;
    const where = m.location() && m.location().url ? m.location().url : '';
    if (/\/health$/.test(where) || (m.text().includes('Failed to load resource') && /\/health\b/.test(m.text())))
      return;
    complaints.push(`${m.type()}: ${m.text()} (${where})`);
  });
  page.on('pageerror', (e) => complaints.push(`page error: ${e}`));
}
context.on('serviceworker', (worker) => {
  worker.on('console', (m) => {
    if (m.type() === 'warning' || m.type() === 'error') complaints.push(`service worker ${m.type()}: ${m.text()}`);
  });
});

try {
  const page = context.pages()[0] || (await context.newPage());
  listen(page);
  await page.goto(url);
  await started(page);
  check(true, 'the page starts the game on a phone held upright (390 x 844, touch)');

  // --- what an installing browser looks for --------------------------------
  const head = await page.evaluate(async () => {
    const meta = (name) => (document.querySelector(`meta[name="${name}"]`) || {}).content || '';
    const link = document.querySelector('link[rel="manifest"]');
    const manifestUrl = link ? new URL(link.getAttribute('href'), location.href).href : '';
    const manifest = manifestUrl ? await (await fetch(manifestUrl)).json() : null;
    // Each icon's real size, as the browser decodes it.
    const size = async (href) => {
      const r = await fetch(new URL(href, manifestUrl || location.href));
      if (!r.ok) return `${r.status}`;
      const b = await createImageBitmap(await r.blob());
      return `${b.width}x${b.height}`;
    };
    const icons = [];
    for (const icon of (manifest && manifest.icons) || [])
      icons.push({ ...icon, real: await size(icon.src) });
    const touchIcon = document.querySelector('link[rel="apple-touch-icon"]');
    const favicon = document.querySelector('link[rel="icon"]');
    return {
      viewport: meta('viewport'), theme: meta('theme-color'), description: meta('description'),
      title: document.title, lang: document.documentElement.lang, manifestUrl, manifest, icons,
      touchIcon: touchIcon ? await size(touchIcon.getAttribute('href')) : '',
      favicon: favicon ? await size(favicon.getAttribute('href')) : '',
    };
  });
  const mf = head.manifest || {};
  check(/width=device-width/.test(head.viewport) && /initial-scale=1/.test(head.viewport) &&
        !/user-scalable=no|maximum-scale=1\b/.test(head.viewport),
        `the viewport fits the device and lets the player zoom: "${head.viewport}"`);
  check(head.title === 'Reefdart' && head.lang === 'en' && head.description.length > 0 && head.theme !== '',
        `title, language, description and theme colour: ${head.title}, ${head.lang}, ${head.theme}`);
  check(mf.name === 'Reefdart' && mf.short_name && mf.short_name.length <= 12,
        `the manifest names the game: ${mf.name} (${mf.short_name})`);
  check(mf.display === 'standalone' && mf.orientation === 'portrait',
        `it asks for a window of its own, upright: ${mf.display}, ${mf.orientation}`);
  const start = new URL(mf.start_url || '', head.manifestUrl).href;
  const scope = new URL(mf.scope || '', head.manifestUrl).href;
  check(start === url && start.startsWith(scope), `it starts at the page, in its scope: ${start} in ${scope}`);
  check(/^#[0-9a-f]{6}$/i.test(mf.background_color || '') && /^#[0-9a-f]{6}$/i.test(mf.theme_color || ''),
        `its colours: ${mf.background_color}, ${mf.theme_color}`);
  const iconOk = (size, purpose) => head.icons.some((i) =>
    i.sizes === size && i.real === size && i.type === 'image/png' && (i.purpose || 'any').split(' ').includes(purpose));
  check(iconOk('192x192', 'any') && iconOk('512x512', 'any') && iconOk('512x512', 'maskable') &&
        head.icons.every((i) => i.real === i.sizes),
        `its icons are there at the sizes they claim: ${head.icons.map((i) => `${i.sizes} ${i.purpose} (${i.real})`).join(', ')}`);
  check(head.touchIcon === '180x180' && head.favicon === '32x32',
        `the home-screen and tab icons: ${head.touchIcon}, ${head.favicon}`);
  const cdp = await context.newCDPSession(page);
  const parsed = await cdp.send('Page.getAppManifest');
  check(parsed.errors.length === 0, `Chromium reads the manifest without errors ${JSON.stringify(parsed.errors)}`);

  // --- the service worker ----------------------------------------------------
  const worker = await page.evaluate(async () => {
    const reg = await navigator.serviceWorker.ready;
    const deadline = Date.now() + 30000;
    while (!navigator.serviceWorker.controller && Date.now() < deadline) await new Promise((r) => setTimeout(r, 50));
    const names = await caches.keys();
    const kept = [];
    for (const name of names) kept.push((await (await caches.open(name)).keys()).length);
    return {
      state: reg.active && reg.active.state, controlled: !!navigator.serviceWorker.controller,
      script: reg.active && reg.active.scriptURL, caches: names, kept,
    };
  });
  check(worker.state === 'activated' && worker.controlled,
        `the service worker is installed and serves the page: ${worker.state}, ${worker.controlled}`);
  const installable = await cdp.send('Page.getInstallabilityErrors');
  check(installable.installabilityErrors.length === 0,
        `Chromium finds the page installable ${JSON.stringify(installable.installabilityErrors)}`);
  check(worker.caches.length === 1 && /^reefdart-[0-9a-f]{16}$/.test(worker.caches[0]) && worker.kept[0] >= 8,
        `it keeps the site in one cache named after the build: ${worker.caches} (${worker.kept} files)`);
  const builtFiles = JSON.parse(/const FILES = (\[.*\]);/.exec(fs.readFileSync(path.join(site, 'sw.js'), 'utf8'))[1]);
  const cachedFiles = await page.evaluate(async (name) =>
    (await (await caches.open(name)).keys()).map((r) => new URL(r.url).pathname.slice(1)).sort(), worker.caches[0]);
  check(JSON.stringify(cachedFiles) === JSON.stringify([...builtFiles].sort()) &&
        ['index.html', 'reefdart.js', 'reefdart.wasm', 'audio.js', 'mixer.worklet.js', 'chiptune3/chiptune3.js',
         'chiptune3/libopenmpt.worklet.js', 'manifest.json'].every((f) => cachedFiles.includes(f)),
        `the cache holds the page, the program, the wasm and the module player (${cachedFiles.length} files)`);

  // --- the phone's layout ------------------------------------------------------
  let l = await layout(page);
  check(wholeScale(l) && l.scale >= 3, `the screen shows at ${l.scale} device pixels a pixel`);
  check(/pixelated|crisp-edges/.test(l.rendering), `its pixels stay sharp: ${l.rendering}`);
  check(l.canvas.left >= 0 && l.canvas.top >= 0 && l.canvas.right <= l.width && l.canvas.bottom <= l.height,
        'the screen is whole in the viewport');
  check(!overlaps(l.canvas, l.bar) && !overlaps(l.canvas, l.controls) && !overlaps(l.canvas, l.replays),
        'the name, the help line and the controls keep out of the game');
  const help = await page.evaluate(() => document.getElementById('bar').textContent.replace(/\s+/g, ' '));
  check(/Reefdart/.test(help) && /hold/i.test(help) && /rise/.test(help) && /sink/.test(help) && /Space/.test(help),
        `the page says how to play: ${help.trim()}`);
  const touch = await page.evaluate(() => ({
    canvas: getComputedStyle(document.getElementById('screen')).touchAction,
    page: getComputedStyle(document.documentElement).touchAction,
    select: getComputedStyle(document.body).userSelect || getComputedStyle(document.body).webkitUserSelect,
    menu: (() => {
      const e = new MouseEvent('contextmenu', { bubbles: true, cancelable: true });
      document.getElementById('screen').dispatchEvent(e);
      return e.defaultPrevented;
    })(),
  }));
  check(touch.canvas === 'none' && touch.page === 'manipulation' && touch.select === 'none' && touch.menu,
        `touches: none on the game, no double-tap zoom on the page, no text selection, no long-press menu (${JSON.stringify(touch)})`);
  if (shots) await page.screenshot({ path: path.join(shots, 'browser-phone.png') });

  // --- sound: waiting for a touch, then through the worklet --------------------
  let sound = await page.evaluate(() => document.getElementById('sound').textContent);
  check(/tap to start/.test(sound), `before any touch the sound switch says the browser waits: "${sound}"`);
  const screen = await page.evaluate(() => {
    const b = document.getElementById('screen').getBoundingClientRect();
    return { x: b.left + b.width / 2, y: b.top + b.height / 2, left: b.left, top: b.top, scale: b.width / 240 };
  });
  // A finger held on the screen in a game: the fish rises; let go, it sinks.
  check(await titleShown(page), 'the title shows');
  await page.keyboard.press('Enter');
  const y0 = await until(async () => {
    if (await titleShown(page)) return 0;
    const y = await fishHeight(page);
    return y > 0 ? y : 0;
  });
  check(y0 > 0, `a game shows the fish at height ${y0.toFixed ? y0.toFixed(1) : y0}`);
  const touchAt = (type) => cdp.send('Input.dispatchTouchEvent', {
    type, touchPoints: type === 'touchEnd' ? [] : [{ x: screen.x, y: screen.y, id: 1 }],
  });
  await touchAt('touchStart');
  const risen = await until(async () => {
    const y = await fishHeight(page);
    return y > 0 && y < y0 - 12 ? y : 0;
  });
  await touchAt('touchEnd');
  check(risen > 0, `held, the fish rises: from ${y0.toFixed(1)} to ${risen ? risen.toFixed(1) : 'nowhere higher'}`);
  const sunk = await until(async () => {
    const y = await fishHeight(page);
    return y > risen + 12 ? y : 0;
  });
  check(risen > 0 && sunk > 0, `let go, it sinks: to ${sunk ? sunk.toFixed(1) : 'nowhere lower'}`);

  // The touch was a gesture: the sound runs, on the audio thread.
  const running = await page.waitForFunction(() => window.reefdartAudio.context === 'running' &&
    window.reefdartAudio.output === 'worklet', null, { timeout: WAIT_MS }).then(() => true, () => false);
  sound = await page.evaluate(() => document.getElementById('sound').textContent);
  check(running && sound === 'Sound on', `after a touch the sound runs: "${sound}"`);
  const pulled = await page.evaluate(() => window.reefdartAudio.samplesPulled);
  const flowing = await page.waitForFunction((n) => window.reefdartAudio.samplesPulled > n + 4096, pulled,
                                             { timeout: WAIT_MS }).then(() => true, () => false);
  const nodes = await page.evaluate(() => window.reefdartNodes);
  check(flowing && nodes.worklets.includes('reefdart-mixer'),
        `the mixer plays through an AudioWorklet: ${nodes.worklets.join(', ')}`);
  check(nodes.scriptProcessors === 0, `no ScriptProcessorNode is made: ${nodes.scriptProcessors}`);
  // The switch: off, kept over a reload, on again.
  await page.tap('#sound');
  sound = await page.evaluate(() => ({ text: document.getElementById('sound').textContent,
                                       muted: window.reefdartAudio.muted,
                                       kept: localStorage.getItem('reefdart-sound-off') }));
  check(sound.text === 'Sound off' && sound.muted && sound.kept === '1', `a tap turns the sound off: ${JSON.stringify(sound)}`);
  await page.tap('#sound');
  sound = await page.evaluate(() => ({ text: document.getElementById('sound').textContent, muted: window.reefdartAudio.muted }));
  check(sound.text === 'Sound on' && !sound.muted, `and on again: ${JSON.stringify(sound)}`);

  // --- full screen ---------------------------------------------------------------
  await page.tap('#fullscreen');
  const full = await page.waitForFunction(() => !!document.fullscreenElement &&
    document.getElementById('fullscreen').textContent === 'Leave full screen', null, { timeout: WAIT_MS })
    .then(() => true, () => false);
  l = await layout(page);
  const label = await page.evaluate(() => document.getElementById('fullscreen').textContent);
  check(full && label === 'Leave full screen' && wholeScale(l),
        `the button enters full screen (${label}), the screen at ${l.scale} device pixels a pixel`);
  await page.tap('#fullscreen');
  const left = await page.waitForFunction(() => !document.fullscreenElement &&
    document.getElementById('fullscreen').textContent === 'Full screen', null, { timeout: WAIT_MS })
    .then(() => true, () => false);
  check(left, `and leaves it: ${await page.evaluate(() => [!!document.fullscreenElement,
                                                           document.getElementById('fullscreen').textContent])}`);

  // --- a new version ---------------------------------------------------------
  // The site changes: the new worker fills a cache of its own and waits while
  // this page plays on the old one.
  const MARK = '// a newer build\n';
  fs.appendFileSync(path.join(site, 'audio.js'), MARK);
  const worker2 = fs.readFileSync(path.join(site, 'sw.js'), 'utf8')
    .replace(/const VERSION = "([0-9a-f]{16})";/, (_, v) => `const VERSION = "${[...v].reverse().join('')}";`);
  fs.writeFileSync(path.join(site, 'sw.js'), worker2);
  const newCache = 'reefdart-' + /const VERSION = "([0-9a-f]{16})";/.exec(worker2)[1];
  const waiting = await page.evaluate(async () => {
    const reg = await navigator.serviceWorker.getRegistration();
    await reg.update();
    const deadline = Date.now() + 30000;
    while (!(reg.waiting && reg.waiting.state === 'installed') && Date.now() < deadline)
      await new Promise((r) => setTimeout(r, 50));
    const audio = await (await fetch('audio.js')).text();
    return { waiting: !!reg.waiting, caches: (await caches.keys()).sort(), old: !audio.endsWith('// a newer build\n') };
  });
  check(waiting.waiting && waiting.caches.length === 2 && waiting.caches.includes(newCache) && waiting.old,
        `a new version installs beside the old and waits, the page still on the old files: ${JSON.stringify(waiting)}`);

  // --- a finished game over a hidden page ---------------------------------------
  // The fish sank: the game ends and is kept.
  const kept = await until(() => page.evaluate(async () => {
    const files = await window.reefdartReadStorage();
    return Module.reefdartSync && !Module.reefdartSync.busy && files['lastgame.rdr'] ? files : null;
  }), 60000);
  check(!!kept, 'the game that ended is kept in the browser\'s storage');
  await page.evaluate(() => {
    Object.defineProperty(document, 'hidden', { value: true, configurable: true });
    Object.defineProperty(document, 'visibilityState', { value: 'hidden', configurable: true });
    document.dispatchEvent(new Event('visibilitychange'));
  });
  await waitClosed(page);
  const stored = await until(() => page.evaluate(async () => {
    if (!Module.reefdartSync || Module.reefdartSync.busy) return null;
    return window.reefdartReadStorage();
  }));
  const away = await page.evaluate(() => ({
    text: document.getElementById('message').firstChild.textContent,
    buttons: [...document.querySelectorAll('#message button')].map((b) => b.textContent),
  }));
  check((await closed(page)) && /kept/.test(away.text) && away.buttons.includes('Play again'),
        `a hidden page closes the game: "${away.text}" [${away.buttons}]`);
  const names = ['career.dat', 'keys.dat', 'keys2.dat', 'keys3.dat', 'record.dat', 'sound.dat', 'lastgame.rdr', 'bestgame.rdr'];
  check(stored && names.every((n) => stored[n]), `every file is saved: ${stored ? Object.keys(stored).sort() : 'none'}`);
  await Promise.all([page.waitForEvent('load', { timeout: WAIT_MS }), page.tap('#message button')]);
  await page.waitForFunction(() => window.Module && Module.reefdartStats && Module.reefdartStats.frames > 0 &&
    document.getElementById('message').style.display === 'none', null, { timeout: WAIT_MS });
  const back = await page.evaluate(() => ({
    last: btoa(String.fromCharCode(...FS.readFile('/data/lastgame.rdr'))),
    record: FS.readFile('/data/record.dat', { encoding: 'utf8' }),
  }));
  const renewed = await page.evaluate(async () => ({
    caches: await caches.keys(), new: (await (await fetch('audio.js')).text()).endsWith('// a newer build\n'),
  }));
  check(renewed.caches.length === 1 && renewed.caches[0] === newCache && renewed.new,
        `the page plays again on the new version alone: ${JSON.stringify(renewed)}`);
  check(back.last === stored['lastgame.rdr'] && back.record === atob(stored['record.dat']) &&
        back.last === kept['lastgame.rdr'],
        `one tap plays again, with the game's replay and the best score (${back.record}, ` +
        `${atob(stored['record.dat'])}, ${atob(kept['record.dat'])}) kept`);

  // --- without the network -------------------------------------------------------
  await stopServer();
  await page.reload();
  const offline = await started(page).then(() => true, () => false);
  check(offline && (await plays(page)), 'with the server stopped, a reload starts the game');
  await page.keyboard.press('Enter');
  const y1 = await until(async () => {
    if (await titleShown(page)) return 0;
    const y = await fishHeight(page);
    return y > 0 ? y : 0;
  });
  check(y1 > 0 && !(await closed(page)), 'and it plays a game');

  check(complaints.length === 0, `no console warning or error${complaints.length ? ': ' + complaints.join('; ') : ''}`);
} finally {
  await context.close();
  fs.rmSync(profile, { recursive: true, force: true });
  fs.rmSync(site, { recursive: true, force: true });
  await stopServer();
}
console.log(`info the page test took ${((Date.now() - testStart) / 1000).toFixed(1)} s`);
process.exit(failures ? 1 : 0);
