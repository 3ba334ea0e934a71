// Two tabs of one browser over the same stored files: the first runs a game
// and makes a best score; the second says the game is already open in
// another tab and runs none; taking over closes the first tab's game with its
// files saved, and the second starts with them (the best score the native
// program verifies from the first tab's best game). The first tab, behind
// now, cannot save over them; once the second closes its game the first
// starts again straight away. The stored best score never goes down. All of
// it twice: with the browser's Web Locks, and without them (the lease in
// localStorage and its events).
// Usage: node tabs_test.mjs URL CHROMIUM NATIVE_REEFDART WORK_DIR
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { gameBrowser, startAndPress } from './browser.mjs';
import { readableStorage, stored, waitStored } from './storage.mjs';

const [url, executable, native, work] = process.argv.slice(2);
let failures = 0;
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
}

const LONG = 60000; // the longest any one step may take

function started(page) {
  return page.waitForFunction(() => window.Module && Module.reefdartStats && Module.reefdartStats.frames > 0,
                              null, { timeout: LONG });
}

function messageText(page) {
  return page.evaluate(() => {
    const m = document.getElementById('message');
    return m.style.display === 'block' ? m.textContent : '';
  });
}

function waitMessage(page, text) {
  return page.waitForFunction((text) => {
    const m = document.getElementById('message');
    return m.style.display === 'block' && m.textContent.includes(text);
  }, text, { timeout: LONG }).catch(() => {});
}

// The program's settings files in the page's data folder, by name.
function dataFiles(page) {
  return page.evaluate(() => {
    const files = {};
    for (const name of FS.readdir('/data').sort())
      if (name.endsWith('.dat')) files[name] = FS.readFile('/data/' + name, { encoding: 'utf8' });
    return files;
  });
}

function hide(page) {
  return page.evaluate(() => {
    Object.defineProperty(document, 'hidden', { value: true, configurable: true });
    Object.defineProperty(document, 'visibilityState', { value: 'hidden', configurable: true });
    document.dispatchEvent(new Event('visibilitychange'));
  });
}

// A game: Start, the stylus held a while, then the fish falls to its end.
// Gives its score as the native program verifies it from the kept best game.
async function playForScore(page, label) {
  const before = await page.evaluate(() => Module.reefdartSync.saves);
  await startAndPress(page);
  await page.waitForTimeout(600);
  await page.mouse.up();
  // The game is over once its replay is saved.
  await page.waitForFunction((n) => Module.reefdartSync.saves > n && FS.analyzePath('/data/bestgame.rdr').exists,
                             before, { timeout: LONG });
  await waitStored(page, ['bestgame.rdr']);
  const replay = path.join(work, `tabs-${label.replace(/ /g, '-')}-best.rdr`);
  fs.writeFileSync(replay, (await stored(page))['bestgame.rdr']);
  let verified = '';
  try {
    verified = execFileSync(native, ['--verify', replay], { encoding: 'utf8' });
  } catch (e) {
    verified = `exit ${e.status}: ${e.stdout}`;
  }
  const m = /: a score of (\d+) in (\d+) ticks/.exec(verified);
  return m ? Number(m[1]) : 0;
}


