// Plays a game in the browser edition and follows its replay: the game is
// kept as lastgame.rdr and bestgame.rdr in the browser's storage, recorded by
// the browser edition on the steadied clock (every tick 5 ms after the one
// before, through a stall of the page); the native program verifies it to the score the game kept; it
// comes back from the storage and downloads byte for byte; and watched in
// the page (from the kept games, from the site's address and from a chosen
// file) it ends on the frame the native headless watch ends on. Replays the
// page cannot watch are refused with the reason.
// Usage: node replay_test.mjs URL CHROMIUM NATIVE_REEFDART WORK_DIR
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { gameBrowser, startAndPress } from './browser.mjs';
import { readPng, waitFrame } from './pixels.mjs';
import { readableStorage, stored, waitStored } from './storage.mjs';

const [url, executable, native, work] = process.argv.slice(2);
let failures = 0;
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
}

const TICK_MS = 5;
const EDITION_BROWSER = 3;
const GAME_MS = 60000; // the longest the game and each watch may take

// A replay's header and tick runs (docs/replay.md).
function replayHead(bytes) {
  let at = 0;
  const varint = () => {
    let v = 0, shift = 0, b;
    do {
      b = bytes[at++];
      v += (b & 127) * 2 ** shift;
      shift += 7;
    } while (b & 128);
    return v;
  };
  const head = { magic: bytes.toString('latin1', 0, 4), format: bytes.readUInt16LE(4), edition: bytes[6] };
  at = 7;
  const versionLength = bytes[at++];
  head.version = bytes.toString('latin1', at, at + versionLength);
  at += versionLength;
  at += 1 + bytes[at]; // the ticket
  at += 4; // the random state
  for (let i = 0; i < 5; i++) varint(); // the carried-over values
  head.width = bytes.readUInt16LE(at);
  head.height = bytes.readUInt16LE(at + 2);
  at += 5; // the layout, the rise at the start
  varint(); // the best score before
  at += 4; // the text phase
  head.ticks = varint();
  head.runs = [];
  if (head.ticks > 0) {
    at += 4;
    for (let n = varint(); n > 0; n--) head.runs.push({ delta: varint(), repeat: varint() });
  }
  return head;
}

function started(page) {
  return page.waitForFunction(() => window.Module && Module.reefdartStats && Module.reefdartStats.frames > 0,
                              null, { timeout: 30000 });
}

function messageText(page) {
  return page.evaluate(() => {
    const m = document.getElementById('message');
    return m.style.display === 'block' ? m.textContent : '';
  });
}

function waitMessage(page) {
  return page.waitForFunction(() => document.getElementById('message').style.display === 'block',
                              null, { timeout: 30000 }).catch(() => {});
}

// Watches until the last frame, which must be the native watch's.
async function watchToTheEnd(page, lastFrame, how) {
  await started(page);
  const shown = await page.evaluate(() => document.getElementById('watching').style.display === 'block');
  const end = await waitFrame(page, lastFrame, GAME_MS);
  check(shown && end.same, `${how}: the page says it plays a replay and ends on the native watch's last frame` +
                           (end.same ? '' : ` (${end.differ} pixels differ)`));
}

