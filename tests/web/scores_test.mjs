// The browser edition served by the score site (reefdart-scores --site): a
// ticket before the game, the game announced and its replay verified by the
// site, published under a typed name (a reserved one refused), on both boards
// and the /boards page, watched from the site to the native watch's last
// frame; a replay not sent before its page closed goes from the outbox next
// time, and the name and the browser's key are kept over the reload.
// Usage: node scores_test.mjs SITE_URL CHROMIUM NATIVE_REEFDART WORK_DIR
import fs from 'node:fs';
import path from 'node:path';
import { check, finish, gameBrowser, holds, nativeWatch, playGame, started, verify, LONG } from './browser.mjs';
import { readPng, waitFrame } from './pixels.mjs';

const [site, executable, native, work] = process.argv.slice(2);
const play = site + 'play/', NAME = 'Web Fish';
const api = async (what) => (await fetch(site + what)).json().catch(() => null);

// What the page knows of its site and shows of it.
const online = (page) => page.evaluate(() => {
  const o = window.reefdartOnline, shown = (id) => !document.getElementById(id).hidden;
  return { site: o.site, settled: o.settled, ticket: o.ticket && o.ticket.id, offer: o.offer && { ...o.offer },
           state: document.getElementById('online-state').textContent, panel: shown('online'), form: shown('publish') };
});

// Waits until the offer is in one of the states; the page's online state then.
async function offer(page, ...states) {
  await holds(page, (states) => window.reefdartOnline.offer && states.includes(window.reefdartOnline.offer.state), states);
  return online(page);
}

const outbox = (page) => page.evaluate(() => Object.fromEntries(Object.keys(localStorage)
  .filter((name) => name.startsWith('reefdart-outbox:')).map((name) => [name.slice(16), JSON.parse(localStorage[name])])));

// The site's API requests a page makes, as "METHOD /path".
function apiLog(page) {
  const log = [];
  page.on('request', (r) => {
    const p = new URL(r.url()).pathname;
    if (p.startsWith('/api/') || p === '/health') log.push(`${r.method()} ${p}`);
  });
  return log;
}

