// <tiravel-player>: the Tiravel console in a web page. The element loads its
// own instance of the console module (tiravel-core.js/.wasm beside this file),
// runs it at the console's frame rate from requestAnimationFrame, draws the
// picture on a canvas, plays the sound through an AudioWorklet, takes keys
// (only while it has the focus), game controllers and touches, and keeps
// battery RAM and save states in IndexedDB. Everything it draws lives in its
// shadow root. Embedding takes two lines:
//   <script type="module" src="tiravel-player.js"></script>
//   <tiravel-player src="game.sms"></tiravel-player>
import { cartridgeImage, fflateInflater, fileName, isArchiveName, RomError } from './archive.js';
import { gamepadBits, keyAction, keyPads, nextSlot, UP, DOWN, LEFT, RIGHT, BUTTON1, BUTTON2 } from './input.js';
import { FramePacer } from './pacing.js';
import * as storage from './storage.js';

const here = (file) => new URL(file, import.meta.url).href;
const KINDS = ['model', 'region', 'video'];
const MESSAGE_MS = 2000;        // a picture message stays as long as the desktop's
const BATTERY_CHECK_MS = 3000;  // battery RAM is written this often while it changes
const FAST_FRAMES = 6;          // frames per animation frame while Tab is held
const SCRIPT_CHUNK = 120;       // runFrames gives the page a breath this often

const STYLE = `
:host { display: block; width: 512px; height: 384px; background: #000;
  color: #ddd; font: 13px system-ui, sans-serif; position: relative; outline: none; overflow: hidden;
  -webkit-user-select: none; user-select: none; box-sizing: border-box; }
:host(:focus-visible) { box-shadow: inset 0 0 0 1px #468; }
.player { position: absolute; inset: 0; }
.screen { position: absolute; inset: 0; display: flex; align-items: center; justify-content: center; }
canvas { image-rendering: pixelated; image-rendering: crisp-edges; display: block; background: #000; }
.hint { position: absolute; inset: 0; display: flex; flex-direction: column; align-items: center;
  justify-content: center; gap: 8px; color: #999; text-align: center; padding: 12px; pointer-events: none; }
.hint[hidden], .notice[hidden], .touch[hidden], .osd[hidden] { display: none; }
.dragging .screen { outline: 2px dashed #68a; outline-offset: -6px; }
.osd { position: absolute; left: 8px; top: 8px; padding: 2px 6px; background: rgba(0,0,0,.6);
  color: #fff; font: bold 14px monospace; pointer-events: none; }
.notice { position: absolute; left: 8px; right: 8px; bottom: 40px; display: flex; gap: 8px; align-items: flex-start;
  padding: 8px; background: #402020; color: #fff; border: 1px solid #a55; border-radius: 3px; }
.message { flex: 1; white-space: pre-wrap; overflow-wrap: anywhere; }
.bar { position: absolute; left: 0; right: 0; bottom: 0; display: flex; flex-wrap: wrap; gap: 4px;
  align-items: center; padding: 3px 4px; background: rgba(24,24,24,.88); border-top: 1px solid #333;
  opacity: 0; transition: opacity .3s; }
/* Over the picture, so the picture has the whole box: shown while the mouse
   is over the player, while it is empty or paused, and a while after a touch. */
:host(:hover) .bar, .empty .bar, .paused .bar, .show-bar .bar, .bar:focus-within { opacity: 1; }
button, select { font: inherit; color: #ddd; background: #2a2a2a; border: 1px solid #444; border-radius: 3px;
  padding: 1px 6px; height: 22px; }
button:hover, select:hover { background: #383838; }
input[type=range] { width: 64px; }
.spacer { flex: 1; }
.touch { position: absolute; inset: 0; touch-action: none; pointer-events: none; }
.touch > * { position: absolute; pointer-events: auto; touch-action: none; background: rgba(255,255,255,.12);
  border: 1px solid rgba(255,255,255,.3); color: rgba(255,255,255,.7); display: flex; align-items: center;
  justify-content: center; font: bold 14px sans-serif; }
.dpad { left: 12px; bottom: 44px; width: 120px; height: 120px; border-radius: 50%; }
.b1, .b2 { width: 56px; height: 56px; border-radius: 50%; }
.b1 { right: 76px; bottom: 48px; } .b2 { right: 12px; bottom: 92px; }
.start { left: 50%; bottom: 44px; width: 64px; height: 24px; margin-left: -32px; border-radius: 12px; font-size: 11px; }
`;

