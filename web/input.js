// The web player's input, as plain tables and procedures with nothing of the
// browser in them: the desktop program's default keys (KeyboardEvent.code
// names), a game controller's standard mapping, and the pad bits they make.

export const UP = 0x01, DOWN = 0x02, LEFT = 0x04, RIGHT = 0x08, BUTTON1 = 0x10, BUTTON2 = 0x20;

// Keys that hold a pad input: [player (0 or 1), bit], or 'pause' for the
// console's Pause button (the Game Gear's Start).
export const PAD_KEYS = {
  ArrowUp: [0, UP], Numpad8: [0, UP], ArrowDown: [0, DOWN], ArrowLeft: [0, LEFT], ArrowRight: [0, RIGHT],
  KeyX: [0, BUTTON1], KeyC: [0, BUTTON2],
  Enter: 'pause', NumpadEnter: 'pause',
  KeyW: [1, UP], KeyS: [1, DOWN], KeyA: [1, LEFT], KeyD: [1, RIGHT],
  KeyG: [1, BUTTON1], KeyH: [1, BUTTON2],
};

// Keys that give a command when pressed (F-keys) or while held (rewind, fast).
export const COMMAND_KEYS = {
  F5: 'save', F7: 'load', F6: 'previous-slot', F8: 'next-slot',
  Backspace: 'rewind', Tab: 'fast',
};

// What a key event means: { pad: [player, bit] } / { pause: true } while held,
// { command } for the others, or null for a key the player leaves alone (it
// then reaches the page as usual). `ctrl` is whether Ctrl (or Cmd) was down,
// `alt` whether Alt was (Alt+Enter: full screen, as on the desktop).
export function keyAction(code, ctrl = false, alt = false) {
  if (alt) return !ctrl && (code === 'Enter' || code === 'NumpadEnter') ? { command: 'fullscreen' } : null;
  if (ctrl) return code === 'KeyP' ? { command: 'toggle-pause' } : null;
  const pad = PAD_KEYS[code];
  if (pad === 'pause') return { pause: true };
  if (pad) return { pad };
  const command = COMMAND_KEYS[code];
  return command ? { command } : null;
}

// The pad bits of both players from the set of held key codes, with the
// Pause button: { pads: [p1, p2], pause }.
export function keyPads(held) {
  const pads = [0, 0];
  let pause = false;
  for (const code of held) {
    const pad = PAD_KEYS[code];
    if (pad === 'pause') pause = true;
    else if (pad) pads[pad[0]] |= pad[1];
  }
  return { pads, pause };
}

// A game controller in the standard mapping: d-pad buttons 12-15 or the left
// stick past a dead zone, the bottom face button (A) button 1, the right one
// (B) button 2, Start (9) the Pause button. `buttons` are booleans (pressed),
// `axes` numbers -1..1.
export const STICK_DEAD_ZONE = 0.5;

export function gamepadBits(buttons, axes) {
  const b = (i) => Boolean(buttons[i]);
  const x = axes[0] || 0, y = axes[1] || 0;
  let bits = 0;
  if (b(12) || y < -STICK_DEAD_ZONE) bits |= UP;
  if (b(13) || y > STICK_DEAD_ZONE) bits |= DOWN;
  if (b(14) || x < -STICK_DEAD_ZONE) bits |= LEFT;
  if (b(15) || x > STICK_DEAD_ZONE) bits |= RIGHT;
  if (b(0)) bits |= BUTTON1;
  if (b(1)) bits |= BUTTON2;
  return { bits, pause: b(9) };
}

// The state slots 1-9, wrapping as the desktop's F6/F8 do.
export function nextSlot(slot, step) {
  return ((slot - 1 + step + 9) % 9) + 1;
}
