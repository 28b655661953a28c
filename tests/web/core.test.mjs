// The web player's C interface (web/TiravelWeb.h) in node, on the module that
// scripts/web builds (TIRAVEL_WEB_BUILD, default build-web/): the demo and a
// Game Gear cartridge run frame for frame as the native headless runner runs
// them (when build-release or build has it), refused files give the desktop's
// messages, and states, battery RAM and rewind do what the page relies on.
// Run with: node --test tests/web/
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { describe, test } from 'node:test';
import { fileURLToPath } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const build = path.resolve(process.env.TIRAVEL_WEB_BUILD ?? path.join(root, 'build-web'));
const createTiravel = (await import(path.join(build, 'tiravel-core.js'))).default;
const demoRom = fs.readFileSync(path.join(build, 'demo.sms'));
const ggRom = fs.readFileSync(path.join(build, 'gg_stereo.gg'));

const MODELS = ['tiravel', 'sms1', 'sms2', 'gamegear'];

// A module instance (one console) with the page's calls in JavaScript terms.
async function startCore() {
    const m = await createTiravel();
    assert.equal(m._tw_init(), 0);
    const text = (pointer) => m.UTF8ToString(pointer);
    const withString = (s, f) => {
        const size = m.lengthBytesUTF8(s) + 1;
        const p = m._malloc(size);
        m.stringToUTF8(s, p, size);
        try { return f(p); } finally { m._free(p); }
    };
    const put = (bytes) => {
        const p = m._tw_buffer(bytes.length);
        m.HEAPU8.set(bytes, p);
        return bytes.length;
    };
    return {
        m,
        error: () => text(m._tw_error()),
        load(bytes, name, model = 0) {
            const size = put(bytes);
            return withString(name, (p) => m._tw_load_cartridge(size, p, model));
        },
        script: (s) => withString(s, (p) => m._tw_set_script(p)),
        // The picture's FNV-1a 64 as the runner hashes it: XRGB8888 words in
        // memory order (blue, green, red, 0), from the RGBA bytes.
        pictureHash() {
            const w = m._tw_picture_width(), h = m._tw_picture_height();
            const rgba = m.HEAPU8.subarray(m._tw_picture(), m._tw_picture() + w * h * 4);
            const xrgb = new Uint8Array(w * h * 4);
            for (let i = 0; i < rgba.length; i += 4) {
                xrgb[i] = rgba[i + 2]; xrgb[i + 1] = rgba[i + 1]; xrgb[i + 2] = rgba[i];
            }
            return fnv1a64(xrgb);
        },
        // The frame's sound back in the bytes the runner hashes: the default
        // model's 8-bit samples, the others' 16-bit pairs little-endian.
        soundHash() {
            const n = m._tw_sound_frames();
            const f = m.HEAPF32.subarray(m._tw_sound() / 4, m._tw_sound() / 4 + 2 * n);
            if (m._tw_model() === 0) return fnv1a64(Uint8Array.from({ length: n }, (_, i) => f[2 * i] * 128 + 128));
            const words = Int16Array.from(f, (v) => Math.round(v * 32768));
            return fnv1a64(new Uint8Array(words.buffer));
        },
        stereo() {
            const n = m._tw_sound_frames();
            return Array.from(m.HEAPF32.subarray(m._tw_sound() / 4, m._tw_sound() / 4 + 2 * n));
        },
        bytes: (pointer, size) => m.HEAPU8.slice(pointer, pointer + size),
        put,
    };
}

function fnv1a64(bytes) {
    let h = 0xcbf29ce484222325n;
    // Two 32-bit halves: BigInt per byte is slow for 200 KB pictures.
    let lo = Number(h & 0xffffffffn), hi = Number(h >> 32n);
    for (let i = 0; i < bytes.length; ++i) {
        lo = (lo ^ bytes[i]) >>> 0;
        // h * 0x100000001b3 = h * 0x1b3 + (h << 40), modulo 2^64.
        const loMul = lo * 0x1b3;
        const carry = Math.floor(loMul / 0x100000000);
        const newLo = loMul >>> 0;
        hi = (Math.imul(hi, 0x1b3) + carry + ((lo << 8) >>> 0)) >>> 0;
        lo = newLo;
    }
    return ((BigInt(hi) << 32n) | BigInt(lo)).toString(16).padStart(16, '0');
}