const HTML = `
<style>${STYLE}</style>
<div class="player empty">
<div class="screen" part="screen">
  <canvas width="256" height="192"></canvas>
  <div class="hint"><div>Drop a cartridge here (.sms, .gg, .bin, or a .zip or .gz holding one)</div>
    <div>or choose one with Open.</div></div>
  <div class="osd" hidden></div>
  <div class="touch" hidden>
    <div class="dpad" data-pad="dpad"></div><div class="b1" data-pad="1">1</div>
    <div class="b2" data-pad="2">2</div><div class="start" data-pad="start">Start</div>
  </div>
  <div class="notice" hidden><div class="message" role="alert"></div><button class="dismiss" title="Dismiss">✕</button></div>
</div>
<div class="bar" part="bar">
  <button class="open" title="Open a cartridge">Open</button>
  <button class="pause" title="Pause (Ctrl+P)">Pause</button>
  <button class="reset" title="The console's reset button">Reset</button>
  <select class="slot" title="State slot (F6/F8)"></select>
  <button class="save" title="Save the state (F5)">Save</button>
  <button class="load" title="Load the state (F7)">Load</button>
  <select class="model" title="Model"></select>
  <select class="region" title="Region"></select>
  <select class="video" title="Video"></select>
  <span class="spacer"></span>
  <button class="mute" title="Sound on or off">Mute</button>
  <input class="volume" type="range" min="0" max="1" step="0.05" value="1" title="Volume">
  <button class="full" title="Full screen">Full screen</button>
  <input class="file" type="file" accept=".sms,.gg,.bin,.zip,.gz" hidden>
</div>
</div>`;

class TiravelPlayer extends HTMLElement {
  static get observedAttributes() {
    return ['src', 'model', 'region', 'video'];
  }

  constructor() {
    super();
    const root = this.attachShadow({ mode: 'open' });
    root.innerHTML = HTML;
    const $ = (s) => root.querySelector(s);
    this.ui = {
      player: $('.player'), screen: $('.screen'), canvas: $('canvas'), hint: $('.hint'), osd: $('.osd'), touch: $('.touch'),
      notice: $('.notice'), message: $('.message'), file: $('.file'), pause: $('.pause'),
      slot: $('.slot'), mute: $('.mute'), volume: $('.volume'),
      model: $('.model'), region: $('.region'), video: $('.video'),
    };
    // Opaque: the compositor copies the picture instead of blending it.
    this.context2d = this.ui.canvas.getContext('2d', { alpha: false });
    this.core = null;
    this.cartridge = null;       // the loaded image's name
    this._paused = false;
    this._slot = 1;
    this._muted = false;
    this._volume = 1;
    this.frameNumber = 0;
    this.held = new Set();       // key codes held
    this.touchBits = new Map();  // pointer id -> { bits, pause }
    this.pacer = new FramePacer(60);
    this.audio = null;           // { context, node } once started
    this.statsWaiting = new Map();
    this.statsId = 0;
    this.lastBattery = null;     // the battery RAM as last written
    this.osdTimer = 0;
    this.loadCount = 0;
    this.imageData = null;       // a view of the module's picture (see draw)
    this.drawn = null;           // the picture last drawn, to skip a repeat
    this.soundParts = new Float32Array(0);  // the sound not yet posted
    this.soundAt = 0;
    this.soundFrames = 0;                   // the frames it holds
    this.ready = this.startCore();
    this.ready.catch((e) => this.showError(e.message));
    this.wire();
  }

  // ---------------------------------------------------------------- the module

  async startCore() {
    const { default: createTiravel } = await import(here('tiravel-core.js'));
    const core = await createTiravel({ locateFile: (file) => here(file) });
    core._tw_init();
    this.core = core;
    for (let kind = 0; kind < 3; ++kind) {
      const select = this.ui[KINDS[kind]];
      for (let i = 0; i < core._tw_option_count(kind); ++i)
        select.add(new Option(this.text(core._tw_option_name(kind, i)), this.text(core._tw_option_id(kind, i))));
    }
    // The model asked for, which a Game Gear cartridge overrides for itself.
    this.chosenModel = this.choiceIndex('model');
    core._tw_configure(this.chosenModel, this.choiceIndex('region'), this.choiceIndex('video'));
    this.showChoices();
    this.pacer.reset(core._tw_frame_rate());
    this.draw();
    return this;
  }

  heap() {
    return this.core.HEAPU8;
  }

  // A C string in the module's memory as text.
  text(pointer) {
    if (this.core.UTF8ToString) return this.core.UTF8ToString(pointer);
    const heap = this.heap();
    let end = pointer;
    while (heap[end]) ++end;
    return new TextDecoder().decode(heap.subarray(pointer, end));
  }

