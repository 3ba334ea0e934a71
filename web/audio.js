// The browser edition's sound output, driven by reefdart.wasm:
// - the mixer's mono 16-bit samples arrive from the program's main loop
//   (push) into a ring buffer that a ScriptProcessorNode plays; the program
//   asks how many samples to render next (wanted), so the ring stays about
//   TARGET samples ahead of the speaker;
// - the music modules are played by chiptune3 (libopenmpt as an AudioWorklet)
//   from the program's own module bytes, on the same AudioContext.
// Browsers start an AudioContext suspended until the first key press, click
// or touch; until then the mixer's output is dropped at its own pace.
// The state is published as window.reefdartAudio (and Module.reefdartAudio).
(function () {
  'use strict';
  var RING = 16384;          // samples the ring holds
  var TARGET = 2048;         // samples kept queued ahead of the speaker
  var MAX_DROPPED = 4096;    // samples dropped at once while suspended
  var RETRY_MS = 400;        // a module chiptune3 did not take is sent again
  var RETRIES = 25;

  var status = {
    context: 'none', rate: 0, samplesPulled: 0, underruns: 0, queued: 0, loudest: 0,
    baseLatency: 0, outputLatency: 0,
    music: 'stopped', musicId: 0, musicBytes: 0, musicLooping: false,
    musicLevel: 0, musicVolume: 0, musicStarted: false, musicSeconds: 0, musicError: ''
  };
  window.reefdartAudio = status;

  var a = {
    ctx: null, node: null, rate: 22050, open: false,
    ring: new Float32Array(RING), read: 0, fill: 0, frac: 0,
    dropUntil: 0, dropping: false,
    primed: false // samples have come since the context (re)started
  };
  // chiptune3: what the program wants and what the player was told.
  var m = {
    player: null, ready: false, modules: {},
    want: { id: 0, playing: false, looping: true, gain: 0 },
    sent: { id: 0, playing: false, looping: null },
    retries: 0, timer: 0
  };

  function publish() {
    if (window.Module) Module.reefdartAudio = status;
    if (!a.ctx) return;
    status.context = a.ctx.state;
    status.rate = a.ctx.sampleRate;
    status.baseLatency = a.ctx.baseLatency || 0;
    status.outputLatency = a.ctx.outputLatency || 0;
    status.queued = a.fill;
  }

  // Linear interpolation from the ring's rate to the context's.
  function playRing(e) {
    var out = e.outputBuffer.getChannelData(0);
    var step = a.rate / a.ctx.sampleRate, starved = false;
    for (var i = 0; i < out.length; i++) {
      if (a.fill <= 0) {
        out[i] = 0;
        starved = true;
        continue;
      }
      var s0 = a.ring[a.read], s1 = a.fill > 1 ? a.ring[(a.read + 1) % RING] : s0;
      out[i] = s0 + (s1 - s0) * a.frac;
      a.frac += step;
      while (a.frac >= 1 && a.fill > 0) {
        a.frac -= 1;
        a.read = (a.read + 1) % RING;
        a.fill--;
        status.samplesPulled++;
      }
    }
    if (starved && a.open && a.primed) status.underruns++;
    status.queued = a.fill;
  }

  function resume() {
    if (a.ctx && a.open && a.ctx.state !== 'running' && a.ctx.state !== 'closed')
      a.ctx.resume().catch(function () {});
  }

  function createContext(rate) {
    var ctx = null;
    try {
      ctx = new AudioContext({ sampleRate: rate });
    } catch (e) {
      try {
        ctx = new AudioContext(); // the ring is resampled to its rate
      } catch (e2) {
        console.warn('reefdart: no Web Audio (' + e2 + '); playing silent');
        return null;
      }
    }
    // About 46 ms a callback at 22050 Hz, the same time at other rates.
    var frames = 256;
    while (frames < 1024 * ctx.sampleRate / rate && frames < 16384) frames *= 2;
    a.node = ctx.createScriptProcessor(frames, 0, 1);
    a.node.onaudioprocess = playRing;
    a.node.connect(ctx.destination);
    ctx.onstatechange = function () {
      // Whatever was queued for a suspended context is stale by now.
      a.fill = 0;
      a.frac = 0;
      a.primed = false;
      a.dropUntil = performance.now();
      publish();
    };
    ['keydown', 'mousedown', 'touchstart', 'pointerdown'].forEach(function (type) {
      window.addEventListener(type, resume, true);
    });
    return ctx;
  }

  // --- music --------------------------------------------------------------

  function loadPlayer() {
    import('./chiptune3/chiptune3.js').then(function (lib) {
      var p = new lib.ChiptuneJsPlayer({ context: a.ctx, repeatCount: -1, stereoSeparation: 0 });
      p.gain.connect(a.ctx.destination);
      p.onInitialized(function () {
        m.ready = true;
        applyMusic();
      });
      p.onMetadata(function () {
        status.musicStarted = true;
        m.retries = 0;
        clearTimeout(m.timer);
      });
      p.onProgress(function (d) { status.musicSeconds = d.pos; });
      p.onError(function (e) { status.musicError = e && e.type ? e.type : 'error'; });
      m.player = p;
    }).catch(function (e) {
      status.musicError = 'chiptune3 could not be loaded (' + e + ')';
      console.warn('reefdart: no music: ' + status.musicError);
    });
  }

  function startModule() {
    var bytes = m.modules[m.want.id];
    if (!bytes) return;
    status.musicStarted = false;
    status.musicSeconds = 0;
    m.player.setRepeatCount(m.want.looping ? -1 : 0);
    m.player.play(bytes.slice().buffer);
    // The worklet may still be compiling libopenmpt: send it again until
    // the player reports the module's details.
    clearTimeout(m.timer);
    m.timer = setTimeout(function () {
      if (status.musicStarted || m.sent.id !== m.want.id || !m.want.playing) return;
      if (++m.retries > RETRIES) {
        status.musicError = 'the music player did not take the module';
        return;
      }
      startModule();
    }, RETRY_MS);
  }

  function applyMusic() {
    var w = m.want, s = m.sent;
    status.music = w.playing ? 'playing' : 'stopped';
    status.musicId = w.id;
    status.musicBytes = m.modules[w.id] ? m.modules[w.id].length : 0;
    status.musicLooping = w.looping;
    status.musicVolume = w.gain;
    if (!m.player || !m.ready) return;
    m.player.setVol(w.gain);
    if (w.playing && s.id !== w.id) {
      m.retries = 0;
      startModule();
      s.id = w.id;
      s.looping = w.looping;
    } else if (w.playing && !s.playing) {
      m.player.unpause();
    } else if (!w.playing && s.playing) {
      m.player.pause();
    }
    if (s.id === w.id && s.looping !== w.looping) {
      m.player.setRepeatCount(w.looping ? -1 : 0);
      s.looping = w.looping;
    }
    s.playing = w.playing;
  }

  window.reefdartSound = {
    // 1 when there is an AudioContext to play into (it may wait for a gesture).
    open: function (rate) {
      if (!a.ctx) {
        a.rate = rate;
        a.ctx = createContext(rate);
        if (!a.ctx) return 0;
        loadPlayer();
      }
      a.open = true;
      a.fill = 0;
      a.dropUntil = performance.now();
      publish();
      resume();
      return 1;
    },
    close: function () {
      a.open = false;
      a.fill = 0;
      m.want.playing = false;
      applyMusic();
      if (a.ctx && a.ctx.state === 'running') a.ctx.suspend().catch(function () {});
      publish();
    },
    // How many samples the program should render now. While the context
    // does not run they are dropped, as many as the time passed.
    wanted: function () {
      if (!a.open) return 0;
      var now = performance.now();
      if (a.ctx.state !== 'running') {
        a.dropping = true;
        if (now - a.dropUntil > 1000) a.dropUntil = now - 1000;
        var n = Math.min(Math.floor((now - a.dropUntil) * a.rate / 1000), MAX_DROPPED);
        if (n > 0) a.dropUntil += n * 1000 / a.rate;
        return n > 0 ? n : 0;
      }
      a.dropping = false;
      return Math.max(0, TARGET - a.fill);
    },
    push: function (samples) {
      if (!a.open || a.dropping) return;
      a.primed = true;
      for (var i = 0; i < samples.length && a.fill < RING; i++) {
        var v = samples[i];
        a.ring[(a.read + a.fill) % RING] = v / 32768;
        a.fill++;
        if (v < 0) v = -v;
        if (v > status.loudest) status.loudest = v;
      }
      publish();
    },
    loadMusic: function (id, bytes) { m.modules[id] = bytes; },
    forgetMusic: function (id) {
      delete m.modules[id];
      if (m.want.id === id) {
        m.want.playing = false;
        applyMusic();
      }
    },
    // The mixer plays module id at level (0..64 of the speaker) times gain.
    playMusic: function (id, looping, level, gain) {
      var w = m.want;
      status.musicLevel = level;
      if (w.id === id && w.playing && w.looping === looping && w.gain === gain) return;
      w.id = id;
      w.playing = true;
      w.looping = looping;
      w.gain = gain;
      applyMusic();
    },
    stopMusic: function () {
      if (!m.want.playing) return;
      m.want.playing = false;
      applyMusic();
    }
  };
})();
