// The web player's frame pacing: the page is woken by requestAnimationFrame
// (60 or more times a second, or seldom in a background tab) and runs the
// console frames its real time calls for at the console's own rate, at most
// a few per wake-up. Time that would need more is dropped, so a slow
// machine or a tab coming back from the background neither runs away
// catching up nor freezes the page.

export class FramePacer {
  // `rate` frames a second; at most `maxFrames` frames per wake-up.
  constructor(rate, maxFrames = 4) {
    this.rate = rate;
    this.maxFrames = maxFrames;
    this.last = null;  // the last wake-up's time, in ms
    this.owed = 0;     // the frames due and not yet run (a fraction)
  }

  // Starts counting afresh (after a pause, a new game, a new rate).
  reset(rate = this.rate) {
    this.rate = rate;
    this.last = null;
    this.owed = 0;
  }

  // The wake-up at `now` ms: the whole number of frames to run now.
  frames(now) {
    if (this.last === null || now < this.last) {
      // The first wake-up runs one frame at once, so a start is seen at once.
      this.last = now;
      this.owed = 0;
      return 1;
    }
    this.owed += ((now - this.last) * this.rate) / 1000;
    this.last = now;
    let n = Math.floor(this.owed);
    if (n > this.maxFrames) {
      // Behind by more than a wake-up can catch up: the lag is forgotten.
      n = this.maxFrames;
      this.owed = 0;
    } else {
      this.owed -= n;
    }
    return n;
  }
}