  // Bytes (and an optional text after them, NUL-ended) into tw_buffer:
  // returns the text's address there.
  toBuffer(bytes, after = null) {
    const text = after === null ? null : new TextEncoder().encode(after + '\0');
    const size = bytes.length + (text ? text.length : 0);
    const pointer = this.core._tw_buffer(Math.max(size, 1));
    if (!pointer) throw new Error('There is not enough memory for the file.');
    this.heap().set(bytes, pointer);
    if (text) this.heap().set(text, pointer + bytes.length);
    return pointer + bytes.length;
  }

  copyOut(pointer, size) {
    return this.heap().slice(pointer, pointer + size);
  }

  // The index of the choice of `kind`: the attribute, else the one kept
  // from the last visit, else the first (the Tiravel model, Export, NTSC).
  choiceIndex(kind) {
    const select = this.ui[kind];
    let id = this.getAttribute(kind);
    if (id === null) {
      try {
        id = localStorage.getItem(`tiravel.${kind}`);
      } catch {
        id = null;
      }
    }
    const index = [...select.options].findIndex((o) => o.value === id);
    return index < 0 ? 0 : index;
  }

  showChoices() {
    const core = this.core;
    this.ui.model.selectedIndex = core._tw_model();
    this.ui.region.selectedIndex = core._tw_region();
    this.ui.video.selectedIndex = core._tw_video();
  }

  // A choice in a select box: the console powers on again with it.
  choose(kind) {
    const select = this.ui[kind];
    try {
      localStorage.setItem(`tiravel.${kind}`, select.value);
    } catch {
      // kept for this visit only
    }
    if (kind === 'model') this.chosenModel = select.selectedIndex;
    this.configure();
    this.focus();
  }

  configure() {
    const core = this.core;
    core._tw_configure(this.ui.model.selectedIndex, this.ui.region.selectedIndex, this.ui.video.selectedIndex);
    core._tw_rewind_clear();
    this.showChoices();
    this.afterRestart();
  }

  afterRestart() {
    this.pacer.reset(this.core._tw_frame_rate());
    this.post({ rate: this.core._tw_sample_rate(), clear: true });
    this.soundAt = this.soundFrames = 0;
    this.draw();
  }

  // ---------------------------------------------------------------- opening

  async open(source, name) {
    const load = ++this.loadCount;
    this.hideMessage();
    try {
      await this.ready;
      let bytes;
      if (typeof source === 'string' || source instanceof URL) {
        name = name || fileName(String(source));
        bytes = await this.fetchBytes(String(source), name);
      } else if (source instanceof Blob) {
        name = name || source.name || 'cartridge.sms';
        bytes = new Uint8Array(await source.arrayBuffer());
      } else if (source instanceof ArrayBuffer || ArrayBuffer.isView(source)) {
        name = name || 'cartridge.sms';
        bytes = source instanceof ArrayBuffer ? new Uint8Array(source)
          : new Uint8Array(source.buffer, source.byteOffset, source.byteLength);
      } else {
        throw new Error('A cartridge is opened from a URL, a File or Blob, or an ArrayBuffer.');
      }
      let inflate = null;
      if (isArchiveName(name)) inflate = fflateInflater(await import(here('vendor/fflate.js')));
      const image = cartridgeImage(name, bytes, inflate);
      let battery = null;
      try {
        battery = await storage.get('battery', image.name);
      } catch {
        // no IndexedDB here (a private window, a file: page): nothing kept
      }
      if (load !== this.loadCount) throw new Error('Another cartridge was opened meanwhile.');
      return this.start(image, battery);
    } catch (e) {
      const message = e instanceof RomError || e instanceof Error ? e.message : String(e);
      if (load === this.loadCount) this.showError(message);
      throw e instanceof Error ? e : new Error(message);
    }
  }

  async fetchBytes(url, name) {
    let response;
    try {
      response = await fetch(new URL(url, document.baseURI));
    } catch (e) {
      throw new RomError(`Cannot load the ROM file "${name}": it cannot be fetched (${e.message}).`);
    }
    if (!response.ok)
      throw new RomError(`Cannot load the ROM file "${name}": the server answered ${response.status} ${response.statusText}.`.replace(' .', '.'));
    return new Uint8Array(await response.arrayBuffer());
  }

