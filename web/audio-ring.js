// The AudioWorklet's sound buffer, with nothing of the browser in it so node
// tests it: a ring of stereo samples at the console's rate, read out at the
// audio context's rate by linear interpolation. The page writes a frame's
// sound at a time; the read step is corrected gently by how full the ring is,
// so it stays near its target instead of running dry (a crackle) or growing
// (a growing delay) when the page's 60 frames and the sound card's clock
// disagree by a fraction of a percent.

export class SoundRing {
  // `capacity` stereo frames; `target` the fill aimed at.
  constructor(capacity, target) {
    this.capacity = capacity;
    this.target = target;
    this.left = new Float32Array(capacity);
    this.right = new Float32Array(capacity);
    this.read = 0;      // the read position, fractional, in [0, capacity)
    this.count = 0;     // samples held after the read position's whole part
    this.write = 0;
    this.ratio = 1;     // source samples per output sample, before the correction
    this.started = false;
    this.framesPlayed = 0;
    this.peak = 0;
    this.underruns = 0;  // times it ran dry while playing (each a crackle)
  }

  setRates(sourceRate, outputRate) {
    this.ratio = sourceRate / outputRate;
  }

  // Interleaved stereo floats (left, right, ...). What does not fit replaces
  // the oldest samples: the delay never grows beyond the ring.
  push(interleaved) {
    const n = interleaved.length >> 1;
    for (let i = 0; i < n; ++i) {
      this.left[this.write] = interleaved[2 * i];
      this.right[this.write] = interleaved[2 * i + 1];
      this.write = (this.write + 1) % this.capacity;
    }
    this.count += n;
    if (this.count > this.capacity - 2) {
      const drop = this.count - (this.capacity - 2);
      this.read = (this.read + drop) % this.capacity;
      this.count -= drop;
    }
  }

  // The read step for the fill: at most 0.5% faster or slower, so the pitch
  // change is not heard.
  step() {
    const error = (this.count - this.target) / this.target;
    return this.ratio * (1 + 0.005 * Math.max(-1, Math.min(1, error)));
  }

  // Fills the output channels (Float32Arrays of one length). Plays silence
  // until the ring first holds its target, and again when it runs dry, so
  // a start or a stall waits to build up a cushion instead of stuttering.
  pull(outLeft, outRight, gain = 1) {
    const n = outLeft.length;
    if (!this.started && this.count >= this.target) this.started = true;
    if (!this.started) {
      outLeft.fill(0);
      outRight.fill(0);
      return;
    }
    const step = this.step();
    let i = 0;
    for (; i < n && this.count >= 2; ++i) {
      const whole = Math.floor(this.read);
      const f = this.read - whole;
      const next = (whole + 1) % this.capacity;
      const l = (this.left[whole] + (this.left[next] - this.left[whole]) * f) * gain;
      const r = (this.right[whole] + (this.right[next] - this.right[whole]) * f) * gain;
      outLeft[i] = l;
      outRight[i] = r;
      const a = Math.max(Math.abs(l), Math.abs(r));
      if (a > this.peak) this.peak = a;
      const moved = Math.floor(this.read + step) - whole;
      this.read += step;
      if (this.read >= this.capacity) this.read -= this.capacity;
      this.count -= moved;
    }
    this.framesPlayed += i;
    if (i < n) {
      outLeft.fill(0, i);
      outRight.fill(0, i);
      this.started = false;  // dry: build the cushion up again
      ++this.underruns;
    }
  }

  // Forgets what is held (a pause, rewinding, fast-forward).
  clear() {
    this.read = this.write;
    this.count = 0;
    this.started = false;
  }
}