function runFrames(core, count, each) {
    const hashes = [];
    for (let i = 0; i < count; ++i) {
        if (each) each(i);
        core.m._tw_run_frame();
        hashes.push(`${core.pictureHash()} ${core.soundHash()}`);
    }
    return hashes;
}

// The native runner of a Release (or any) build in the repository, or null.
function nativeRunner() {
    for (const dir of [process.env.TIRAVEL_NATIVE_BUILD, 'build-release', 'build']) {
        if (!dir) continue;
        const runner = path.resolve(root, dir, 'tools/tiravel-headless');
        try {
            fs.accessSync(runner, fs.constants.X_OK);
            if (fs.statSync(runner).size > 0) return runner;
        } catch { /* not built there */ }
    }
    return null;
}

// The runner's per-frame picture and sound hashes for a cartridge and script.
function nativeHashes(runner, rom, name, frames, script) {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tiravel-web-test-'));
    try {
        const romPath = path.join(dir, name);
        fs.writeFileSync(romPath, rom);
        const args = ['--frames', String(frames), '--hash-every-frame', romPath];
        if (script) {
            fs.writeFileSync(path.join(dir, 'input.txt'), script);
            args.unshift('--input', path.join(dir, 'input.txt'));
        }
        const out = execFileSync(runner, args, { encoding: 'utf8', env: { ...process.env, HOME: dir } });
        return out.split('\n').filter((l) => l.startsWith('frame ')).map((l) => l.split(' ').slice(2).join(' '));
    } finally {
        fs.rmSync(dir, { recursive: true, force: true });
    }
}

// The demo through its title (button 1 starts the scene once the title is
// up, near frame 100), both pads moving the players, Pause twice and Reset
// back to the title. Nothing is held in frames 255-299.
const SCRIPT = `
100 press p1.b1
104 release p1.b1
140 press p1.right
160 press p2.down
200 release p1.right
220 release p2.down
230 press p1.b1
234 release p1.b1
250 press p2.b2
254 release p2.b2
300 press pause
301 release pause
340 press pause
341 release pause
420 press reset
421 release reset
460 press p1.b1
464 release p1.b1
`;

describe('frames as the native runner makes them', () => {
    const runner = nativeRunner();
    const cases = [
        { name: 'demo.sms', rom: demoRom, frames: 600, script: SCRIPT, model: 'tiravel', size: [256, 192], rate: 44100 },
        { name: 'gg_stereo.gg', rom: ggRom, frames: 120, script: '', model: 'gamegear', size: [160, 144], rate: 48000 },
    ];
    for (const c of cases) {
        test(`${c.name}: ${c.frames} frames`, { skip: runner ? false : 'no native build (build-release/tools/tiravel-headless)' },
            async () => {
                const core = await startCore();
                assert.equal(MODELS[core.load(c.rom, c.name)], c.model);
                if (c.script) assert.equal(core.script(c.script), 0);
                const web = runFrames(core, c.frames);
                assert.deepEqual([core.m._tw_picture_width(), core.m._tw_picture_height()], c.size);
                assert.equal(core.m._tw_sample_rate(), c.rate);
                const native = nativeHashes(runner, c.rom, c.name, c.frames, c.script);
                assert.equal(native.length, c.frames);
                const first = web.findIndex((h, i) => h !== native[i]);
                assert.equal(first, -1, `frame ${first}: web ${web[first]}, native ${native[first]}`);
            });
    }
});