  // The image into the console (all at once, between two frames).
  start(image, battery) {
    const core = this.core;
    const previous = this.cartridge && core._tw_battery_used() ? [this.cartridge, this.copyBattery()] : null;
    const namePointer = this.toBuffer(image.data, image.name);
    const model = core._tw_load_cartridge(image.data.length, namePointer, this.chosenModel);
    if (model < 0) throw new RomError(this.text(core._tw_error()));
    if (previous) this.keep('battery', previous[0], previous[1]);
    this.cartridge = image.name;
    this.lastBattery = null;
    if (battery) {
      this.toBuffer(battery);
      core._tw_set_battery_ram(battery.length);
      this.lastBattery = battery;
    }
    core._tw_rewind_clear();
    this.frameNumber = 0;
    this.ui.hint.hidden = true;
    this.ui.player.classList.remove('empty');
    this.showChoices();
    this.afterRestart();
    this.resume();
    this.startAudio();
    const id = this.ui.model.value;
    this.dispatchEvent(new CustomEvent('tiravel-loaded', { detail: { name: image.name, model: id } }));
    return id;
  }

  keep(store, key, bytes) {
    return storage.put(store, key, bytes).catch((e) => this.showError(`Cannot keep the ${store === 'battery' ? 'battery RAM' : 'state'}: ${e.message}`));
  }

  // ---------------------------------------------------------------- running

  get paused() {
    return this._paused;
  }

  // Paused, the page asks for no animation frames and the audio context is
  // suspended: an idle player costs the browser next to nothing.
  pause() {
    this._paused = true;
    this.ui.player.classList.add('paused');
    this.ui.pause.textContent = 'Resume';
    this.post({ clear: true });
    this.soundAt = this.soundFrames = 0;
    this.stopFrames();
    this.suspendAudio();
  }

  resume() {
    this._paused = false;
    this.ui.player.classList.remove('paused');
    this.ui.pause.textContent = 'Pause';
    this.pacer.reset();
    this.startFrames();
    this.resumeAudio();
  }

  // The animation-frame loop runs while a cartridge plays on a connected element.
  startFrames() {
    if (!this.frameRequest && this.isConnected && !this._paused)
      this.frameRequest = requestAnimationFrame((t) => this.tick(t));
  }

  stopFrames() {
    if (this.frameRequest) cancelAnimationFrame(this.frameRequest);
    this.frameRequest = 0;
  }

  tick(now) {
    this.frameRequest = 0;
    if (!this.core || !this.cartridge || this._paused) return;
    this.frameRequest = requestAnimationFrame((t) => this.tick(t));
    try {
      this.runDue(now);
    } catch (e) {
      // The module stopped (a trap): paused with the reason, not an error a frame.
      this.pause();
      this.showError(`The console stopped: ${e.message}`);
    }
  }

  runDue(now) {
    this.pollGamepads();
    const fast = this.held.has('Tab');
    let n = this.pacer.frames(now);
    if (fast && n > 0) n = FAST_FRAMES;
    for (let i = 0; i < n; ++i) {
      this.setInput();
      const back = this.core._tw_rewind(this.held.has('Backspace') ? 1 : 0);
      if (back < 0) this.showError(this.text(this.core._tw_error()));
      this.core._tw_run_frame();
      ++this.frameNumber;
      if (back !== 1 && !fast) this.gatherSound();
    }
    if (n > 0) {
      // Two frames' sound a message: half the messages, 17 ms of the ring's
      // 85 ms cushion.
      if (this.soundFrames >= 2 || fast) this.postSound();
      this.draw();
    }
  }

  setInput() {
    const keys = keyPads(this.held);
    let p1 = keys.pads[0] | this.gamepads.bits;
    let pause = keys.pause || this.gamepads.pause;
    for (const t of this.touchBits.values()) {
      p1 |= t.bits;
      pause = pause || t.pause;
    }
    this.core._tw_set_pads(p1, keys.pads[1] | this.gamepads.bits2);
    if (pause) this.core._tw_press_pause();
  }

  pollGamepads() {
    if (!navigator.getGamepads) return;
    const state = { bits: 0, bits2: 0, pause: false };
    const pads = navigator.getGamepads ? [...navigator.getGamepads()].filter(Boolean) : [];
    pads.forEach((pad, i) => {
      const g = gamepadBits(pad.buttons.map((b) => b.pressed), pad.axes);
      // The first controller is player 1, the second player 2.
      if (i === 0) state.bits = g.bits;
      if (i === 1) state.bits2 = g.bits;
      state.pause = state.pause || g.pause;
    });
    this.gamepads = state;
  }

