// A game played in the browser edition: its replay kept, recorded on the
// steadied clock (every tick 5 ms after the one before, through a stall of the
// page), verified by the native program to the score kept, downloaded byte for
// byte and watched in the page (kept, from the site, a chosen file) to the
// native headless watch's last frame; replays it cannot watch refused.
// Usage: node replay_test.mjs URL CHROMIUM NATIVE_REEFDART WORK_DIR
import fs from 'node:fs';
import path from 'node:path';
import { check, finish, gameBrowser, hide, nativeWatch, playGame, started, verify, waitSaid, LONG } from './browser.mjs';
import { readPng, waitFrame } from './pixels.mjs';
import { readableStorage, stored, waitStored } from './storage.mjs';

const [url, executable, native, work] = process.argv.slice(2);
const TICK_MS = 5, EDITION_BROWSER = 3;

// A replay's header and tick runs (docs/replay.md).
function replayHead(bytes) {
  let at = 7;
  const varint = () => {
    for (let v = 0, shift = 0; ; shift += 7) {
      v += (bytes[at] & 127) * 2 ** shift;
      if (!(bytes[at++] & 128)) return v;
    }
  };
  const head = { magic: bytes.toString('latin1', 0, 4), format: bytes.readUInt16LE(4), edition: bytes[6] };
  head.version = bytes.toString('latin1', at + 1, (at += 1 + bytes[at]));
  at += 1 + bytes[at] + 4; // the ticket, the random state
  for (let i = 0; i < 5; i++) varint(); // the carried-over values
  [head.width, head.height] = [bytes.readUInt16LE(at), bytes.readUInt16LE(at + 2)];
  at += 5; // the layout, the rise at the start
  varint(); // the best score before
  at += 4; // the text phase
  head.ticks = varint();
  at += 4;
  head.runs = [];
  for (let n = head.ticks > 0 ? varint() : 0; n > 0; n--) head.runs.push({ delta: varint(), repeat: varint() });
  return head;
}

const { context, page, errors, close } = await gameBrowser(executable, { acceptDownloads: true });
await readableStorage(context);
try {
  // A new browser keeps no games to watch.
  await page.goto(url + '?watch=best');
  let said = await waitSaid(page);
  check(said.includes('keeps no best game yet'), `with no game kept, ?watch=best says: ${said}`);

  await page.goto(url);
  await started(page);
  await playGame(page, 10, 300);
  await waitStored(page, ['lastgame.rdr', 'bestgame.rdr']);
  // A page no score site serves plays offline: nothing to publish.
  const offline = await page.evaluate(() => ({ site: reefdartOnline.site, settled: reefdartOnline.settled,
                                               panel: !document.getElementById('online').hidden }));
  check(offline.settled && !offline.site && !offline.panel,
        `served by a plain file server the page plays offline and offers nothing to publish: ${JSON.stringify(offline)}`);
  // Leaving the page saves the best score.
  await hide(page);
  await waitSaid(page);
  await waitStored(page, ['record.dat']);
  const kept = await stored(page);
  const last = kept['lastgame.rdr'], best = kept['bestgame.rdr'];
  check(last && best && last.equals(best), `the game is kept as the last and the best game: ${last && last.length} bytes`);
  const record = Number((kept['record.dat'] || '').toString());

  const head = replayHead(last);
  check(head.magic === 'RDRP' && head.format === 1 && head.edition === EDITION_BROWSER && head.version.length > 0 &&
        head.width === 240 && head.height === 320, `the browser edition recorded it on the qvga layout: ${head.magic} ` +
        `format ${head.format}, edition ${head.edition}, version ${head.version}, ${head.width} x ${head.height}`);
  check(head.runs.length === 1 && head.runs[0].delta === TICK_MS,
        `on the steadied clock every tick comes ${TICK_MS} ms after the one before: ${head.runs.length} ` +
        `tick runs ${JSON.stringify(head.runs.slice(0, 4))}${head.runs.length > 4 ? '...' : ''}`);
  const replay = path.join(work, 'browser-game.rdr');
  fs.writeFileSync(replay, last);
  const verified = verify(native, replay);
  check(Number.isInteger(record) && verified.score === record && verified.ticks === head.ticks,
        `the native program verifies it to the score kept (${record}): ${verified.text}`);
  const lastFrame = await readPng(page, nativeWatch(native, replay));

  // The kept games download as they are.
  await page.reload();
  await started(page);
  await page.click('#replays summary');
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-best')]);
  const downloaded = fs.readFileSync(await download.path());
  check(download.suggestedFilename() === 'reefdart-bestgame.rdr' && downloaded.equals(last),
        `the best game downloads as ${download.suggestedFilename()}, ${downloaded.length} bytes`);

  // Watched from the kept games, from an address on the site and from a file
  // the player chooses; Escape leaves.
  const served = 'replays/browser-game.rdr';
  let body = last;
  await page.route('**/' + served, (route) => route.fulfill({ status: 200, body, contentType: 'application/octet-stream' }));
  for (const [how, go] of [
    ['Watch the last game', () => Promise.all([page.waitForURL(/\?watch=last$/), page.click('#watch-last')])],
    [`?watch=${served}`, () => page.goto(url + '?watch=' + served)],
    ['a chosen file', async () => {
      await page.goto(url);
      await started(page);
      await page.click('#replays summary');
      await Promise.all([page.waitForURL(/\?watch=chosen$/), page.setInputFiles('#watch-file', replay)]);
    }],
  ]) {
    await go();
    await started(page);
    const shown = await page.evaluate(() => document.getElementById('watching').style.display === 'block');
    const end = await waitFrame(page, lastFrame, LONG);
    check(shown && end.same, `${how}: the page says it plays a replay and ends on the native watch's last frame` +
                             (end.same ? '' : ` (${end.differ} pixels differ)`));
  }
  await page.keyboard.press('Escape');
  said = await waitSaid(page);
  check(said.startsWith('The replay has closed.'), `Escape leaves the replay: ${said}`);

  // What cannot be watched says why: a damaged replay, one on another site.
  body = Buffer.from(last);
  body[body.length - 1] ^= 1;
  const elsewhere = encodeURIComponent(url.replace('127.0.0.1', 'localhost') + 'game.rdr');
  for (const [where, why] of [[served, `${served} is not a valid replay`], [elsewhere, 'only fetched from this site']]) {
    await page.goto(url + '?watch=' + where);
    said = await waitSaid(page);
    check(said.includes(why), `?watch=${decodeURIComponent(where)}: ${said}`);
  }

  // Watching keeps nothing of its own.
  const after = await stored(page);
  check(after['lastgame.rdr'].equals(last) && after['bestgame.rdr'].equals(last) &&
        after['record.dat'].equals(kept['record.dat']), 'watching changes none of the kept files');
  check(errors.length === 0, `no page errors ${errors.join('; ')}`);
} finally {
  await close();
}
finish('replay');
