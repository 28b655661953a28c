// The AudioWorklet's ring buffer: the console's sound at the sound card's
// rate, with neither a gap nor a growing delay when the two clocks disagree.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { SoundRing } from '../../../web/audio-ring.js';

// A frame of a console's sound: a sine on the left, its negative on the
// right, continuing from sample `start`.
function frame(start, n, rate, hz = 441) {
  const out = new Float32Array(n * 2);
  for (let i = 0; i < n; ++i) {
    const v = 0.5 * Math.sin((2 * Math.PI * hz * (start + i)) / rate);
    out[2 * i] = v;
    out[2 * i + 1] = -v;
  }
  return out;
}

// Plays `seconds` of a console producing `sourceRate` samples a second, a
// little faster or slower than it should (`drift`), into a card at
// `outputRate` read in blocks of 128: the fill over time and the gaps.
function play(sourceRate, outputRate, drift, seconds) {
  const ring = new SoundRing(Math.round(outputRate * 0.5), Math.round(outputRate * 0.085));
  ring.setRates(sourceRate, outputRate);
  const perFrame = sourceRate / 60;
  let produced = 0, consumed = 0, made = 0, gaps = 0;
  const left = new Float32Array(128), right = new Float32Array(128);
  const fills = [];
  while (consumed < outputRate * seconds) {
    // The page's frames come when the card's time says so, `drift` off.
    while (produced < (consumed / outputRate) * 60 * (1 + drift) + 6) {
      const n = Math.round(perFrame * (produced + 1)) - Math.round(perFrame * produced);
      ring.push(frame(made, n, sourceRate));
      made += n;
      ++produced;
    }
    const wasStarted = ring.started;
    ring.pull(left, right);
    if (wasStarted && !ring.started) ++gaps;
    consumed += 128;
    fills.push(ring.count);
  }
  return { ring, fills, gaps };
}

test('the fill settles near its target whatever the clocks\' disagreement', () => {
  const cases = [[44100, 48000, 0], [48000, 48000, 0.003], [44100, 44100, -0.003], [48000, 44100, 0.002], [44100, 96000, -0.002]];
  for (const [source, output, drift] of cases) {
    const { ring, fills, gaps } = play(source, output, drift, 30);
    const late = fills.slice(-1000);
    const average = late.reduce((a, b) => a + b, 0) / late.length;
    const label = `${source} -> ${output}, drift ${drift}`;
    assert.equal(gaps, 0, label);
    // Near the target, and not still drifting away from it.
    assert.ok(Math.abs(average - ring.target) < ring.target * 0.6, `${label}: ${average} vs ${ring.target}`);
    assert.ok(ring.count < ring.capacity - 2, label);
  }
});

test('resampling keeps the sound: a sine stays a sine at the new rate', () => {
  const ring = new SoundRing(48000, 10);
  ring.setRates(44100, 48000);
  ring.push(frame(0, 4410, 44100));
  const left = new Float32Array(1024), right = new Float32Array(1024);
  ring.pull(left, right);
  // Output sample i is source time i * 44100 / 48000, up to the gentle
  // correction of the read rate (the ring is far above its target here).
  let worst = 0;
  for (let i = 0; i < 1024; ++i) {
    const step = ring.ratio * 1.005;
    const expected = 0.5 * Math.sin((2 * Math.PI * 441 * i * step) / 44100);
    worst = Math.max(worst, Math.abs(left[i] - expected), Math.abs(right[i] + expected));
  }
  assert.ok(worst < 0.01, `worst error ${worst}`);
  assert.equal(ring.framesPlayed, 1024);
  assert.ok(Math.abs(ring.peak - 0.5) < 0.01);
});

test('silence until the cushion is built, after running dry, and after a clear', () => {
  const ring = new SoundRing(1000, 100);
  const left = new Float32Array(64).fill(9), right = new Float32Array(64).fill(9);
  ring.push(new Float32Array(2 * 50).fill(0.25));
  ring.pull(left, right);
  assert.ok(left.every((v) => v === 0) && right.every((v) => v === 0), 'below the target: silence');
  assert.equal(ring.framesPlayed, 0);
  ring.push(new Float32Array(2 * 60).fill(0.25));
  ring.pull(left, right, 0.5);
  assert.ok(left.every((v) => v === 0.125), 'the gain applies');
  ring.pull(left, right);
  assert.ok(left.slice(0, 40).every((v) => v === 0.25) && left.slice(50).every((v) => v === 0), 'runs dry, then silence');
  assert.equal(ring.started, false);
  assert.equal(ring.underruns, 1, 'running dry counts; waiting for the first cushion does not');
  ring.push(new Float32Array(2 * 200).fill(0.25));
  ring.clear();
  ring.pull(left, right);
  assert.ok(left.every((v) => v === 0), 'cleared');
  assert.equal(ring.underruns, 1, 'nor a clear');
});

test('more than the ring holds drops the oldest sound', () => {
  const ring = new SoundRing(100, 10);
  const data = new Float32Array(2 * 250);
  for (let i = 0; i < 250; ++i) data[2 * i] = data[2 * i + 1] = i;
  ring.push(data);
  assert.equal(ring.count, 98);
  const left = new Float32Array(1), right = new Float32Array(1);
  ring.pull(left, right);
  assert.equal(left[0], 152);  // the newest 98 samples remain
});