  // The frame's sound (interleaved stereo floats) after what the wake-up has
  // gathered so far, in a buffer kept from one wake-up to the next.
  gatherSound() {
    const core = this.core;
    const count = core._tw_sound_frames() * 2;
    const pointer = core._tw_sound();
    if (this.soundAt + count > this.soundParts.length) {
      const grown = new Float32Array(Math.max(2 * this.soundParts.length, this.soundAt + count, 8192));
      grown.set(this.soundParts.subarray(0, this.soundAt));
      this.soundParts = grown;
    }
    this.soundParts.set(new Float32Array(this.heap().buffer, pointer, count), this.soundAt);
    this.soundAt += count;
    ++this.soundFrames;
  }

  // What was gathered, in one message (its buffer handed over, not copied).
  postSound() {
    const count = this.soundAt;
    this.soundAt = 0;
    this.soundFrames = 0;
    if (!this.audio || !this.audio.node || this.audio.context.state !== 'running' || count === 0) return;
    const all = this.soundParts.slice(0, count);
    this.audio.node.port.postMessage({ sound: all }, [all.buffer]);
  }

  draw() {
    if (!this.core) return;
    const core = this.core;
    const w = core._tw_picture_width(), h = core._tw_picture_height();
    const canvas = this.ui.canvas;
    if (canvas.width !== w || canvas.height !== h) {
      canvas.width = w;
      canvas.height = h;
      this.drawn = null;
      this.layout();
    }
    // The picture straight from the module's memory (a view, made again when
    // the memory grows or the picture moves), no copy on the way.
    const pointer = core._tw_picture();
    const buffer = this.heap().buffer;
    const image = this.imageData;
    if (!image || image.data.buffer !== buffer || image.data.byteOffset !== pointer || image.width !== w || image.height !== h) {
      this.imageData = new ImageData(new Uint8ClampedArray(buffer, pointer, w * h * 4), w, h);
      this.pixels = new Uint32Array(buffer, pointer, w * h);
      this.drawn = null;
    }
    // A picture the same as the one shown is not drawn again: the browser then
    // has nothing to paint or composite for this frame.
    const pixels = this.pixels;
    let drawn = this.drawn;
    if (drawn && drawn.length === pixels.length) {
      let i = 0;
      const n = pixels.length;
      while (i < n && pixels[i] === drawn[i]) ++i;
      if (i === n) return;
      drawn.set(pixels);
    } else {
      this.drawn = drawn = pixels.slice();
    }
    this.context2d.putImageData(this.imageData, 0, 0);
  }

  get canvas() {
    return this.ui.canvas;
  }

  // The canvas at the largest whole multiple of the picture that fits the
  // screen's box, or filling it with the picture's shape when 1x does not fit.
  layout() {
    const canvas = this.ui.canvas;
    const box = this.ui.screen.getBoundingClientRect();
    const w = canvas.width, h = canvas.height;
    if (box.width === 0 || box.height === 0) return;
    let scale = Math.floor(Math.min(box.width / w, box.height / h));
    if (scale < 1) scale = Math.min(box.width / w, box.height / h);
    canvas.style.width = `${Math.floor(w * scale)}px`;
    canvas.style.height = `${Math.floor(h * scale)}px`;
  }

  async runFrames(n, script = '') {
    await this.ready;
    this.pause();
    const core = this.core;
    if (!this.cartridge) throw new Error('No cartridge is loaded.');
    if (script) {
      const pointer = this.toBuffer(new Uint8Array(0), script);
      if (core._tw_set_script(pointer) < 0) throw new Error(this.text(core._tw_error()));
    }
    try {
      for (let done = 0; done < n;) {
        const chunk = Math.min(SCRIPT_CHUNK, n - done);
        for (let i = 0; i < chunk; ++i) {
          if (!script) core._tw_set_pads(0, 0);
          core._tw_run_frame();
          ++this.frameNumber;
          // The last four frames' sound, as the real-time loop would.
          if (i === 0 || (chunk - i) % 4 === 0) this.soundAt = this.soundFrames = 0;
          this.gatherSound();
        }
        done += chunk;
        this.postSound();
        if (done < n) await new Promise((resolve) => setTimeout(resolve, 0));
      }
    } finally {
      if (script) core._tw_set_script(this.toBuffer(new Uint8Array(0), ''));
    }
    this.draw();
  }

  // ---------------------------------------------------------------- states and battery RAM

  get slot() {
    return this._slot;
  }

  set slot(n) {
    this._slot = Math.min(9, Math.max(1, Math.round(Number(n)) || 1));
    this.ui.slot.value = String(this._slot);
  }

