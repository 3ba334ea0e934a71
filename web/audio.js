// The browser edition's sound output, driven by reefdart.wasm:
// - the mixer's mono 16-bit samples arrive from the program's main loop
//   (push) and go in blocks to an AudioWorklet (web/mixer.worklet.js), their
//   memory transferred, into the ring it plays from on the audio thread; the
//   program asks how many samples to render next (wanted), so the ring stays
//   about TARGET samples ahead of the speaker by the node's own reports of
//   what it has played;
// - the music modules are played by chiptune3 (libopenmpt as an AudioWorklet)
//   from the program's own module bytes, on the same AudioContext.
// Browsers only let a page start its sound after a key press, click or touch:
// the AudioContext is made on the first one, and until then the mixer's
// output is dropped at its own pace. Both go through one gain, the page's
// sound switch (setMuted, kept in localStorage).
// The state is published as window.reefdartAudio (and Module.reefdartAudio);
// window.reefdartSound.onchange, when set, hears when the context starts or
// stops and when the switch turns.
(function () {
  'use strict';
  var TARGET = 2048;         // samples kept queued ahead of the speaker
  var MAX_DROPPED = 4096;    // samples dropped at once while there is no output
  var RETRY_MS = 400;        // a module chiptune3 did not take is sent again
  var RETRIES = 25;
  var MUTED = 'reefdart-sound-off';
  var GESTURES = ['keydown', 'mousedown', 'pointerdown', 'pointerup', 'touchend', 'click'];

  var status = {
    context: 'none', rate: 0, samplesPulled: 0, underruns: 0, queued: 0, loudest: 0,
    baseLatency: 0, outputLatency: 0, output: 'none', muted: false,
    music: 'stopped', musicId: 0, musicBytes: 0, musicLooping: false,
    musicLevel: 0, musicVolume: 0, musicStarted: false, musicSeconds: 0, musicError: ''
  };
  window.reefdartAudio = status;

  var a = {
    ctx: null, node: null, master: null, rate: 22050, open: false, failed: false,
    epoch: 0, sent: 0, played: 0, pulledBefore: 0, // samples this epoch, and before it
    dropUntil: 0, dropping: false,
    told: '' // the state the page was last told of
  };
  // chiptune3: what the program wants and what the player was told.
  var m = {
    player: null, ready: false, modules: {},
    want: { id: 0, playing: false, looping: true, gain: 0 },
    sent: { id: 0, playing: false, looping: null },
    retries: 0, timer: 0
  };

  try {
    status.muted = window.localStorage.getItem(MUTED) === '1';
  } catch (e) {
  }

  function publish() {
    if (window.Module) Module.reefdartAudio = status;
    if (a.ctx) {
      status.context = a.ctx.state;
      status.rate = a.ctx.sampleRate;
      status.baseLatency = a.ctx.baseLatency || 0;
      status.outputLatency = a.ctx.outputLatency || 0;
    }
    status.queued = Math.max(0, a.sent - a.played);
    var now = status.context + (status.muted ? ' muted' : '');
    if (now !== a.told) {
      a.told = now;
      if (window.reefdartSound.onchange) window.reefdartSound.onchange(status);
    }
  }

  // Whatever was queued for a context that stopped is stale once it runs again.
  function clearOutput() {
    a.pulledBefore += a.played;
    a.epoch++;
    a.sent = a.played = 0;
    a.dropUntil = performance.now();
    if (a.node) a.node.port.postMessage({ clear: a.epoch });
  }

  function heard(e) {
    var d = e.data;
    if (d.epoch !== a.epoch) return;
    a.played = d.played;
    status.samplesPulled = a.pulledBefore + d.played;
    status.underruns = d.underruns;
    publish();
  }

  function startOutput(ctx) {
    ctx.audioWorklet.addModule('mixer.worklet.js').then(function () {
      a.node = new AudioWorkletNode(ctx, 'reefdart-mixer', {
        numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [1],
        processorOptions: { rate: a.rate }
      });
      a.node.port.onmessage = heard;
      a.node.connect(a.master);
      status.output = 'worklet';
      clearOutput();
      publish();
    }).catch(function (e) {
      status.output = 'none';
      console.warn('reefdart: no sound effects (' + e + ')');
    });
  }

  function createContext() {
    var ctx = null;
    try {
      ctx = new AudioContext({ sampleRate: a.rate });
    } catch (e) {
      try {
        ctx = new AudioContext(); // the worklet resamples to its rate
      } catch (e2) {
        console.warn('reefdart: no Web Audio (' + e2 + '); playing silent');
        return null;
      }
    }
    if (!ctx.audioWorklet) {
      console.warn('reefdart: this browser plays no AudioWorklet; playing silent');
      ctx.close();
      return null;
    }
    a.master = ctx.createGain();
    a.master.gain.value = status.muted ? 0 : 1;
    a.master.connect(ctx.destination);
    ctx.onstatechange = function () {
      clearOutput();
      publish();
    };
    return ctx;
  }

  // The first gesture makes the context (the browser lets it run then);
  // later ones start it again if it stopped.
  function gesture() {
    if (!a.open) return;
    // Not every event is one the browser lets sound start on (a touch starts
    // it when it lifts, not when it lands).
    if (navigator.userActivation && !navigator.userActivation.isActive) return;
    if (!a.ctx && !a.failed) {
      a.ctx = createContext();
      if (!a.ctx) {
        a.failed = true;
        return;
      }
      startOutput(a.ctx);
      loadPlayer();
      publish();
    }
    if (a.ctx && a.ctx.state !== 'running' && a.ctx.state !== 'closed')
      a.ctx.resume().then(publish, function () {});
  }
  GESTURES.forEach(function (type) { window.addEventListener(type, gesture, true); });

  // --- music --------------------------------------------------------------

  function loadPlayer() {
    import('./chiptune3/chiptune3.js').then(function (lib) {
      var p = new lib.ChiptuneJsPlayer({ context: a.ctx, repeatCount: -1, stereoSeparation: 0 });
      p.gain.connect(a.master);
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
    onchange: null,
    // 1 when the page can play sound (it may wait for a gesture).
    open: function (rate) {
      if (typeof AudioContext !== 'function' || a.failed) return 0;
      a.rate = rate;
      if (!a.ctx) status.rate = rate;
      a.open = true;
      clearOutput();
      publish();
      if (a.ctx && a.ctx.state !== 'running' && navigator.userActivation &&
          navigator.userActivation.isActive)
        a.ctx.resume().catch(function () {});
      return 1;
    },
    close: function () {
      a.open = false;
      clearOutput();
      m.want.playing = false;
      applyMusic();
      if (a.ctx && a.ctx.state === 'running') a.ctx.suspend().catch(function () {});
      publish();
    },
    // The page's sound switch.
    setMuted: function (muted) {
      status.muted = !!muted;
      try {
        window.localStorage.setItem(MUTED, muted ? '1' : '0');
      } catch (e) {
      }
      if (a.master) a.master.gain.value = muted ? 0 : 1;
      publish();
    },
    // How many samples the program should render now. Until the output runs
    // they are dropped, as many as the time passed.
    wanted: function () {
      if (!a.open) return 0;
      var now = performance.now();
      if (!a.ctx || a.ctx.state !== 'running' || !a.node) {
        a.dropping = true;
        if (now - a.dropUntil > 1000) a.dropUntil = now - 1000;
        var n = Math.min(Math.floor((now - a.dropUntil) * a.rate / 1000), MAX_DROPPED);
        if (n > 0) a.dropUntil += n * 1000 / a.rate;
        return n > 0 ? n : 0;
      }
      a.dropping = false;
      return Math.max(0, TARGET - (a.sent - a.played));
    },
    push: function (samples) {
      if (!a.open || a.dropping || !a.node) return;
      var block = new Float32Array(samples.length);
      for (var i = 0; i < samples.length; i++) {
        var v = samples[i];
        block[i] = v / 32768;
        if (v < 0) v = -v;
        if (v > status.loudest) status.loudest = v;
      }
      a.sent += block.length;
      a.node.port.postMessage({ epoch: a.epoch, samples: block }, [block.buffer]);
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
