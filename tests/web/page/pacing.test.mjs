// The web player's frame pacing: frames at the console's rate whatever the
// animation frames' rate, and never more than a few per animation frame.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { FramePacer } from '../../../web/pacing.js';

// The frames run over `seconds` of wake-ups every `step` ms.
function run(pacer, seconds, step) {
  let frames = 0;
  for (let t = 0; t <= seconds * 1000; t += step) frames += pacer.frames(1000 + t);
  return frames;
}

test('the console\'s rate is kept whatever the screen\'s', () => {
  const cases = [
    // [console rate, wake-up every ms]: 60 Hz, 120 Hz, 144 Hz and a 30 Hz screen.
    [60, 1000 / 60], [59.9227, 1000 / 60], [49.7015, 1000 / 60], [59.9227, 1000 / 120],
    [59.9227, 1000 / 144], [49.7015, 1000 / 30], [59.9227, 1000 / 30],
  ];
  for (const [rate, step] of cases) {
    const frames = run(new FramePacer(rate), 100, step);
    assert.ok(Math.abs(frames - rate * 100) <= 2, `${rate} fps at ${step.toFixed(2)} ms: ${frames}`);
  }
});

test('a late wake-up catches up at most a few frames, and the rest is forgotten', () => {
  const pacer = new FramePacer(60, 4);
  assert.equal(pacer.frames(0), 1);
  assert.equal(pacer.frames(50), 3);        // 3 frames late: all caught up
  assert.equal(pacer.frames(50 + 5000), 4); // a background tab: only 4 ...
  assert.equal(pacer.frames(5050 + 1000 / 60), 1); // ... and then the normal pace again
  // A clock that goes back (a new time origin) starts afresh.
  assert.equal(pacer.frames(10), 1);
  assert.equal(pacer.frames(10), 0);
});

test('a reset takes a new rate and starts afresh', () => {
  const pacer = new FramePacer(60);
  pacer.frames(0);
  pacer.frames(10);
  pacer.reset(50);
  assert.equal(pacer.frames(20), 1);
  const frames = run(pacer, 10, 1000 / 60);  // (its first wake-up comes late: up to 4 at once)
  assert.ok(Math.abs(frames - 500) <= 5, `${frames}`);
});