  async saveState(slot = this._slot) {
    await this.ready;
    if (!this.cartridge) throw new Error('No cartridge is loaded.');
    const core = this.core;
    const size = core._tw_save_state();
    if (size < 0) throw this.fail(this.text(core._tw_error()));
    await storage.put('states', storage.stateKey(this.cartridge, slot), this.copyOut(core._tw_state_data(), size));
    this.say(`State ${slot} saved`);
  }

  async loadState(slot = this._slot) {
    await this.ready;
    if (!this.cartridge) throw new Error('No cartridge is loaded.');
    const bytes = await storage.get('states', storage.stateKey(this.cartridge, slot));
    if (!bytes) {
      this.say(`No state in slot ${slot}`);
      return false;
    }
    const core = this.core;
    this.toBuffer(bytes);
    if (core._tw_load_state(bytes.length) < 0) throw this.fail(this.text(core._tw_error()));
    core._tw_rewind_clear();
    this.showChoices();
    this.afterRestart();
    this.say(`State ${slot} loaded`);
    return true;
  }

  copyBattery() {
    return this.copyOut(this.core._tw_battery_ram(), this.core._tw_battery_size());
  }

  batteryRam() {
    return this.core ? this.copyBattery() : new Uint8Array(0);
  }

  async flushBattery() {
    await this.ready;
    if (!this.cartridge || !this.core._tw_battery_used()) return;
    const bytes = this.copyBattery();
    this.lastBattery = bytes;
    await storage.put('battery', this.cartridge, bytes);
  }

  // Written every few seconds while the game changes it.
  checkBattery() {
    if (!this.core || !this.cartridge || !this.core._tw_battery_used()) return;
    const bytes = this.copyBattery();
    const last = this.lastBattery;
    if (last && last.length === bytes.length && last.every((b, i) => b === bytes[i])) return;
    this.lastBattery = bytes;
    this.keep('battery', this.cartridge, bytes);
  }

  // ---------------------------------------------------------------- sound

  suspendAudio() {
    if (this.audio && this.audio.context.state === 'running') this.audio.context.suspend().catch(() => {});
  }

  resumeAudio() {
    if (this.audio && this.audio.context.state === 'suspended') this.audio.context.resume().catch(() => {});
  }

  async startAudio() {
    if (this.audio) {
      if (!this._paused) this.resumeAudio();
      return;
    }
    if (!window.AudioContext || !window.AudioWorkletNode) return;
    const context = new AudioContext({ latencyHint: 'interactive' });
    this.audio = { context, node: null };
    try {
      await context.audioWorklet.addModule(here('tiravel-audio.js'));
      const node = new AudioWorkletNode(context, 'tiravel-audio', { numberOfInputs: 0, outputChannelCount: [2] });
      node.connect(context.destination);
      node.port.onmessage = (event) => {
        const resolve = this.statsWaiting.get(event.data.stats);
        this.statsWaiting.delete(event.data.stats);
        if (resolve) {
          const { framesPlayed, peak, underruns, fill } = event.data;
          resolve({ framesPlayed, peak, underruns, fill });
        }
      };
      this.audio.node = node;
      this.sendGain();
      if (this.core) this.post({ rate: this.core._tw_sample_rate() });
      if (this._paused) this.suspendAudio();
      else this.resumeAudio();
    } catch (e) {
      this.audio = null;
      console.warn('Tiravel: no sound:', e);
    }
  }

  post(message) {
    if (this.audio && this.audio.node) this.audio.node.port.postMessage(message);
  }

  sendGain() {
    this.post({ gain: this._muted ? 0 : this._volume });
    this.ui.mute.textContent = this._muted ? 'Unmute' : 'Mute';
    this.ui.volume.value = String(this._volume);
  }

  get muted() {
    return this._muted;
  }

  set muted(value) {
    this._muted = Boolean(value);
    this.sendGain();
  }

  get volume() {
    return this._volume;
  }

  set volume(value) {
    this._volume = Math.min(1, Math.max(0, Number(value) || 0));
    this.sendGain();
  }

  audioStats() {
    if (!this.audio || !this.audio.node) return Promise.resolve({ framesPlayed: 0, peak: 0 });
    const id = ++this.statsId;
    return new Promise((resolve) => {
      this.statsWaiting.set(id, resolve);
      this.post({ stats: id });
    });
  }

  // ---------------------------------------------------------------- messages

  // A short message on the picture, as the desktop's ("State 3 saved").
  say(text) {
    const osd = this.ui.osd;
    osd.textContent = text;
    osd.hidden = false;
    clearTimeout(this.osdTimer);
    this.osdTimer = setTimeout(() => (osd.hidden = true), MESSAGE_MS);
  }

