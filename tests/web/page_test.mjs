// The page around the game, on a phone held upright and on a desktop: manifest
// and icons, the game scaled by a whole number clear of the bars, a finger
// making the fish rise, full screen, the sound switch and AudioWorklet, the
// service worker and a new version, a game kept over a hidden page and its
// "Play again", and a start without the network (this script's own file
// server, stopped halfway).
// Usage: node page_test.mjs SITE_DIR CHROMIUM [SHOT_DIR]
// (SHOT_DIR: where browser-phone.png and browser-desktop.png go, when given)
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { check, finish, gameBrowser, hide, holds, plays, said, started, waitFor, waitSaid } from './browser.mjs';
import { canvasPixels } from './pixels.mjs';
import { readableStorage, stored, waitStored } from './storage.mjs';

const [built, executable, shots] = process.argv.slice(2);
setTimeout(() => {
  console.log('FAIL the page test did not end in time');
  process.exit(1);
}, 240000).unref();

// A plain file server of a copy of the site, which becomes a new version halfway.
const site = fs.mkdtempSync(path.join(os.tmpdir(), 'reefdart-site-'));
fs.cpSync(built, site, { recursive: true });
const TYPES = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.mjs': 'text/javascript',
                '.wasm': 'application/wasm', '.json': 'application/json', '.png': 'image/png' };