const { context, profile } = await gameBrowser(executable, { acceptDownloads: true });
await readableStorage(context);
const testStart = Date.now();
try {
  const page = context.pages()[0] || (await context.newPage());
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));

  // A new browser keeps no games to watch.
  await page.goto(url + '?watch=best');
  await waitMessage(page);
  let said = await messageText(page);
  check(said.includes('keeps no best game yet'), `with no game kept, ?watch=best says: ${said}`);

  // A game: Start, the stylus held a moment, then the fish falls to its end.
  await page.goto(url);
  await started(page);
  await startAndPress(page);
  await page.waitForTimeout(200);
  // The page stalls a moment (as a busy browser does): the ticks stay on
  // the timer's times.
  await page.evaluate(() => {
    const from = performance.now();
    while (performance.now() - from < 300);
  });
  await page.mouse.up();
  await waitStored(page, ['lastgame.rdr', 'bestgame.rdr']);
  // A page no score site serves plays offline: nothing to publish.
  const offline = await page.evaluate(() => ({
    site: window.reefdartOnline.site, settled: window.reefdartOnline.settled,
    panel: !document.getElementById('online').hidden,
  }));
  check(offline.settled && !offline.site && !offline.panel,
        `served by a plain file server the page plays offline and offers nothing to publish: ${JSON.stringify(offline)}`);
  // Leaving the page saves the best score.
  await page.evaluate(() => {
    Object.defineProperty(document, 'hidden', { value: true, configurable: true });
    Object.defineProperty(document, 'visibilityState', { value: 'hidden', configurable: true });
    document.dispatchEvent(new Event('visibilitychange'));
  });
  await waitMessage(page);
  await waitStored(page, ['record.dat']);
  const kept = await stored(page);
  const last = kept['lastgame.rdr'], best = kept['bestgame.rdr'];
  check(last && best && last.equals(best), `the game is kept as the last and the best game: ${last && last.length} bytes`);
  const record = Number((kept['record.dat'] || '').toString());
  check(Number.isInteger(record), `the best score is kept: ${record}`);

  const head = replayHead(last);
  check(head.magic === 'RDRP' && head.format === 1 && head.edition === EDITION_BROWSER && head.version.length > 0,
        `the browser edition recorded it: ${head.magic} format ${head.format}, edition ${head.edition}, ` +
        `version ${head.version}`);
  check(head.width === 240 && head.height === 320, `on the qvga layout: ${head.width} x ${head.height}`);
  check(head.runs.length === 1 && head.runs[0].delta === TICK_MS,
        `on the steadied clock every tick comes ${TICK_MS} ms after the one before: ${head.runs.length} ` +
        `tick runs ${JSON.stringify(head.runs.slice(0, 4))}${head.runs.length > 4 ? '...' : ''}`);

  const replay = path.join(work, 'browser-game.rdr');
  fs.writeFileSync(replay, last);
  let verified = '';
  try {
    verified = execFileSync(native, ['--verify', replay], { encoding: 'utf8' });
  } catch (e) {
    verified = `exit ${e.status}: ${e.stdout}`;
  }
  const m = /: a score of (\d+) in (\d+) ticks/.exec(verified);
  check(m && Number(m[1]) === record && Number(m[2]) === head.ticks,
        `the native program verifies it to the score kept: ${verified.trim()}`);

  // The native headless watch's last frame.
  const script = path.join(work, 'watch.txt'), lastShot = path.join(work, 'watched.png');
  const watchData = path.join(work, 'watch-data');
  fs.rmSync(watchData, { recursive: true, force: true });
  fs.mkdirSync(watchData);
  fs.writeFileSync(script, `wait ${GAME_MS}\nshot ${lastShot}\n`);
  execFileSync(native, ['--headless', script, '--watch', replay, '--data-dir', watchData]);
  const lastFrame = readPng(lastShot);

  // The kept games come back from the storage, and download as they are.
  await page.reload();
  await started(page);
  const back = await page.evaluate(() => ['lastgame.rdr', 'bestgame.rdr'].map(
    (name) => Array.from(FS.readFile('/data/' + name))));
  check(back.every((b) => Buffer.from(b).equals(last)), 'the kept games come back from the browser storage');
  await page.click('#replays summary');
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-best')]);
  const downloaded = fs.readFileSync(await download.path());
  check(download.suggestedFilename() === 'reefdart-bestgame.rdr' && downloaded.equals(last),
        `the best game downloads as ${download.suggestedFilename()}, ${downloaded.length} bytes`);

  // Watched from the kept games.
  await Promise.all([page.waitForURL(/\?watch=last$/), page.click('#watch-last')]);
  await watchToTheEnd(page, lastFrame, 'Watch the last game');

  // Watched from an address on the site; Escape leaves.
  const served = '/replays/browser-game.rdr';
  let body = last;
  await page.route('**' + served, (route) => route.fulfill({ status: 200, body, contentType: 'application/octet-stream' }));
  await page.goto(url + '?watch=' + served.slice(1));
  await watchToTheEnd(page, lastFrame, `?watch=${served.slice(1)}`);
  await page.keyboard.press('Escape');
  await waitMessage(page);
  said = await messageText(page);
  check(said.startsWith('The replay has closed.'), `Escape leaves the replay: ${said}`);

  // Watched from a file the player chooses.
  await page.goto(url);
  await started(page);
  await page.click('#replays summary');
  await Promise.all([page.waitForURL(/\?watch=chosen$/), page.setInputFiles('#watch-file', replay)]);
  await watchToTheEnd(page, lastFrame, 'a chosen file');

  // What cannot be watched says why.
  body = Buffer.from(last);
  body[body.length - 1] ^= 1;
  await page.goto(url + '?watch=' + served.slice(1));
  await waitMessage(page);
  said = await messageText(page);
  check(said.includes(`${served.slice(1)} is not a valid replay`), `a damaged replay: ${said}`);
  const elsewhere = url.replace('127.0.0.1', 'localhost') + 'game.rdr';
  await page.goto(url + '?watch=' + encodeURIComponent(elsewhere));
  await waitMessage(page);
  said = await messageText(page);
  check(said.includes('only fetched from this site'), `a replay on another site: ${said}`);

  // Watching keeps nothing of its own.
  const after = await stored(page);
  check(after['lastgame.rdr'].equals(last) && after['bestgame.rdr'].equals(last) &&
        after['record.dat'].equals(kept['record.dat']), 'watching changes none of the kept files');
  check(errors.length === 0, `no page errors ${errors.join('; ')}`);
} finally {
  await context.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
console.log(`info the replay test took ${((Date.now() - testStart) / 1000).toFixed(1)} s`);
process.exit(failures ? 1 : 0);
