// The browser edition playing for the score site that serves it (docs/scores.md),
// as `reefdart --scores URL` does on the desktop:
// - the page asks its own site for GET /health; a site that answers ok makes
//   this an online page, and a first ticket is fetched before the program
//   starts (platform/web/online.cpp waits for `settled`);
// - one ticket is kept at hand, fetched in the background, so the program
//   takes it (take) without waiting; one older than nine minutes is dropped;
// - a game's start is announced when its ticket is taken, its end and replay
//   when it is over (send). The replay waits in the browser's storage (an
//   outbox in localStorage) until the site has answered, so it outlives a
//   reload or a closed page and goes when the page is next opened;
// - after each online game the page offers to publish it under a name, with
//   this browser's random key (both kept in localStorage).
// The state is published as window.reefdartOnline.
(function () {
  'use strict';
  var TICKET_SHELF_LIFE_MS = 9 * 60 * 1000; // a ticket lives ten minutes unstarted
  var TIMEOUT_MS = 10000;
  var RETRY_MS = 5000, RETRY_MAX_MS = 60000;
  var POLL_MS = 500, POLL_SLOW_MS = 5000, POLL_FAST_FOR_MS = 120000;
  var OUTBOX = 'reefdart-outbox:', NAME = 'reefdart-name', KEY = 'reefdart-key';

  var o = window.reefdartOnline = {
    site: false,      // the page is served by a score site
    settled: false,   // the site has been asked, and the first ticket fetched or not
    host: location.host,
    ticket: null,     // at hand: {id, seed, at}
    fetching: false,
    retry: RETRY_MS,
    sending: {},      // tickets being delivered
    offer: null,      // the last game offered to be published
    take: function () { return null; },
    send: function () {}
  };

  function storage() {
    try {
      return window.localStorage;
    } catch (e) {
      return null;
    }
  }
  function load(name) {
    var s = storage();
    try {
      return s ? s.getItem(name) : null;
    } catch (e) {
      return null;
    }
  }
  function store(name, value) {
    var s = storage();
    try {
      if (!s) return false;
      if (value === null) s.removeItem(name);
      else s.setItem(name, value);
      return true;
    } catch (e) {
      return false;
    }
  }

  // {status, body}: status 0 when the site did not answer.
  function request(method, path, body, type) {
    var abort = typeof AbortController === 'function' ? new AbortController() : null;
    var timer = setTimeout(function () { if (abort) abort.abort(); }, TIMEOUT_MS);
    var init = { method: method, cache: 'no-store', signal: abort ? abort.signal : undefined };
    if (body !== undefined) {
      init.body = body;
      init.headers = { 'Content-Type': type || 'application/json' };
    }
    return fetch(path, init).then(function (r) {
      return r.text().then(function (text) {
        var json = null;
        try {
          json = text ? JSON.parse(text) : null;
        } catch (e) {
        }
        return { status: r.status, body: json };
      });
    }).catch(function () {
      return { status: 0, body: null };
    }).then(function (answer) {
      clearTimeout(timer);
      return answer;
    });
  }
  // Whether the site answered at all (a refusal is an answer too).
  function answered(a) {
    return a.status > 0 && a.status !== 429 && a.status < 500;
  }
  function refusal(a) {
    return a.body && typeof a.body.refused === 'string' ? a.body.refused
      : 'the site answered ' + a.status;
  }
  function later(then, ms) {
    setTimeout(then, ms);
  }

  // --- tickets -------------------------------------------------------------

  function fetchTicket() {
    if (o.fetching) return Promise.resolve();
    o.fetching = true;
    return request('POST', '/api/tickets').then(function (a) {
      o.fetching = false;
      var b = a.body;
      if (a.status === 201 && b && typeof b.ticket === 'string' && /^[A-Za-z0-9_-]{1,32}$/.test(b.ticket) &&
          typeof b.seed === 'number' && b.seed >= 0 && b.seed <= 0xFFFFFFFF) {
        var ticket = o.ticket = { id: b.ticket, seed: b.seed, at: Date.now() };
        o.retry = RETRY_MS;
        // An unused ticket is replaced before the site lets it expire.
        later(function () {
          if (o.ticket === ticket) {
            o.ticket = null;
            fetchTicket();
          }
        }, TICKET_SHELF_LIFE_MS);
        return;
      }
      later(fetchTicket, o.retry);
      o.retry = Math.min(o.retry * 2, RETRY_MAX_MS);
    });
  }

  function announceStart(id, wait) {
    request('POST', '/api/tickets/' + id + '/start').then(function (a) {
      if (!answered(a)) later(function () { announceStart(id, Math.min(wait * 2, RETRY_MAX_MS)); }, wait);
    });
  }

  // The ticket for the game starting now, or null: never waits.
  o.take = function () {
    var t = o.ticket, fresh = t && Date.now() - t.at < TICKET_SHELF_LIFE_MS;
    o.ticket = null;
    // The last game's answer is done with once another starts.
    if (o.offer && (o.offer.state === 'ranked' || o.offer.state === 'refused') && element('online'))
      element('online').hidden = true;
    if (fresh) announceStart(t.id, RETRY_MS);
    fetchTicket();
    return fresh ? { id: t.id, seed: t.seed } : null;
  };

  // --- the outbox ------------------------------------------------------------

  function toBase64(bytes) {
    var text = '';
    for (var i = 0; i < bytes.length; i += 8192)
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
    return btoa(text);
  }
  function fromBase64(text) {
    var bin = atob(text), bytes = new Uint8Array(bin.length);
    for (var i = 0; i < bin.length; i++) bytes[i] = bin.charCodeAt(i);
    return bytes;
  }

  // A game is over: its replay goes into the outbox, then its end is
  // announced and the replay sent.
  o.send = function (bytes, id, hash) {
    var entry = { replay: toBase64(bytes), hash: hash, finish: true };
    if (!store(OUTBOX + id, JSON.stringify(entry)))
      console.warn('reefdart: the game could not be kept in the outbox; it is sent all the same');
    offer(id, 'sending', {});
    deliver(id, entry, RETRY_MS);
  };

  function deliver(id, entry, wait) {
    o.sending[id] = true;
    var retry = function () {
      later(function () { deliver(id, entry, Math.min(wait * 2, RETRY_MAX_MS)); }, wait);
    };
    var finish = entry.finish
      ? request('POST', '/api/tickets/' + id + '/finish', JSON.stringify({ final_hash: entry.hash }))
      : Promise.resolve({ status: 204 });
    finish.then(function (a) {
      if (!answered(a)) return retry();
      if (entry.finish) {
        entry.finish = false;
        if (load(OUTBOX + id) !== null) store(OUTBOX + id, JSON.stringify(entry));
      }
      return request('POST', '/api/runs', fromBase64(entry.replay), 'application/octet-stream').then(function (a) {
        if (!answered(a)) return retry();
        store(OUTBOX + id, null);
        delete o.sending[id];
        if (o.offer && o.offer.ticket !== id && o.offer.state !== 'ranked' && o.offer.state !== 'refused')
          return; // another game is on offer
        if (a.status === 200 || a.status === 202) runState(id, a);
        else offer(id, 'refused', { reason: refusal(a) });
      });
    });
  }

  // What an earlier page left unanswered goes now. Its end was announced
  // then or never: it is not announced again.
  function sendLeftovers() {
    var s = storage(), names = [];
    try {
      for (var i = 0; s && i < s.length; i++)
        if (s.key(i).indexOf(OUTBOX) === 0) names.push(s.key(i));
    } catch (e) {
    }
    names.forEach(function (name) {
      var id = name.slice(OUTBOX.length), entry = null;
      if (o.sending[id]) return;
      try {
        entry = JSON.parse(load(name));
      } catch (e) {
      }
      if (!entry || typeof entry.replay !== 'string') {
        store(name, null);
        return;
      }
      entry.finish = false;
      deliver(id, entry, RETRY_MS);
    });
  }

  // --- publishing ------------------------------------------------------------

  function key() {
    var k = load(KEY);
    if (k && /^[A-Za-z0-9_-]{16,64}$/.test(k)) return k;
    var alphabet = 'abcdefghijklmnopqrstuvwxyz0123456789', random = new Uint8Array(32);
    crypto.getRandomValues(random);
    k = '';
    for (var i = 0; i < random.length; i++) k += alphabet[random[i] % 36];
    store(KEY, k);
    return k;
  }

  function element(id) {
    return document.getElementById(id);
  }

  // Shows where the game on offer stands: sending, pending, verified,
  // publishing, ranked or refused.
  function offer(id, state, details) {
    var current = o.offer && o.offer.ticket === id ? o.offer : { ticket: id };
    o.offer = current;
    current.state = state;
    for (var name in details) current[name] = details[name];
    var panel = element('online');
    if (!panel) return;
    var text = {
      sending: 'Sending your game to ' + o.host + '…',
      pending: 'pending: the site is playing your game again…',
      verified: 'Your score of ' + current.score + ' is verified. Publish it?',
      publishing: 'pending: publishing…',
      ranked: 'ranked ' + current.rank +
        (current.weekRank !== null && current.weekRank !== undefined ? ' (this week ' + current.weekRank + ')' : '') +
        ': ' + current.name + ', ' + current.score,
      refused: 'refused: ' + current.reason
    }[state];
    element('online-state').textContent = text;
    var form = element('publish');
    form.hidden = !(state === 'verified' || state === 'publishing' || (state === 'refused' && current.retry));
    element('publish-button').disabled = state === 'publishing';
    panel.hidden = false;
  }

  // Follows a run the site has accepted until it is verified or refused.
  function runState(id, answer) {
    var since = Date.now();
    if (!o.offer || o.offer.ticket !== id) offer(id, 'pending', {});
    (function look(a) {
      if (!o.offer || o.offer.ticket !== id || o.offer.state === 'ranked') return;
      var b = a.body;
      if (a.status === 404) return offer(id, 'refused', { reason: refusal(a), retry: false });
      if (a.status < 300 && b && b.state === 'verified') return offer(id, 'verified', { score: b.score });
      if (a.status < 300 && b && b.state === 'refused') return offer(id, 'refused', { reason: b.reason, retry: false });
      offer(id, 'pending', {});
      later(function () {
        request('GET', '/api/runs/' + id + '?wait=5').then(look);
      }, Date.now() - since < POLL_FAST_FOR_MS ? POLL_MS : POLL_SLOW_MS);
    })(answer);
  }

  function publish(event) {
    event.preventDefault();
    var current = o.offer, name = element('publish-name').value.trim();
    if (!current || current.state === 'publishing') return;
    store(NAME, name);
    element('publish-name').blur(); // the keys go back to the game
    var id = current.ticket;
    offer(id, 'publishing', {});
    var since = Date.now();
    (function attempt() {
      request('POST', '/api/runs/' + id + '/publish?wait=5', JSON.stringify({ name: name, key: key() })).then(function (a) {
        if (o.offer !== current) return;
        var b = a.body;
        if (a.status === 200 && b && b.state === 'ranked')
          return offer(id, 'ranked', { rank: b.rank, weekRank: b.week_rank, name: b.name, score: b.score, id: b.id });
        if (a.status === 202 || !answered(a)) // still being verified, or no answer yet
          return later(attempt, Date.now() - since < POLL_FAST_FOR_MS ? POLL_MS : POLL_SLOW_MS);
        // A name taken or malformed may be changed; a refused run stays refused.
        offer(id, 'refused', { reason: refusal(a), retry: a.status !== 409 });
      });
    })();
  }

  function setUpPanel() {
    var form = element('publish');
    if (!form) return;
    element('publish-name').value = load(NAME) || '';
    element('publish-name').addEventListener('change', function (e) { store(NAME, e.target.value.trim()); });
    form.addEventListener('submit', publish);
    // The panel's buttons take no keyboard focus: the keys are the game's.
    element('online').addEventListener('mousedown', function (e) {
      if (e.target.tagName !== 'INPUT') e.preventDefault();
    });
  }

  // --- the start -------------------------------------------------------------

  function begin() {
    setUpPanel();
    if (location.protocol !== 'http:' && location.protocol !== 'https:') {
      o.settled = true;
      return;
    }
    request('GET', '/health').then(function (a) {
      if (!(a.status === 200 && a.body && a.body.ok === true)) {
        o.settled = true;
        return;
      }
      o.site = true;
      sendLeftovers();
      // A replay being watched plays no game of its own.
      if (new URLSearchParams(location.search).get('watch')) {
        o.settled = true;
        return;
      }
      fetchTicket().then(function () { o.settled = true; });
    });
  }

  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', begin);
  else begin();
})();
