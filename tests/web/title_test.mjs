// The browser edition's title screen: the headless host's pixels wherever its
// shots do not animate; the mouse and a finger as the stylus; the title's and a
// game's modules at the music volume, the menu click; the settings files Exit
// writes, back from the storage; Start; a browser without WebAssembly.
// Usage: node title_test.mjs URL CHROMIUM ABOUT.png TITLE.png...
// (the About screen, then shots of the title at different times)
import { check, finish, gameBrowser, holds, plays, said, started, waitFor, waitSaid, LONG } from './browser.mjs';
import { canvasPixels, differ, readPng, waitFrame } from './pixels.mjs';
import { dataFiles } from './storage.mjs';

const [url, executable, aboutShot, ...shots] = process.argv.slice(2);
const MENU_MODULE_BYTES = 22744, GAME_MODULE_BYTES = 28698;

const { context, page, errors, close } = await gameBrowser(executable, { hasTouch: true });
// The pixels to pin: those the same in every shot of the title, but for 3
// around any that is not (the text wave may have passed one by in every shot).
const references = await Promise.all(shots.map((shot) => readPng(page, shot))), title = references[0];
const { width, height } = title;
const still = new Uint8Array(width * height).fill(1);
const same = (a, b, i) => a[i] === b[i] && a[i + 1] === b[i + 1] && a[i + 2] === b[i + 2];
for (let p = 0; p < width * height; p++) {
  if (references.every((r) => same(r.rgb, title.rgb, p * 3))) continue;
  const x = p % width, y = Math.floor(p / width);
  for (let ny = Math.max(0, y - 3); ny <= Math.min(height - 1, y + 3); ny++)
    for (let nx = Math.max(0, x - 3); nx <= Math.min(width - 1, x + 3); nx++) still[ny * width + nx] = 0;
}
const stillCount = still.reduce((n, v) => n + v, 0);

// Waits until test (run in the page) holds for the audio; its state then.
async function audio(test = () => true, arg) {
  await holds(page, test, arg);
  return page.evaluate(() => ({ ...window.reefdartAudio }));
}
// Keys pressed, a few frames apart (or until the program closes).
async function press(...keys) {
  for (const key of keys) {
    const n = await page.evaluate(() => Module.reefdartStats.frames);
    await page.keyboard.press(key);
    await holds(page, (n) => Module.reefdartStats.frames > n || document.getElementById('message').style.display === 'block',
                n + 5);
  }
}
// Where device pixel (x, y) is on the page.
const at = (x, y) => page.evaluate(([x, y, w]) => {
  const b = document.getElementById('screen').getBoundingClientRect(), scale = b.width / w;
  return [b.left + (x + 0.5) * scale, b.top + (y + 0.5) * scale];
}, [x, y, width]);