  showError(text) {
    this.ui.message.textContent = text;
    this.ui.notice.hidden = false;
    this.dispatchEvent(new CustomEvent('tiravel-error', { detail: { message: text } }));
  }

  hideMessage() {
    this.ui.notice.hidden = true;
    this.ui.message.textContent = '';
  }

  fail(text) {
    this.showError(text);
    return new Error(text);
  }

  // ---------------------------------------------------------------- controls

  fullscreen() {
    if (document.fullscreenElement === this) return document.exitFullscreen();
    return this.requestFullscreen ? this.requestFullscreen() : Promise.reject(new Error('No full screen here.'));
  }

  command(name) {
    // A failure from the keys or the bar is shown (the console's own are already).
    const report = (p) =>
      Promise.resolve(p).catch((e) => {
        if (this.ui.notice.hidden || this.ui.message.textContent !== e.message) this.showError(e.message);
      });
    switch (name) {
      case 'save': return report(this.saveState());
      case 'load': return report(this.loadState());
      case 'previous-slot':
      case 'next-slot':
        this.slot = nextSlot(this._slot, name === 'next-slot' ? 1 : -1);
        return this.say(`Slot ${this._slot}`);
      case 'toggle-pause': return this._paused ? this.resume() : this.pause();
      case 'fullscreen': return report(this.fullscreen());
      default: return undefined;
    }
  }

  wire() {
    const ui = this.ui, root = this.shadowRoot;
    for (let i = 1; i <= 9; ++i) ui.slot.add(new Option(`Slot ${i}`, String(i)));
    const click = (selector, action) =>
      root.querySelector(selector).addEventListener('click', (e) => {
        e.stopPropagation();
        action();
        if (selector !== '.open') this.focus();
      });
    click('.open', () => ui.file.click());
    click('.pause', () => this.command('toggle-pause'));
    click('.reset', () => this.core && this.cartridge && this.core._tw_press_reset());
    click('.save', () => this.command('save'));
    click('.load', () => this.command('load'));
    click('.mute', () => (this.muted = !this.muted));
    click('.full', () => this.fullscreen().catch(() => {}));
    click('.dismiss', () => this.hideMessage());
    ui.slot.addEventListener('change', () => {
      this.slot = ui.slot.value;
      this.focus();
    });
    ui.volume.addEventListener('input', () => (this.volume = ui.volume.value));
    for (const kind of KINDS) ui[kind].addEventListener('change', () => this.choose(kind));
    ui.file.addEventListener('change', () => {
      const file = ui.file.files[0];
      ui.file.value = '';
      this.focus();
      if (file) this.open(file).catch(() => {});
    });

    this.addEventListener('keydown', (e) => this.onKey(e, true));
    this.addEventListener('keyup', (e) => this.onKey(e, false));
    this.addEventListener('focusout', () => {
      if (!this.matches(':focus-within')) this.held.clear();
    });
    this.addEventListener('pointerdown', (e) => {
      this.startAudio();
      if (e.pointerType === 'touch') {
        this.ui.player.classList.add('show-bar');
        clearTimeout(this.barTimer);
        this.barTimer = setTimeout(() => this.ui.player.classList.remove('show-bar'), 3000);
      }
      if (e.pointerType === 'touch') this.showTouchPad();
      if (!this.shadowRoot.activeElement) this.focus();
    });

    // Dropping a file.
    this.addEventListener('dragover', (e) => {
      e.preventDefault();
      this.ui.player.classList.add('dragging');
    });
    this.addEventListener('dragleave', () => this.ui.player.classList.remove('dragging'));
    this.addEventListener('drop', (e) => {
      e.preventDefault();
      this.ui.player.classList.remove('dragging');
      const file = e.dataTransfer && e.dataTransfer.files[0];
      if (file) this.open(file).catch(() => {});
    });

    this.wireTouchPad();
    this.gamepads = { bits: 0, bits2: 0, pause: false };
    this.resizeObserver = new ResizeObserver(() => this.layout());
    this.resizeObserver.observe(ui.screen);
    this.sendGain();
  }

