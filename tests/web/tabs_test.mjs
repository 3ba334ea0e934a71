// Two tabs of one browser over the same stored files: the second says the game
// is open in another tab and runs none; taking over closes the first tab's game
// with its files (and the best score the native program verifies from its
// game) saved, and the second starts with them; the first, behind now, cannot
// save over them, and plays again once the second has closed its game. With
// the browser's Web Locks, and without them (a lease in localStorage).
// Usage: node tabs_test.mjs URL CHROMIUM NATIVE_REEFDART WORK_DIR
import fs from 'node:fs';
import path from 'node:path';
import { check, finish, gameBrowser, hide, holds, playGame, plays, said, started, verify, waitSaid } from './browser.mjs';
import { dataFiles, readableStorage, stored, waitStored } from './storage.mjs';

const [url, executable, native, work] = process.argv.slice(2);
const storedBest = async (page) => Number(((await stored(page))['record.dat'] || '0').toString());

for (const [label, withoutLocks] of [['Web Locks', false], ['a lease', true]]) {
  const { context, page: first, errors, close } = await gameBrowser(executable);
  try {
    if (withoutLocks) await context.addInitScript(() => { delete Navigator.prototype.locks; });
    await readableStorage(context);
    await first.goto(url);
    await started(first);
    const how = await first.evaluate(() => window.reefdartLock.how);
    check(how === (withoutLocks ? 'lease' : 'locks'), `${label}: the first tab holds the files by ${how}`);

    // A game, over once its replay is saved; its score as the native program
    // verifies it from the kept best game.
    const saves = await first.evaluate(() => Module.reefdartSync.saves);
    await playGame(first, 30);
    await holds(first, (n) => Module.reefdartSync.saves > n && FS.analyzePath('/data/bestgame.rdr').exists, saves);
    await waitStored(first, ['bestgame.rdr']);
    const replay = path.join(work, `tabs-${label.replace(/ /g, '-')}-best.rdr`);
    fs.writeFileSync(replay, (await stored(first))['bestgame.rdr']);
    const { score: best, text: verified } = verify(native, replay);
    check(best > 0, `${label}: a game in the first tab makes a best score: ${best > 0 ? best : verified}`);

    // The second tab says the game runs elsewhere and runs none.
    const second = await context.newPage();
    await second.goto(url);
    let text = await waitSaid(second, 'already open in another tab');
    const idle = await second.evaluate(() => ({
      stats: !!(window.Module && Module.reefdartStats),
      canvas: getComputedStyle(document.getElementById('screen')).visibility,
      read: !!(window.Module && Module.reefdartSync && Module.reefdartSync.ready),
      lock: window.reefdartLock.state,
    }));
    check(text.includes('already open in another tab') && text.includes('Play here') && !idle.stats &&
          idle.canvas === 'hidden' && !idle.read && idle.lock === 'elsewhere',
          `${label}: the second tab says "${text}", runs no game and has not read the files: ${JSON.stringify(idle)}`);
    check((await plays(first)) && !(await said(first)), `${label}: the first tab plays on`);

    // Taking over: the first tab's game saves and closes, the second starts
    // with its files.
    await second.click('#message button');
    text = await waitSaid(first, 'another tab plays it now');
    check(text.startsWith('Reefdart has closed: another tab plays it now.'), `${label}: the first tab says: ${text}`);
    await started(second);
    const saved = await waitStored(first, ['record.dat', 'career.dat', 'sound.dat']);
    const firstFiles = await dataFiles(first), record = await storedBest(first);
    check(saved && record === best, `${label}: the first tab's files are saved, its best score ${record}`);
    const secondFiles = await dataFiles(second), held = await second.evaluate(() => window.reefdartLock.state);
    check(Number(secondFiles['record.dat']) === best && JSON.stringify(secondFiles) === JSON.stringify(firstFiles) &&
          held === 'held', `${label}: the second tab holds the files (${held}) and starts with the first tab's: ` +
          JSON.stringify(secondFiles));

    // The first tab, behind now, cannot put older files back.
    const refused = await first.evaluate(async () => {
      const s = Module.reefdartSync;
      FS.writeFile('/data/record.dat', '00000');
      s.save();
      while (s.busy) await new Promise((resolve) => setTimeout(resolve, 20));
      return s.behind;
    });
    const after = await storedBest(second);
    check(refused && after === best, `${label}: a save from the tab taken over is refused: ${after}`);

    // The second tab hidden closes its game and lets go: the first starts
    // again at once, with the same best score.
    await hide(second);
    await waitSaid(second, 'Reefdart has closed');
    await first.reload();
    await started(first);
    const again = await dataFiles(first);
    check(Number(again['record.dat']) === best && !(await said(first)),
          `${label}: once the second tab closed its game the first plays again, best score ${again['record.dat']}`);
    check(errors.length === 0, `${label}: no page errors ${errors.join('; ')}`);
  } finally {
    await close();
  }
}
finish('tabs');