const server = http.createServer((req, res) => {
  const name = decodeURIComponent(new URL(req.url, 'http://127.0.0.1').pathname).replace(/^\/+/, '') || 'index.html';
  fs.readFile(path.join(site, name), (error, body) => {
    res.writeHead(error ? 404 : 200, { 'Content-Type': TYPES[path.extname(name)] || 'application/octet-stream',
                                       'Cache-Control': 'no-cache' });
    res.end(error ? 'not found' : body);
  });
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const url = `http://127.0.0.1:${server.address().port}/`;
function stopServer() {
  const closed = new Promise((resolve) => server.close(resolve));
  server.closeAllConnections();
  return closed;
}

// Where the canvas, the bars and the viewport are, in CSS pixels, and the
// screen's scale in device pixels.
function layout(page) {
  return page.evaluate(() => {
    const box = (id) => {
      const e = document.getElementById(id);
      return !e || e.hidden || getComputedStyle(e).display === 'none' ? null : e.getBoundingClientRect().toJSON();
    };
    const c = document.getElementById('screen'), canvas = box('screen');
    return { canvas, bars: [box('bar'), box('controls'), box('replays')], width: innerWidth, height: innerHeight,
             scale: (canvas.width * devicePixelRatio) / c.width, rendering: getComputedStyle(c).imageRendering };
  });
}
// The screen at a whole number of device pixels a pixel, clear of the bars.
const fits = (l) => Math.abs(l.scale - Math.round(l.scale)) < 1e-6 && l.scale >= 1 && l.bars.every((b) =>
  !b || !(b.left < l.canvas.right && l.canvas.left < b.right && b.top < l.canvas.bottom && l.canvas.top < b.bottom));

// What the screen shows: the title (its logo at the top left: yellow letters
// on a blue panel; a game can show open water there, never the letters), and
// the fish's height (the middle row of its orange pixels at the left of the
// screen, where it swims; 0 if none).
async function screen(page) {
  const { width, height, rgb } = await canvasPixels(page);
  let blue = 0, yellow = 0, sum = 0, n = 0;
  for (let y = 12; y < height; y++)
    for (let x = 0; x < 160; x++) {
      const i = (y * width + x) * 3, r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
      if (y < 60 && x >= 10 && b > r + 60) blue++;
      if (y < 60 && x >= 10 && r > 200 && g > 170 && b < 90) yellow++;
      if (y >= 30 && x < 70 && r > 200 && g >= 90 && g <= 200 && b < 90) (sum += y), n++;
    }
  return { title: blue > 150 * 48 * 0.5 && yellow > 400, fish: n > 20 ? sum / n : 0 };
}
// Waits until a game shows the fish at a height ok takes; that height, or 0.
const fish = (page, ok = () => true) => waitFor(async () => {
  const s = await screen(page);
  return !s.title && s.fish && ok(s.fish) ? s.fish : 0;
});

// Every warning and error the pages and their workers write, but for the
// health check a plain file server cannot answer (the score site's).
const complaints = [];
function listen(page) {
  page.on('console', (m) => {
    const where = (m.location() && m.location().url) || '';
    if ((m.type() === 'warning' || m.type() === 'error') && !/\/health$/.test(where) &&
        !(m.text().includes('Failed to load resource') && /\/health\b/.test(m.text())))
      complaints.push(`${m.type()}: ${m.text()} (${where})`);
  });
}

// The desktop first, in a browser of its own.
const desktop = await gameBrowser(executable, { viewport: { width: 1280, height: 800 } });
try {
  listen(desktop.page);
  await desktop.page.goto(url);
  await started(desktop.page);
  const l = await layout(desktop.page);
  check(fits(l), `on a desktop (1280 x 800) the screen shows at ${l.scale}, clear of the bars`);
  if (shots) await desktop.page.screenshot({ path: path.join(shots, 'browser-desktop.png') });
  complaints.push(...desktop.errors);
} finally {
  await desktop.close();
}

const { context, page, errors, close } = await gameBrowser(executable, {
  viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true,
});
await readableStorage(context);
context.on('serviceworker', (worker) => worker.on('console', (m) => {
  if (m.type() === 'warning' || m.type() === 'error') complaints.push(`service worker ${m.type()}: ${m.text()}`);
}));
try {
  listen(page);
  await page.goto(url);
  check(await started(page), 'the page starts the game on a phone held upright (390 x 844, touch)');

  // What an installing browser looks for.
  const head = await page.evaluate(async () => {
    const meta = (name) => (document.querySelector(`meta[name="${name}"]`) || {}).content || '';
    const link = (rel) => (document.querySelector(`link[rel="${rel}"]`) || { getAttribute: () => '' }).getAttribute('href');
    const manifestUrl = link('manifest') ? new URL(link('manifest'), location.href).href : '';
    const manifest = manifestUrl ? await (await fetch(manifestUrl)).json() : null;
    // Each icon's real size, as the browser decodes it.
    const size = async (href) => {
      if (!href) return '';
      const r = await fetch(new URL(href, manifestUrl || location.href));
      const b = r.ok && (await createImageBitmap(await r.blob()));
      return b ? `${b.width}x${b.height}` : `${r.status}`;
    };
    const icons = [];
    for (const icon of (manifest && manifest.icons) || []) icons.push({ ...icon, real: await size(icon.src) });
    return { viewport: meta('viewport'), theme: meta('theme-color'), description: meta('description'),
             title: document.title, lang: document.documentElement.lang, manifestUrl, manifest, icons,
             touchIcon: await size(link('apple-touch-icon')), favicon: await size(link('icon')) };
  });
  const mf = head.manifest || {};
  check(/width=device-width/.test(head.viewport) && /initial-scale=1/.test(head.viewport) &&
        !/user-scalable=no|maximum-scale=1\b/.test(head.viewport) && head.title === 'Reefdart' && head.lang === 'en' &&
        head.description.length > 0 && head.theme !== '', `the viewport fits the device and lets the player zoom ` +
        `("${head.viewport}"); title, language, description, theme colour: ${head.title}, ${head.lang}, ${head.theme}`);
  const start = new URL(mf.start_url || '', head.manifestUrl).href, scope = new URL(mf.scope || '', head.manifestUrl).href;
  check(mf.name === 'Reefdart' && mf.short_name && mf.short_name.length <= 12 && mf.display === 'standalone' &&
        mf.orientation === 'portrait' && start === url && start.startsWith(scope) &&
        /^#[0-9a-f]{6}$/i.test(mf.background_color || '') && /^#[0-9a-f]{6}$/i.test(mf.theme_color || ''),
        `the manifest names the game (${mf.name}, ${mf.short_name}), asks for a window of its own, upright ` +
        `(${mf.display}, ${mf.orientation}), starts at the page in its scope (${start} in ${scope}), ` +
        `colours ${mf.background_color}, ${mf.theme_color}`);
  const iconOk = (size, purpose) => head.icons.some((i) =>
    i.sizes === size && i.real === size && i.type === 'image/png' && (i.purpose || 'any').split(' ').includes(purpose));
  check(iconOk('192x192', 'any') && iconOk('512x512', 'any') && iconOk('512x512', 'maskable') &&
        head.icons.every((i) => i.real === i.sizes) && head.touchIcon === '180x180' && head.favicon === '32x32',
        `its icons are there at the sizes they claim: ${head.icons.map((i) => `${i.sizes} ${i.purpose} (${i.real})`)}` +
        `; home-screen and tab icons ${head.touchIcon}, ${head.favicon}`);
  const cdp = await context.newCDPSession(page);

  // The service worker keeps the site in one cache named after the build.
  await holds(page, () => !!navigator.serviceWorker.controller);
  const worker = await page.evaluate(async () => {
    const reg = await navigator.serviceWorker.ready, caches = await window.caches.keys();
    const files = caches.length ? await (await window.caches.open(caches[0])).keys() : [];
    return { state: reg.active && reg.active.state, controlled: !!navigator.serviceWorker.controller, caches,
             files: files.map((r) => new URL(r.url).pathname.slice(1)).sort() };
  });
  check(worker.state === 'activated' && worker.controlled,
        `the service worker is installed and serves the page: ${worker.state}, ${worker.controlled}`);
  const { errors: parsed } = await cdp.send('Page.getAppManifest');
  const { installabilityErrors: installable } = await cdp.send('Page.getInstallabilityErrors');
  check(parsed.length === 0 && installable.length === 0, `Chromium reads the manifest without errors and finds the ` +
        `page installable ${JSON.stringify([parsed, installable])}`);
  const builtFiles = JSON.parse(/const FILES = (\[.*\]);/.exec(fs.readFileSync(path.join(site, 'sw.js'), 'utf8'))[1]);
  check(worker.caches.length === 1 && /^reefdart-[0-9a-f]{16}$/.test(worker.caches[0]) &&
        JSON.stringify(worker.files) === JSON.stringify(builtFiles.sort()) &&
        ['index.html', 'reefdart.js', 'reefdart.wasm', 'audio.js', 'mixer.worklet.js', 'chiptune3/chiptune3.js',
         'chiptune3/libopenmpt.worklet.js', 'manifest.json'].every((f) => worker.files.includes(f)),
        `it keeps the page, the program, the wasm and the module player in one cache named after the build: ` +
        `${worker.caches} (${worker.files.length} files)`);

  // The phone's layout.
  let l = await layout(page);
  check(fits(l) && l.scale >= 3 && /pixelated|crisp-edges/.test(l.rendering) && l.canvas.left >= 0 &&
        l.canvas.top >= 0 && l.canvas.right <= l.width && l.canvas.bottom <= l.height,
        `the screen shows whole, clear of the bars, at ${l.scale} device pixels a pixel, sharp: ${l.rendering}`);
  const help = await page.evaluate(() => document.getElementById('bar').textContent.replace(/\s+/g, ' '));
  check(/Reefdart/.test(help) && /hold/i.test(help) && /rise/.test(help) && /sink/.test(help) && /Space/.test(help),
        `the page says how to play: ${help.trim()}`);
  const touch = await page.evaluate(() => {
    const menu = new MouseEvent('contextmenu', { bubbles: true, cancelable: true });
    document.getElementById('screen').dispatchEvent(menu);
    return { canvas: getComputedStyle(document.getElementById('screen')).touchAction,
             page: getComputedStyle(document.documentElement).touchAction,
             select: getComputedStyle(document.body).userSelect || getComputedStyle(document.body).webkitUserSelect,
             menu: menu.defaultPrevented };
  });
  check(touch.canvas === 'none' && touch.page === 'manipulation' && touch.select === 'none' && touch.menu,
        `touches: none on the game, no double-tap zoom on the page, no text selection, no long-press menu (${JSON.stringify(touch)})`);
  if (shots) await page.screenshot({ path: path.join(shots, 'browser-phone.png') });

  // A finger held on the screen in a game: the fish rises; let go, it sinks.
  // The sound waits for that touch, then runs through the worklet.
  const soundSays = () => page.evaluate(() => document.getElementById('sound').textContent);
  let sound = await soundSays();
  check(/tap to start/.test(sound) && (await screen(page)).title,
        `the title shows; before any touch the sound switch says the browser waits: "${sound}"`);
  await page.keyboard.press('Enter');
  const y0 = await fish(page);
  check(y0 > 0, `a game shows the fish at height ${y0.toFixed(1)}`);
  const box = await page.locator('#screen').boundingBox();
  const middle = { x: box.x + box.width / 2, y: box.y + box.height / 2, id: 1 };
  const fingers = (type, touchPoints) => cdp.send('Input.dispatchTouchEvent', { type, touchPoints });
  await fingers('touchStart', [middle]);
  const risen = await fish(page, (y) => y < y0 - 12);
  await fingers('touchEnd', []);
  const sunk = await fish(page, (y) => y > risen + 12);
  check(risen > 0 && sunk > 0, `held, the fish rises from ${y0.toFixed(1)} to ${risen.toFixed(1)}; ` +
                               `let go, it sinks to ${sunk.toFixed(1)}`);
  // (A ScriptProcessorNode would put Chromium's deprecation warning on the console.)
  const running = await holds(page, () => reefdartAudio.context === 'running' && reefdartAudio.output === 'worklet');
  const pulled = await page.evaluate(() => window.reefdartAudio.samplesPulled);
  const flowing = await holds(page, (n) => window.reefdartAudio.samplesPulled > n + 4096, pulled);
  sound = await soundSays();
  check(running && flowing && sound === 'Sound on', `after a touch the sound runs through the AudioWorklet: "${sound}"`);
  // The switch: off (kept in the page's storage) and on again.
  for (const [want, muted, kept] of [['Sound off', true, '1'], ['Sound on', false, '0']]) {
    await page.tap('#sound');
    sound = await page.evaluate(() => ({ text: document.getElementById('sound').textContent,
                                         muted: window.reefdartAudio.muted,
                                         kept: localStorage.getItem('reefdart-sound-off') }));
    check(sound.text === want && sound.muted === muted && sound.kept === kept, `a tap: ${JSON.stringify(sound)}`);
  }

  // Full screen in and out.
  for (const [inside, label] of [[true, 'Leave full screen'], [false, 'Full screen']]) {
    await page.tap('#fullscreen');
    const done = await holds(page, ([inside, label]) => !!document.fullscreenElement === inside &&
      document.getElementById('fullscreen').textContent === label, [inside, label]);
    l = await layout(page);
    check(done && fits(l), `the button ${inside ? 'enters' : 'leaves'} full screen, now "${label}", ` +
                           `the screen at ${l.scale} device pixels a pixel`);
  }

  // A new version: the new worker fills a cache of its own and waits while
  // this page plays on the old one.
  const MARK = '// a newer build\n';
  fs.appendFileSync(path.join(site, 'audio.js'), MARK);
  const worker2 = fs.readFileSync(path.join(site, 'sw.js'), 'utf8')
    .replace(/const VERSION = "([0-9a-f]{16})";/, (_, v) => `const VERSION = "${[...v].reverse().join('')}";`);
  fs.writeFileSync(path.join(site, 'sw.js'), worker2);
  const newCache = 'reefdart-' + /const VERSION = "([0-9a-f]{16})";/.exec(worker2)[1];
  const versions = () => page.evaluate(async (mark) => ({
    caches: (await caches.keys()).sort(), new: (await (await fetch('audio.js')).text()).endsWith(mark),
  }), MARK);
  await page.evaluate(async () => (await navigator.serviceWorker.getRegistration()).update());
  const waiting = await waitFor(() => page.evaluate(async () =>
    (await navigator.serviceWorker.getRegistration()).waiting?.state === 'installed'));
  let v = await versions();
  check(waiting && v.caches.length === 2 && v.caches.includes(newCache) && !v.new,
        `a new version installs beside the old and waits, the page still on the old files: ${JSON.stringify(v)}`);

  // The fish sank: the game ends and is kept; a hidden page closes it with
  // every file saved, and one tap plays again with them, on the new version.
  const names = ['career.dat', 'keys.dat', 'keys2.dat', 'keys3.dat', 'record.dat', 'sound.dat', 'lastgame.rdr',
                 'bestgame.rdr'];
  check(await waitStored(page, ['lastgame.rdr']), 'the game that ended is kept in the browser\'s storage');
  await hide(page);
  const away = await waitSaid(page);
  const buttons = await page.evaluate(() => [...document.querySelectorAll('#message button')].map((b) => b.textContent));
  check(/kept/.test(away) && buttons.includes('Play again'), `a hidden page closes the game: "${away}" [${buttons}]`);
  check(await waitStored(page, names), 'every file is saved');
  const saved = await stored(page);
  await Promise.all([page.waitForEvent('load'), page.tap('#message button')]);
  check((await started(page)) && !(await said(page)), 'one tap plays again');
  const back = await page.evaluate(() => ['lastgame.rdr', 'record.dat'].map((n) => Array.from(FS.readFile('/data/' + n))));
  v = await versions();
  check(v.caches.length === 1 && v.caches[0] === newCache && v.new,
        `the page plays again on the new version alone: ${JSON.stringify(v)}`);
  check(Buffer.from(back[0]).equals(saved['lastgame.rdr']) && Buffer.from(back[1]).equals(saved['record.dat']),
        `with the game's replay and the best score (${Buffer.from(back[1])}) kept`);

  // Without the network.
  await stopServer();
  await page.reload();
  check((await started(page)) && (await plays(page)), 'with the server stopped, a reload starts the game');
  await page.keyboard.press('Enter');
  check((await fish(page)) > 0 && !(await said(page)), 'and it plays a game');
  complaints.push(...errors);
  check(complaints.length === 0, `no console warning or error${complaints.length ? ': ' + complaints.join('; ') : ''}`);
} finally {
  await close();
  fs.rmSync(site, { recursive: true, force: true });
  if (server.listening) await stopServer();
}
finish('page');
