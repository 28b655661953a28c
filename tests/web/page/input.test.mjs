// The web player's keys and controllers: the desktop program's default keys
// and what a standard-mapping game controller gives.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { gamepadBits, keyAction, keyPads, nextSlot } from '../../../web/input.js';

test('the desktop\'s default keys make both pads and the Pause button', () => {
  const cases = [
    [['ArrowUp'], [0x01, 0], false], [['Numpad8'], [0x01, 0], false], [['ArrowDown'], [0x02, 0], false],
    [['ArrowLeft', 'ArrowRight'], [0x0c, 0], false], [['KeyX'], [0x10, 0], false], [['KeyC'], [0x20, 0], false],
    [['Enter'], [0, 0], true], [['NumpadEnter'], [0, 0], true],
    [['KeyW', 'KeyA', 'KeyS', 'KeyD'], [0, 0x0f], false], [['KeyG', 'KeyH'], [0, 0x30], false],
    [['ArrowUp', 'KeyX', 'KeyW', 'KeyH', 'Enter'], [0x11, 0x21], true],
    [['KeyZ', 'Space', 'Backspace'], [0, 0], false],
  ];
  for (const [held, pads, pause] of cases) assert.deepEqual(keyPads(new Set(held)), { pads, pause }, held.join('+'));
});

test('what each key does, and the keys left to the page', () => {
  const cases = [
    ['ArrowUp', false, { pad: [0, 0x01] }], ['KeyH', false, { pad: [1, 0x20] }], ['Enter', false, { pause: true }],
    ['F5', false, { command: 'save' }], ['F7', false, { command: 'load' }],
    ['F6', false, { command: 'previous-slot' }], ['F8', false, { command: 'next-slot' }],
    ['Backspace', false, { command: 'rewind' }], ['Tab', false, { command: 'fast' }],
    ['KeyP', true, { command: 'toggle-pause' }], ['KeyP', false, null],
    // Ctrl with another key is the browser's (Ctrl+C, Ctrl+W ...), even a pad key.
    ['KeyC', true, null], ['ArrowUp', true, null],
    ['F11', false, null], ['Escape', false, null], ['KeyQ', false, null],
  ];
  for (const [code, ctrl, action] of cases) assert.deepEqual(keyAction(code, ctrl), action, `${ctrl ? 'Ctrl+' : ''}${code}`);
  // Alt+Enter is full screen; other Alt keys are the browser's (Alt+Left goes back).
  assert.deepEqual(keyAction('Enter', false, true), { command: 'fullscreen' });
  assert.deepEqual(keyAction('NumpadEnter', false, true), { command: 'fullscreen' });
  assert.equal(keyAction('ArrowLeft', false, true), null);
  assert.equal(keyAction('Enter', true, true), null);
});

test('a game controller in the standard mapping', () => {
  const pressed = (...which) => Array.from({ length: 17 }, (_, i) => which.includes(i));
  const cases = [
    [pressed(12), [0, 0], 0x01, false], [pressed(13), [0, 0], 0x02, false],
    [pressed(14, 0), [0, 0], 0x14, false], [pressed(15, 1), [0, 0], 0x28, false],
    [pressed(9), [0, 0], 0, true],
    [pressed(), [-0.9, 0.9], 0x06, false], [pressed(), [0.9, -0.9], 0x09, false],
    // Inside the dead zone a worn stick's drift does nothing.
    [pressed(), [0.3, -0.4], 0, false],
    // Other buttons (X, Y, shoulders, Select) do nothing.
    [pressed(2, 3, 4, 5, 8), [0, 0], 0, false],
  ];
  for (const [buttons, axes, bits, pause] of cases) assert.deepEqual(gamepadBits(buttons, axes), { bits, pause });
  assert.deepEqual(gamepadBits([true], []), { bits: 0x10, pause: false }, 'a controller with few buttons and no stick');
});

test('F6 and F8 step through the slots 1 to 9, wrapping', () => {
  const cases = [[1, 1, 2], [8, 1, 9], [9, 1, 1], [1, -1, 9], [2, -1, 1], [5, -1, 4]];
  for (const [slot, step, next] of cases) assert.equal(nextSlot(slot, step), next);
});
