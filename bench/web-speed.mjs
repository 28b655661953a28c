// The web player's speed in node: the demo cartridge for 20000 frames as fast
// as the module runs them (frame, picture and sound taken as the page takes
// them), in frames a second; beside it the native runner's
// `tiravel-headless --speed` on the same cartridge when a build of it is in
// the repository (build-release first), and the compressed size of what a
// page downloads for the module.
//
// node bench/web-speed.mjs [FRAMES]   (TIRAVEL_WEB_BUILD: the build, default build-web)
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import zlib from 'node:zlib';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const build = path.resolve(process.env.TIRAVEL_WEB_BUILD ?? path.join(root, 'build-web'));
const frames = Number(process.argv[2] ?? 20000);
if (!Number.isInteger(frames) || frames < 1) {
    console.error('usage: node bench/web-speed.mjs [FRAMES]');
    process.exit(2);
}

const createTiravel = (await import(path.join(build, 'tiravel-core.js'))).default;
const m = await createTiravel();
m._tw_init();
const rom = fs.readFileSync(path.join(build, 'demo.sms'));
m.HEAPU8.set(rom, m._tw_buffer(rom.length));
const name = m._malloc(16);
m.stringToUTF8('demo.sms', name, 16);

// Two passes from the cartridge's start: the frames alone (sound made, as
// the runner makes it), then as the page takes each frame: the picture's RGBA
// and the sound's floats made and copied out (into ImageData and the audio
// queue).
const picture = new Uint8ClampedArray(256 * 240 * 4);
const sound = new Float32Array(4096);
function pass(withPicture) {
    if (m._tw_load_cartridge(rom.length, name, 0) < 0) throw new Error(m.UTF8ToString(m._tw_error()));
    const started = process.hrtime.bigint();
    const cpuStarted = process.cpuUsage();
    for (let i = 0; i < frames; ++i) {
        m._tw_run_frame();
        if (!withPicture) continue;
        const p = m._tw_picture();
        picture.set(m.HEAPU8.subarray(p, p + m._tw_picture_width() * m._tw_picture_height() * 4));
        const s = m._tw_sound() >> 2;
        sound.set(m.HEAPF32.subarray(s, s + 2 * m._tw_sound_frames()));
    }
    const seconds = Number(process.hrtime.bigint() - started) / 1e9;
    const cpu = process.cpuUsage(cpuStarted);
    return [seconds, (cpu.user + cpu.system) / 1e6];
}
// On a machine shared with other work the processor time says more than the
// time on the clock: both are shown.
const rate = (seconds) => `${(frames / seconds).toFixed(0)} frames/s`;
const [seconds, cpuSeconds] = pass(false);
console.log(`wasm (node ${process.version}): ${frames} frames in ${seconds.toFixed(2)} s, ${rate(seconds)}; ` +
    `${cpuSeconds.toFixed(2)} s of processor time, ${rate(cpuSeconds)}`);
const webFps = frames / cpuSeconds;
const [pageSeconds, pageCpu] = pass(true);
console.log(`wasm with the picture and sound read out: ${pageSeconds.toFixed(2)} s, ${rate(pageSeconds)}; ` +
    `${pageCpu.toFixed(2)} s of processor time, ${rate(pageCpu)}`);

// The native runner: its --speed line, and its processor time through
// /usr/bin/time when that is there.
for (const dir of [process.env.TIRAVEL_NATIVE_BUILD, 'build-release', 'build']) {
    if (!dir) continue;
    const runner = path.resolve(root, dir, 'tools/tiravel-headless');
    if (!fs.existsSync(runner) || fs.statSync(runner).size === 0) continue;
    const args = ['--speed', '--frames', String(frames), path.join(build, 'demo.sms')];
    const timed = fs.existsSync('/usr/bin/time');
    const run = spawnSync(timed ? '/usr/bin/time' : runner, timed ? ['-f', 'cpu %U %S', runner, ...args] : args,
        { encoding: 'utf8' });
    if (run.status !== 0) throw new Error(`${runner} failed: ${run.stderr}`);
    console.log(`native (${path.relative(root, runner)}): ${run.stdout.trim().split('\n').pop()}`);
    const cpu = /cpu ([0-9.]+) ([0-9.]+)/.exec(run.stderr);
    let nativeFps = Number((/([0-9.]+) frames per second/.exec(run.stdout) ?? [])[1]);
    if (cpu) {
        const cpuSeconds = Number(cpu[1]) + Number(cpu[2]);
        nativeFps = frames / cpuSeconds;
        console.log(`native: ${cpuSeconds.toFixed(2)} s of processor time, ${rate(cpuSeconds)}`);
    }
    if (nativeFps > 0) console.log(`wasm / native (processor time${cpu ? '' : '; native by the clock'}): ` +
        `${(webFps / nativeFps).toFixed(2)}`);
    break;
}

// The download: gzip -9 of the module's two files (and of the page's script
// when it is there).
let total = 0;
for (const file of ['tiravel-core.wasm', 'tiravel-core.js', 'tiravel-player.js', 'tiravel-audio.js']) {
    const full = path.join(build, file);
    if (!fs.existsSync(full)) continue;
    const bytes = fs.readFileSync(full);
    const packed = zlib.gzipSync(bytes, { level: 9 }).length;
    total += packed;
    console.log(`${file}: ${bytes.length} bytes, ${packed} gzip -9`);
}
console.log(`together: ${total} bytes gzip -9`);