  onKey(e, down) {
    // Keys typed into the select boxes stay theirs.
    // Without a cartridge the keys are the page's (Tab moves on).
    if (!this.cartridge) return;
    const inside = e.composedPath()[0];
    if (inside && inside.tagName === 'SELECT' && !e.code.startsWith('F')) return;
    const action = keyAction(e.code, e.ctrlKey || e.metaKey, e.altKey);
    if (!action) return;
    e.preventDefault();
    e.stopPropagation();
    if (down) this.startAudio();
    if (action.command) {
      if (action.command === 'rewind' || action.command === 'fast') {
        if (down) this.held.add(e.code);
        else this.held.delete(e.code);
      } else if (down && !e.repeat) {
        this.command(action.command);
      }
      return;
    }
    if (down) this.held.add(e.code);
    else this.held.delete(e.code);
  }

  // ---------------------------------------------------------------- the touch pad

  showTouchPad() {
    this.ui.touch.hidden = false;
  }

  wireTouchPad() {
    const pad = this.ui.touch;
    if (window.matchMedia && window.matchMedia('(pointer: coarse)').matches) this.showTouchPad();
    // What a finger at (x, y) over a control holds.
    const hold = (target, x, y) => {
      const control = target && target.dataset ? target.dataset.pad : null;
      if (control === '1') return { bits: BUTTON1, pause: false };
      if (control === '2') return { bits: BUTTON2, pause: false };
      if (control === 'start') return { bits: 0, pause: true };
      if (control !== 'dpad') return { bits: 0, pause: false };
      const r = target.getBoundingClientRect();
      const dx = (x - r.left) / r.width - 0.5, dy = (y - r.top) / r.height - 0.5;
      let bits = 0;
      // Eight ways: a direction counts within 67.5 degrees of its axis.
      if (Math.hypot(dx, dy) < 0.08) return { bits: 0, pause: false };
      const angle = Math.atan2(dy, dx);
      const near = (a) => Math.abs(Math.atan2(Math.sin(angle - a), Math.cos(angle - a))) < (67.5 * Math.PI) / 180;
      if (near(-Math.PI / 2)) bits |= UP;
      if (near(Math.PI / 2)) bits |= DOWN;
      if (near(Math.PI)) bits |= LEFT;
      if (near(0)) bits |= RIGHT;
      return { bits, pause: false };
    };
    const controlAt = (e) => {
      // A captured pointer keeps its control; a finger sliding off a button lets go.
      const under = this.shadowRoot.elementFromPoint(e.clientX, e.clientY);
      return under && pad.contains(under) ? under : null;
    };
    pad.addEventListener('pointerdown', (e) => {
      e.preventDefault();
      this.focus();
      this.touchBits.set(e.pointerId, hold(e.target, e.clientX, e.clientY));
    });
    pad.addEventListener('pointermove', (e) => {
      if (!this.touchBits.has(e.pointerId)) return;
      this.touchBits.set(e.pointerId, hold(controlAt(e), e.clientX, e.clientY));
    });
    const up = (e) => this.touchBits.delete(e.pointerId);
    pad.addEventListener('pointerup', up);
    pad.addEventListener('pointercancel', up);
    pad.addEventListener('contextmenu', (e) => e.preventDefault());
  }

  // ---------------------------------------------------------------- the element's life

  connectedCallback() {
    if (!this.hasAttribute('tabindex')) this.tabIndex = 0;
    this.startFrames();
    this.batteryTimer = setInterval(() => this.checkBattery(), BATTERY_CHECK_MS);
    this.onHide = (e) => {
      const hidden = e.type === 'pagehide' || document.visibilityState === 'hidden';
      if (hidden) this.flushBattery().catch(() => {});
      // A hidden page gets no animation frames: the sound would run dry, so
      // the audio context rests too, until the page is seen again.
      if (hidden) this.suspendAudio();
      else if (!this._paused) this.resumeAudio();
    };
    document.addEventListener('visibilitychange', this.onHide);
    window.addEventListener('pagehide', this.onHide);
  }

  disconnectedCallback() {
    this.stopFrames();
    clearInterval(this.batteryTimer);
    document.removeEventListener('visibilitychange', this.onHide);
    window.removeEventListener('pagehide', this.onHide);
    this.flushBattery().catch(() => {});
  }

  attributeChangedCallback(name, old, value) {
    if (name === 'src') {
      if (value) this.open(value).catch(() => {});
      return;
    }
    // A new model, region or video standard: as a choice in the menus.
    this.ready.then(() => {
      const select = this.ui[name];
      const index = [...select.options].findIndex((o) => o.value === value);
      if (index < 0 || index === select.selectedIndex) return;
      select.selectedIndex = index;
      if (name === 'model') this.chosenModel = index;
      this.configure();
    }).catch(() => {});
  }
}

if (!customElements.get('tiravel-player')) customElements.define('tiravel-player', TiravelPlayer);
export { TiravelPlayer };