const { context, page, errors, close } = await gameBrowser(executable);
try {
  let log = apiLog(page);

  // The page finds its site and a ticket before the game starts.
  await page.goto(play);
  await started(page);
  let o = await online(page);
  check(o.site && o.settled && o.ticket && !o.panel,
        `served by the site the page plays online, a ticket at hand before the game: ${o.ticket}`);
  const ticket = o.ticket;

  await playGame(page);
  await offer(page, 'verified', 'refused');
  await holds(page, (t) => window.reefdartOnline.ticket && window.reefdartOnline.ticket.id !== t, ticket);
  o = await online(page);
  check(o.offer && o.offer.ticket === ticket && o.offer.state === 'verified' && o.panel && o.form,
        `after the game the page offers to publish it: "${o.state}"`);
  check(o.ticket && o.ticket !== ticket, `the next game's ticket is at hand: ${o.ticket}`);
  const order = [`POST /api/tickets/${ticket}/start`, `POST /api/tickets/${ticket}/finish`, 'POST /api/runs'];
  const at = order.map((r) => log.indexOf(r));
  check(log[0] === 'GET /health' && log[1] === 'POST /api/tickets' && at.every((i, n) => i > 0 && (n === 0 || i > at[n - 1])),
        `the page asked its site, took a ticket, announced the start and the end and sent the replay: ${log.join(', ')}`);
  const run = await api(`api/runs/${ticket}`);
  check(run && run.state === 'verified' && run.score === o.offer.score, `the site verified the run: ${JSON.stringify(run)}`);
  const score = run && run.score;
  check(Object.keys(await outbox(page)).length === 0, 'the outbox is empty once the site has answered');

  // A reserved name is refused with the site's reason; the name typed into
  // the page is the field's, not the game's, and ranks the run.
  await page.fill('#publish-name', 'admin');
  await page.click('#publish-button');
  o = await offer(page, 'refused');
  check(o.state === 'refused: that name is reserved' && o.form, `a reserved name: "${o.state}"`);
  await page.fill('#publish-name', '');
  await page.click('#publish-name');
  await page.keyboard.type(NAME);
  await page.keyboard.press('Enter');
  o = await offer(page, 'ranked', 'refused');
  check(o.offer.state === 'ranked' && o.state === `ranked 1 (this week 1): ${NAME}, ${score}` && !o.form,
        `published: "${o.state}"`);
  const typed = await page.evaluate(() => window.reefdartOnline.ticket);
  check(typed && typed.id === o.ticket, 'the keys typed into the name field started no game');
  const entry = o.offer.id;

  // Both boards, and the page of boards.
  for (const board of ['week', 'all']) {
    const b = await api(`api/boards/${board}`);
    const top = b && b.entries[0];
    check(top && top.name === NAME && top.score === score && top.id === entry && top.rank === 1,
          `the ${board} board: ${JSON.stringify(top)}`);
  }
  const boards = (await (await fetch(site + 'boards')).text()).split('<h2>All time</h2>');
  const listed = boards.map((part) => part.split('<tr>').some((row) =>
    row.includes(`>${NAME}</a></td><td>${score}</td>`) && row.includes(`/play/?watch=/api/entries/${entry}/replay`)));
  check(boards.length === 2 && listed.every(Boolean),
        `the /boards page lists ${NAME} with ${score} on both boards, with the run to watch`);

  // The stored replay: the native program verifies it to the site's score,
  // and the page watches it, taking no ticket, to the native watch's last frame.
  const replay = path.join(work, 'site-game.rdr');
  fs.writeFileSync(replay, Buffer.from(await (await fetch(`${site}api/entries/${entry}/replay`)).arrayBuffer()));
  const verified = verify(native, replay);
  check(verified.score === score, `the native program verifies the stored replay: ${verified.text}`);
  const lastFrame = await readPng(page, nativeWatch(native, replay));
  log = apiLog(page);
  await page.goto(`${play}?watch=/api/entries/${entry}/replay`);
  await started(page);
  const end = await waitFrame(page, lastFrame, LONG);
  check(end.same && !log.includes('POST /api/tickets'),
        `watched from the site, the run ends on the native watch's last frame and takes no ticket: ${log.join(', ')}` +
        (end.same ? '' : ` (${end.differ} pixels differ)`));

  // A game whose replay the site has not answered when its page closes...
  await page.goto('about:blank');
  const other = await context.newPage();
  await other.route('**/api/runs', (route) => route.abort());
  await other.goto(play);
  await started(other);
  const second = (await online(other)).ticket;
  await playGame(other);
  await holds(other, (t) => {
    const e = localStorage.getItem('reefdart-outbox:' + t);
    return e && JSON.parse(e).finish === false;
  }, second);
  const left = await outbox(other);
  check(left[second] && left[second].finish === false && Object.keys(left).length === 1,
        'a replay the site has not answered stays in the outbox, its end announced');
  await other.close();
  // ... goes when the page opens again; the name is still there.
  log = apiLog(page);
  await page.goto(play);
  await started(page);
  await holds(page, () => !Object.keys(localStorage).some((k) => k.startsWith('reefdart-outbox:')));
  check(Object.keys(await outbox(page)).length === 0 && log.includes('POST /api/runs') &&
        !log.includes(`POST /api/tickets/${second}/finish`), `the next page sends it: ${log.join(', ')}`);
  o = await offer(page, 'verified', 'refused');
  check(o.offer && o.offer.ticket === second && o.offer.state === 'verified', `the page offers it: "${o.state}"`);
  const name = await page.inputValue('#publish-name');
  check(name === NAME, `the name is kept over a reload: "${name}"`);
  // The same browser keeps its key: the name it holds publishes again.
  await page.click('#publish-button');
  o = await offer(page, 'ranked', 'refused');
  check(o.offer.state === 'ranked' && o.offer.name === NAME, `the next run published under the same name: "${o.state}"`);
  check(errors.length === 0, `no page errors ${errors.join('; ')}`);
} finally {
  await close();
}
finish('score site');