try {
  const loadStart = Date.now();
  await page.goto(url);
  await started(page);
  const loadMs = Date.now() - loadStart;
  const shown = await waitFrame(page, title, LONG, still);
  check(stillCount > width * height * 0.6 && shown.same,
        `title: ${stillCount} of ${width * height} pixels stay still, all as the headless shot` +
        (shown.same ? '' : ` (${shown.differ} differ)`));
  if (process.env.REEFDART_WEB_SHOT) await page.screenshot({ path: process.env.REEFDART_WEB_SHOT });
  const s0 = await page.evaluate(() => Module.reefdartStats);
  let a0 = await audio(() => reefdartAudio.music === 'playing');
  check(a0.rate > 0 && a0.musicBytes === MENU_MODULE_BYTES && a0.musicLooping && a0.musicLevel === 64 &&
        a0.musicVolume === 1, `the title starts its module, looping: ${a0.music}, ${a0.musicBytes} bytes, ` +
        `music volume ${a0.musicLevel} (gain ${a0.musicVolume})`);

  // The mouse is the stylus: About, then a click anywhere goes back.
  for (const [x, y, picture, what] of [[115, 231, await readPng(page, aboutShot), 'a click on About shows the About screen'],
                                       [120, 160, title, 'a click on the About screen goes back to the title']]) {
    await page.mouse.click(...(await at(x, y)));
    check((await waitFrame(page, picture, LONG, still)).same, `${what} of the headless shot`);
  }

  // The click was a gesture: the audio runs and pulls the mixer's samples,
  // silent on the title but for the music player's own output.
  a0 = await audio(() => reefdartAudio.context === 'running');
  await audio((n) => reefdartAudio.samplesPulled > n, a0.samplesPulled + 8192);
  await page.evaluate(() => { window.reefdartAudio.loudest = 0; });
  let a1 = await audio((n) => reefdartAudio.samplesPulled > n, a0.samplesPulled + 16384);
  check(a0.context === 'running' && a1.samplesPulled > a0.samplesPulled + 16384 && a1.loudest === 0,
        `after a click the audio runs (${a0.context}), its node pulled ${a1.samplesPulled - a0.samplesPulled} ` +
        `samples, silent but for the music: ${a1.loudest}`);
  check(a1.musicStarted && a1.musicError === '' && a1.musicSeconds > 0,
        `the module player plays the title module: ${a1.musicSeconds.toFixed(2)} s in ${a1.musicError}`);
  await page.keyboard.press('ArrowDown');
  a1 = await audio(() => reefdartAudio.loudest > 1000);
  check(a1.loudest > 1000, `a cursor step sounds the click: peak ${a1.loudest}`);
  const s1 = await page.evaluate(() => Module.reefdartStats), seconds = (s1.at - s0.at) / 1000;
  const latency = a1.baseLatency + a1.outputLatency + a1.queued / a1.rate;
  console.log(`info load ${loadMs} ms; ${((s1.timerWakes - s0.timerWakes) / seconds).toFixed(0)} timer wake-ups/s; ` +
              `${((s1.frames - s0.frames) / seconds).toFixed(0)} frames/s; audio at ${a1.rate} Hz, about ` +
              `${(latency * 1000).toFixed(0)} ms from the mixer to the speaker; ${a1.underruns} underruns`);

  // Settings: the volume a step down and up; the language; back; Exit, which
  // stops the music and writes the six files.
  await press('Enter', 'ArrowLeft');
  a0 = await audio(() => reefdartAudio.musicLevel !== 64 && reefdartAudio.musicVolume !== 1);
  check(a0.musicLevel === 60 && a0.musicVolume === 0.9375,
        `a step down sets the music volume to ${a0.musicLevel} (gain ${a0.musicVolume})`);
  await press('Enter');
  a0 = await audio(() => reefdartAudio.musicLevel === 64 && reefdartAudio.musicVolume === 1);
  check(a0.musicLevel === 64 && a0.musicVolume === 1 && a0.musicBytes === MENU_MODULE_BYTES,
        `a step up sets it back to ${a0.musicLevel} (gain ${a0.musicVolume})`);
  await press('ArrowDown', 'Enter', 'ArrowDown', 'ArrowDown', 'Enter', 'ArrowDown', 'ArrowDown', 'ArrowDown', 'Enter');
  const closed = await waitSaid(page);
  a0 = await audio(() => reefdartAudio.music === 'stopped');
  const written = { 'career.dat': '32102210', 'keys.dat': '090090', 'keys2.dat': '090090', 'keys3.dat': '090090',
                    'record.dat': '00000', 'sound.dat': '17442' };
  const files = async () => JSON.stringify(await dataFiles(page));
  let kept = await files();
  check(closed && a0.music === 'stopped' && kept === JSON.stringify(written),
        `Exit closes the game, stops the music (${a0.music}) and saves French as the language: ${kept}`);

  // The browser's storage gives them back; a finger is the stylus: a tap on
  // Exit (the French title has it where the English one does) ends the game.
  await page.reload();
  await started(page);
  kept = await files();
  check(kept === JSON.stringify(written), `the files come back from the browser storage: ${kept}`);
  await page.touchscreen.tap(...(await at(115, 271)));
  check(!!(await waitSaid(page)), 'a tap on Exit closes the game');

  // Start leaves the title for a game, which plays its own module; losing
  // the focus is not leaving.
  await page.reload();
  await started(page);
  const before = await canvasPixels(page);
  await press('Enter');
  const left = await waitFor(async () => differ(await canvasPixels(page), before, still) > stillCount / 2);
  check(left && !(await said(page)), 'after Start less than half the still title pixels remain; the program runs');
  a0 = await audio((b) => reefdartAudio.musicBytes === b, GAME_MODULE_BYTES);
  a1 = await audio((n) => reefdartAudio.samplesPulled > n && reefdartAudio.musicSeconds > 0, a0.samplesPulled);
  check(a0.music === 'playing' && a0.musicBytes === GAME_MODULE_BYTES && a0.musicLooping &&
        a1.context === 'running' && a1.samplesPulled > a0.samplesPulled && a1.musicStarted && a1.musicError === '' &&
        a1.musicSeconds > 0, `a game plays its own module, looping, the audio flowing: ${a0.music}, ` +
        `${a0.musicBytes} bytes, ${a1.musicSeconds.toFixed(2)} s in`);
  await page.evaluate(() => window.dispatchEvent(new Event('blur')));
  check((await plays(page, 20)) && !(await said(page)), 'losing the focus does not close the game');
  check(errors.length === 0, `no page errors ${errors.join('; ')}`);

  // A browser without WebAssembly says so.
  const bare = await context.newPage();
  await bare.addInitScript(() => { delete window.WebAssembly; });
  await bare.goto(url);
  await holds(bare, () => document.getElementById('message').textContent.includes('needs WebAssembly'));
  const text = await bare.evaluate(() => document.getElementById('message').textContent);
  check(text.includes('needs WebAssembly'), `without WebAssembly the page says: ${text}`);
} finally {
  await close();
}
finish('title');
