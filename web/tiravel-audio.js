// The web player's AudioWorklet processor: the page posts each console
// frame's sound (interleaved stereo floats at the console's rate) and it is
// played from a ring buffer resampled to the audio context's rate (see
// audio-ring.js). Messages in: { sound: Float32Array } (transferred),
// { rate }, { gain }, { clear: true }, { stats: id }; out: { stats: id,
// framesPlayed, peak, underruns, fill }.
import { SoundRing } from './audio-ring.js';

class TiravelAudio extends AudioWorkletProcessor {
  constructor() {
    super();
    // About 85 ms at 48 kHz held back: enough for a late animation frame or
    // two, short enough that a key's sound follows the key.
    const target = Math.round(sampleRate * 0.085);
    this.ring = new SoundRing(Math.round(sampleRate * 0.5), target);
    this.ring.setRates(44100, sampleRate);
    this.gain = 1;
    this.port.onmessage = (event) => {
      const m = event.data;
      if (m.sound) this.ring.push(m.sound);
      if (m.rate) this.ring.setRates(m.rate, sampleRate);
      if (m.gain !== undefined) this.gain = m.gain;
      if (m.clear) this.ring.clear();
      if (m.stats !== undefined)
        this.port.postMessage({ stats: m.stats, framesPlayed: this.ring.framesPlayed, peak: this.ring.peak,
          underruns: this.ring.underruns, fill: this.ring.count });
    };
  }

  process(inputs, outputs) {
    const out = outputs[0];
    this.ring.pull(out[0], out[1] || out[0], this.gain);
    return true;
  }
}

registerProcessor('tiravel-audio', TiravelAudio);
