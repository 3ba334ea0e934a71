// One running game per browser, as one per data folder on the desktop: the
// page that runs the program holds a lock on the stored files from before it
// reads them until its game has closed and they are saved.
// - The lock is a Web Lock (navigator.locks) where the browser has them (a
//   page served over https or from 127.0.0.1); elsewhere a lease in
//   localStorage that its holder renews every few seconds, and which lapses
//   when it stops; with no localStorage either, every page simply plays.
// - A page that cannot have it says so (Module.reefdartElsewhere) and waits:
//   it starts by itself once the other page lets go (its game closed, the
//   page hidden or closed), or when the player takes over, which asks the
//   holder (a BroadcastChannel, or a localStorage event without one) to close
//   its game as hiding the page does.
// The host (platform/web/host.cpp) asks for it before it reads the files,
// answers the holder's side of a take-over and lets go after its last save.
// The state is published as window.reefdartLock.
(function () {
  'use strict';
  var NAME = 'reefdart-data';
  var LEASE = 'reefdart-lease', ASK = 'reefdart-take-over';
  var LEASE_MS = 10000, RENEW_MS = 2000, LOOK_MS = 1000;
  var me = Math.random().toString(36).slice(2) + Date.now().toString(36);

  var l = window.reefdartLock = {
    how: '',            // 'locks', 'lease' or 'none'
    state: 'idle',      // 'waiting', 'elsewhere', 'held', 'released'
    takingOver: false,  // this page asked the holder to close its game
    takenOver: false,   // another page asked this one to close its game
    acquire: acquire,   // acquire(then): then() runs once the lock is held
    release: release,
    takeOver: takeOver,
    onAsked: null       // the host's: close the game (then release)
  };

  function storage() {
    try {
      return window.localStorage || null;
    } catch (e) {
      return null;
    }
  }

  // The messages between the pages of this site.
  var channel = null;
  try {
    if (typeof BroadcastChannel === 'function') channel = new BroadcastChannel(NAME);
  } catch (e) {
    channel = null;
  }
  function post(message) {
    if (channel) {
      channel.postMessage(message);
      return;
    }
    var s = storage();
    try {
      // A new value each time, so that the other pages hear every one.
      if (s) s.setItem(ASK, JSON.stringify({ type: message.type, from: me, at: Math.random() }));
    } catch (e) {
    }
  }
  function heard(message) {
    if (!message || message.type !== 'take-over' || message.from === me || l.state !== 'held') return;
    l.takenOver = true;
    // A program that stopped with an error cannot save: the files stay as
    // its last save left them.
    if (typeof ABORT !== 'undefined' && ABORT) release();
    else if (l.onAsked) l.onAsked();
  }
  if (channel) channel.onmessage = function (e) { heard(e.data); };
  window.addEventListener('storage', function (e) {
    if (e.key === ASK && e.newValue && !channel) {
      try {
        heard(JSON.parse(e.newValue));
      } catch (err) {
      }
    }
    if (e.key === LEASE && l.how === 'lease' && l.state === 'elsewhere') tryLease();
  });

  var granted = null;     // then, until it has run
  var letGo = null;       // ends the Web Lock's hold
  var renewing = 0, looking = 0;

  function held() {
    l.state = 'held';
    var then = granted;
    granted = null;
    if (then) then();
  }
  function elsewhere() {
    l.state = 'elsewhere';
    if (window.Module && Module.reefdartElsewhere) Module.reefdartElsewhere(takeOver);
  }

  function acquire(then) {
    if (l.state !== 'idle') return;
    granted = then;
    l.state = 'waiting';
    var locks = navigator.locks;
    if (locks && typeof locks.request === 'function') {
      l.how = 'locks';
      var hold = function () {
        held();
        return new Promise(function (resolve) { letGo = resolve; });
      };
      locks.request(NAME, { ifAvailable: true }, function (lock) {
        if (lock) return hold();
        elsewhere();
        locks.request(NAME, hold);
        return null;
      });
      return;
    }
    if (!storage()) {
      l.how = 'none';
      held();
      return;
    }
    l.how = 'lease';
    if (!tryLease()) {
      elsewhere();
      looking = setInterval(tryLease, LOOK_MS);
    }
  }

  // The lease: {id, until}, taken when there is none, it has lapsed or it
  // is this page's own.
  function readLease() {
    try {
      return JSON.parse(storage().getItem(LEASE) || 'null');
    } catch (e) {
      return null;
    }
  }
  function writeLease() {
    try {
      storage().setItem(LEASE, JSON.stringify({ id: me, until: Date.now() + LEASE_MS }));
      return true;
    } catch (e) {
      return false;
    }
  }
  function tryLease() {
    if (l.state !== 'waiting' && l.state !== 'elsewhere') return false;
    var lease = readLease();
    if (lease && lease.id !== me && lease.until > Date.now()) return false;
    if (!writeLease()) {
      // Storage that cannot be written cannot be shared either.
      l.how = 'none';
    } else if ((readLease() || {}).id !== me) {
      return false;
    }
    clearInterval(looking);
    if (l.how === 'lease') {
      renewing = setInterval(function () {
        var lease = readLease();
        // Another page took a lease this page let lapse: the save guard
        // (the files' generation) keeps this page from overwriting its files.
        if (!lease || lease.id === me) writeLease();
      }, RENEW_MS);
    }
    held();
    return true;
  }

  function release() {
    if (l.state !== 'held') return;
    l.state = 'released';
    if (letGo) letGo();
    letGo = null;
    if (l.how === 'lease') {
      clearInterval(renewing);
      if ((readLease() || {}).id === me) {
        try {
          storage().removeItem(LEASE);
        } catch (e) {
        }
      }
    }
  }
  // A closing page gives its lease back (a Web Lock goes by itself).
  window.addEventListener('pagehide', function (e) {
    if (!e.persisted && l.how === 'lease') release();
  });

  // Asks the holder to close its game; this page has the lock once that
  // game is saved and the holder lets go.
  function takeOver() {
    if (l.state !== 'elsewhere') return;
    l.takingOver = true;
    post({ type: 'take-over', from: me });
    if (window.Module && Module.reefdartTakingOver) Module.reefdartTakingOver();
  }
})();