describe('cartridges', () => {
    test('the options tables list the models, regions and video standards by id', async () => {
        const core = await startCore();
        const ids = (kind) => Array.from({ length: core.m._tw_option_count(kind) },
            (_, i) => core.m.UTF8ToString(core.m._tw_option_id(kind, i)));
        assert.deepEqual(ids(0), MODELS);
        assert.deepEqual(ids(1), ['export', 'japan']);
        assert.deepEqual(ids(2), ['ntsc', 'pal']);
    });

    test('a refused image keeps the running cartridge and gives the desktop\'s message', async () => {
        const core = await startCore();
        assert.equal(core.load(demoRom, 'demo.sms'), 0);
        const refusals = [
            [new Uint8Array(10), 'bad.sms',
                'Cannot load the ROM file "bad.sms": it is only 10 bytes long, too short to be a cartridge image.'],
            [demoRom, 'Game.zip', /^Cannot load the ROM file "Game\.zip": it is a zip archive, .*unpack it first\.$/],
        ];
        for (const [bytes, name, message] of refusals) {
            assert.equal(core.load(bytes, name), -1);
            if (message instanceof RegExp) assert.match(core.error(), message);
            else assert.equal(core.error(), message);
            assert.equal(core.m.UTF8ToString(core.m._tw_cartridge_name()), 'demo.sms');
        }
    });

    test('a Game Gear image runs as the Game Gear with its two sides apart', async () => {
        const core = await startCore();
        // Asked for the default model: the .gg name chooses the handheld.
        assert.equal(MODELS[core.load(ggRom, 'gg_stereo.gg', 0)], 'gamegear');
        assert.equal(MODELS[core.m._tw_model()], 'gamegear');
        let differ = false;
        runFrames(core, 90, () => {});
        for (let i = 0; i < 10; ++i) {
            core.m._tw_run_frame();
            const s = core.stereo();
            assert.ok(s.every((v) => v >= -1 && v <= 1));
            for (let j = 0; j < s.length; j += 2) if (s[j] !== s[j + 1]) differ = true;
        }
        assert.ok(differ, 'the left and right samples never differ');
        assert.deepEqual([core.m._tw_picture_width(), core.m._tw_picture_height()], [160, 144]);
        assert.ok(Math.abs(core.m._tw_frame_rate() - 59.9227) < 0.001);
    });

    test('configure powers on as another model and keeps the cartridge', async () => {
        const core = await startCore();
        core.load(demoRom, 'demo.sms');
        core.m._tw_configure(2, 0, 1);  // Master System II, PAL
        assert.deepEqual([core.m._tw_model(), core.m._tw_video()], [2, 1]);
        assert.equal(core.m.UTF8ToString(core.m._tw_cartridge_name()), 'demo.sms');
        core.m._tw_run_frame();
        assert.ok(Math.abs(core.m._tw_frame_rate() - 49.7015) < 0.001);
        assert.equal(core.m._tw_sample_rate(), 48000);
        assert.ok(core.m._tw_sound_frames() > 900);  // a PAL frame at 48000
    });
});

describe('states, battery RAM and rewind', () => {
    test('a saved state loads back to the same frames; a damaged one is refused', async () => {
        const core = await startCore();
        core.load(demoRom, 'demo.sms');
        core.script(SCRIPT);
        runFrames(core, 270);
        core.script('');  // nothing held at frame 270: the frames after are the state's own
        const size = core.m._tw_save_state();
        const state = core.bytes(core.m._tw_state_data(), size);
        const after = runFrames(core, 60);
        core.put(state);
        assert.equal(core.m._tw_load_state(size), 0);
        assert.deepEqual(runFrames(core, 60), after);
        // And in a console of its own, as a state saved in one tab loads in another.
        const fresh = await startCore();
        fresh.load(demoRom, 'demo.sms');
        fresh.put(state);
        assert.equal(fresh.m._tw_load_state(size), 0);
        assert.deepEqual(runFrames(fresh, 60), after);

        const damaged = state.slice(0, size >> 1);
        core.put(damaged);
        assert.equal(core.m._tw_load_state(damaged.length), -1);
        assert.match(core.error(), /^Cannot load the state: /);
    });

    test('battery RAM set and read back; it counts as unused until the game touches it', async () => {
        const core = await startCore();
        core.load(demoRom, 'demo.sms');
        const size = core.m._tw_battery_size();
        assert.equal(size, 32768);
        const pattern = Uint8Array.from({ length: 1000 }, (_, i) => (i * 7 + 3) & 0xff);
        core.put(pattern);
        core.m._tw_set_battery_ram(pattern.length);
        const ram = core.bytes(core.m._tw_battery_ram(), size);
        assert.deepEqual(ram.subarray(0, pattern.length), pattern);
        assert.equal(core.m._tw_battery_used(), 0);
    });

    test('rewind goes back through the frames just run, one a frame', async () => {
        const core = await startCore();
        core.load(demoRom, 'demo.sms');
        core.script(SCRIPT);
        // Nothing is held at the end, as in the frames run again going back.
        const forward = runFrames(core, 300, () => assert.equal(core.m._tw_rewind(0), 0));
        core.script('');
        const back = runFrames(core, 30, () => assert.equal(core.m._tw_rewind(1), 1));
        const start = forward.lastIndexOf(back[0]);
        assert.ok(start > 250, `the first frame back is not a recent one (${start})`);
        assert.deepEqual(back, forward.slice(start - 29, start + 1).reverse());
        assert.equal(core.m._tw_rewind(0), 0);
    });
});
