// The mixer's output on the audio thread. web/audio.js sends the program's
// mono samples here in blocks (Float32Array, their memory transferred, not
// copied); they wait in a ring and are played, resampled linearly when the
// context runs at another rate than the mixer. Every few render quanta the
// node tells the page how many samples it has played, so that the program
// renders just enough ahead of the speaker.
const RING = 16384;        // samples the ring holds
const REPORT_FRAMES = 512; // output frames between two reports

class MixerProcessor extends AudioWorkletProcessor {
  constructor(options) {
    super();
    this.rate = (options.processorOptions && options.processorOptions.rate) || sampleRate;
    this.ring = new Float32Array(RING);
    this.read = 0;
    this.fill = 0;
    this.frac = 0;
    this.epoch = 0;     // the page's count of clears: reports carry it
    this.played = 0;    // samples taken from the ring since the last clear
    this.underruns = 0;
    this.primed = false; // samples have come since the last clear
    this.sinceReport = 0;
    this.port.onmessage = (e) => this.take(e.data);
  }

  take(data) {
    if (data.clear !== undefined) {
      this.epoch = data.clear;
      this.read = this.fill = this.frac = this.played = 0;
      this.primed = false;
      return;
    }
    if (data.epoch !== this.epoch) return; // sent before a clear
    const samples = data.samples;
    this.primed = true;
    for (let i = 0; i < samples.length && this.fill < RING; i++) {
      this.ring[(this.read + this.fill) % RING] = samples[i];
      this.fill++;
    }
  }

  process(inputs, outputs) {
    const out = outputs[0][0];
    const step = this.rate / sampleRate;
    let starved = false;
    for (let i = 0; i < out.length; i++) {
      if (this.fill <= 0) {
        out[i] = 0;
        starved = true;
        continue;
      }
      const s0 = this.ring[this.read];
      const s1 = this.fill > 1 ? this.ring[(this.read + 1) % RING] : s0;
      out[i] = s0 + (s1 - s0) * this.frac;
      this.frac += step;
      while (this.frac >= 1 && this.fill > 0) {
        this.frac -= 1;
        this.read = (this.read + 1) % RING;
        this.fill--;
        this.played++;
      }
    }
    if (starved && this.primed) this.underruns++;
    this.sinceReport += out.length;
    if (this.sinceReport >= REPORT_FRAMES) {
      this.sinceReport = 0;
      this.port.postMessage({ epoch: this.epoch, played: this.played, fill: this.fill,
                              underruns: this.underruns });
    }
    return true;
  }
}

registerProcessor('reefdart-mixer', MixerProcessor);