async function twoTabs(label, withoutLocks) {
  const { context, profile } = await gameBrowser(executable);
  const errors = [];
  // Every stored best score seen, in order.
  const bests = [];
  async function noteBest(page, when) {
    const record = (await stored(page))['record.dat'];
    bests.push({ when, best: record ? Number(record.toString()) : 0 });
  }
  try {
    if (withoutLocks) await context.addInitScript(() => { delete Navigator.prototype.locks; });
    await readableStorage(context);
    const first = context.pages()[0] || (await context.newPage());
    first.on('pageerror', (e) => errors.push(String(e)));
    await first.goto(url);
    await started(first);
    const how = await first.evaluate(() => window.reefdartLock.how);
    check(how === (withoutLocks ? 'lease' : 'locks'), `${label}: the first tab holds the files by ${how}`);
    await noteBest(first, 'the first tab started');

    const best = await playForScore(first, label);
    check(best > 0, `${label}: a game in the first tab makes a best score: ${best}`);
    await noteBest(first, 'the first tab played');

    // The second tab says the game runs elsewhere and runs none.
    const second = await context.newPage();
    second.on('pageerror', (e) => errors.push(String(e)));
    await second.goto(url);
    await waitMessage(second, 'already open in another tab');
    let said = await messageText(second);
    const idle = await second.evaluate(() => ({
      stats: !!(window.Module && Module.reefdartStats),
      canvas: getComputedStyle(document.getElementById('screen')).visibility,
      read: !!(window.Module && Module.reefdartSync && Module.reefdartSync.ready),
      lock: window.reefdartLock.state,
    }));
    check(said.includes('already open in another tab') && said.includes('Play here'),
          `${label}: the second tab says: ${said}`);
    check(!idle.stats && idle.canvas === 'hidden' && !idle.read && idle.lock === 'elsewhere',
          `${label}: the second tab runs no game and has not read the files: ${JSON.stringify(idle)}`);
    const frames = await first.evaluate(() => Module.reefdartStats.frames);
    const runs = await first.waitForFunction((n) => Module.reefdartStats.frames > n, frames, { timeout: LONG })
      .then(() => true, () => false);
    check(runs && !(await messageText(first)), `${label}: the first tab plays on`);
    await noteBest(second, 'the second tab waits');

    // Taking over: the first tab's game saves and closes, the second starts
    // with its files.
    await second.click('#message button');
    await waitMessage(first, 'another tab plays it now');
    said = await messageText(first);
    check(said.startsWith('Reefdart has closed: another tab plays it now.'), `${label}: the first tab says: ${said}`);
    await started(second);
    check(await waitStored(first, ['record.dat', 'career.dat', 'sound.dat']),
          `${label}: the first tab's files are saved`);
    const firstFiles = await dataFiles(first);
    const storedRecord = Number(((await stored(first))['record.dat'] || '').toString());
    check(storedRecord === best, `${label}: the stored best score is the first tab's: ${storedRecord}`);
    const secondFiles = await dataFiles(second);
    check(Number(secondFiles['record.dat']) === best && JSON.stringify(secondFiles) === JSON.stringify(firstFiles),
          `${label}: the second tab starts with the first tab's files: ${JSON.stringify(secondFiles)}`);
    const held = await second.evaluate(() => window.reefdartLock.state);
    check(held === 'held', `${label}: the second tab holds the files now (${held})`);
    await noteBest(second, 'taken over');

    // The first tab, behind now, cannot put older files back.
    const refused = await first.evaluate(async () => {
      const s = Module.reefdartSync;
      FS.writeFile('/data/record.dat', '00000');
      s.save();
      while (s.busy) await new Promise((resolve) => setTimeout(resolve, 20));
      return s.behind;
    });
    const after = Number(((await stored(second))['record.dat'] || '').toString());
    check(refused && after === best, `${label}: a save from the tab taken over is refused: ${after}`);
    await noteBest(second, 'a stale save');

    // The second tab hidden closes its game and lets go: the first starts
    // again at once, with the same best score.
    await hide(second);
    await waitMessage(second, 'Reefdart has closed');
    await first.reload();
    await started(first);
    const again = await dataFiles(first);
    said = await messageText(first);
    check(Number(again['record.dat']) === best && !said,
          `${label}: once the second tab closed its game the first plays again, best score ${again['record.dat']}`);
    await noteBest(first, 'the first tab again');

    const down = bests.findIndex((b, i) => i > 0 && b.best < bests[i - 1].best);
    check(down < 0, `${label}: the stored best score never goes down: ` +
                    bests.map((b) => `${b.best} (${b.when})`).join(', '));
    check(errors.length === 0, `${label}: no page errors ${errors.join('; ')}`);
  } finally {
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

const testStart = Date.now();
await twoTabs('Web Locks', false);
await twoTabs('a lease', true);
console.log(`info the tabs test took ${((Date.now() - testStart) / 1000).toFixed(1)} s`);
process.exit(failures ? 1 : 0);
