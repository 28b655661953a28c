#!/usr/bin/python3
"""The web player's cost: bench/web-cpu.py BUILD_WEB_DIR [options]

1. Opens the player page (index.html?rom=demo) in Chromium headless, clicks
   it (the first gesture starts the sound worklet), leaves the demo's title
   with a real key and lets the scene play with its music at the console's
   rate; then measures the CPU time that all of Chromium's processes (the
   browser, the renderer, the GPU and audio services) use over --seconds
   (20), as a share of one core, read from /proc. Sound goes nowhere in a
   headless browser, but the worklet still pulls it at the output's rate.
2. Runs web/bench.html: the console module alone for --frames (20000) as
   fast as it goes, and prints its frames a second.
3. With --headless PATH, runs `tiravel-headless --speed --frames N` on the
   same cartridge for the native figure to set beside it.

Debian's chromium, chromium-driver and python3-selenium; run with
/usr/bin/python3. Nothing here asserts a time: it prints the figures.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, 'tests', 'web', 'browser'))

from harness import StaticServer, start_chromium  # noqa: E402
from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

TICKS = os.sysconf('SC_CLK_TCK')


def processes_under(root_pid):
    """{pid: (kind, cpu seconds)} of root_pid's descendants (chromedriver's:
    Chromium's browser process and all it started)."""
    parent, info = {}, {}
    for entry in os.listdir('/proc'):
        if not entry.isdigit():
            continue
        try:
            with open(f'/proc/{entry}/stat') as f:
                stat = f.read()
            with open(f'/proc/{entry}/cmdline', 'rb') as f:
                # Chromium rewrites its command line as one string with spaces.
                cmdline = f.read().decode(errors='replace').replace('\0', ' ')
        except OSError:
            continue
        # The command's name is in parentheses and may hold spaces.
        fields = stat[stat.rindex(')') + 2:].split()
        pid = int(entry)
        parent[pid] = int(fields[1])
        utime, stime = int(fields[11]), int(fields[12])
        kind = re.search(r'--type=(\S+)', cmdline)
        kind = kind.group(1) if kind else 'browser'
        sub = re.search(r'--utility-sub-type=(\S+)', cmdline)
        if sub:
            kind += ' ' + sub.group(1).rsplit('.', 1)[-1]
        info[pid] = (kind, (utime + stime) / TICKS)
    inside, result = {root_pid}, {}
    changed = True
    while changed:
        changed = False
        for pid, ppid in parent.items():
            if ppid in inside and pid not in inside:
                inside.add(pid)
                changed = True
    for pid in inside - {root_pid}:
        if pid in info:
            result[pid] = info[pid]
    return result


def wait_for(driver, script, timeout, what):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = driver.execute_script(script)
        if value:
            return value
        time.sleep(0.1)
    sys.exit(f'web-cpu: timed out waiting for {what}')


def frame_number(driver):
    return driver.execute_script("const el = document.querySelector('tiravel-player'); return el.frameNumber;")


def measure_playing(driver, server, rom_name, seconds, idle_seconds):
    driver.get(server.url + 'index.html?rom=' + rom_name)
    wait_for(driver, "const el = document.querySelector('tiravel-player'); return el && el.frameNumber > 30;",
             30, 'the demo to start')
    element = driver.find_element(By.CSS_SELECTOR, 'tiravel-player')
    ActionChains(driver).move_to_element(element).click().perform()
    start = frame_number(driver)
    wait_for(driver, f"return document.querySelector('tiravel-player').frameNumber > {start + 120};", 30,
             'the title')
    ActionChains(driver).key_down('x').perform()
    time.sleep(0.2)
    ActionChains(driver).key_up('x').perform()
    time.sleep(2)  # the scene settles, the sound ring fills

    frames_before = frame_number(driver)
    wall, by_kind = cpu_over(driver, seconds)
    frames = frame_number(driver) - frames_before
    stats = driver.execute_async_script(
        "const done = arguments[0]; document.querySelector('tiravel-player').audioStats().then(done);")
    print(f'Playing the demo for {wall:.1f} s: {frames} frames ({frames / wall:.2f} a second); '
          f'sound frames played {stats["framesPlayed"]}, peak {stats["peak"]:.3f}')
    share = report_cpu(wall, by_kind)
    if idle_seconds > 0:
        # The same page with the player paused: what Chromium costs anyway.
        driver.execute_script("document.querySelector('tiravel-player').pause();")
        time.sleep(1)
        wall, by_kind = cpu_over(driver, idle_seconds)
        print(f'The same page paused for {wall:.1f} s:')
        report_cpu(wall, by_kind)
    return share


def cpu_over(driver, seconds):
    """The CPU time of Chromium's processes by kind over `seconds`."""
    root = driver.service.process.pid
    before = processes_under(root)
    started = time.monotonic()
    time.sleep(seconds)
    after = processes_under(root)
    wall = time.monotonic() - started
    by_kind = {}
    for pid, (kind, cpu) in after.items():
        used = cpu - before[pid][1] if pid in before else cpu
        by_kind[kind] = by_kind.get(kind, 0.0) + used
    return wall, by_kind


def report_cpu(wall, by_kind):
    total = sum(by_kind.values())
    print(f'  Chromium CPU: {total:.2f} s = {100 * total / wall:.1f}% of one core')
    for kind, used in sorted(by_kind.items(), key=lambda kv: -kv[1]):
        if used > 0:
            print(f'    {kind:24} {100 * used / wall:5.1f}%')
    return total / wall


def bench_page(driver, server, rom_name, frames, picture):
    query = f'bench.html?frames={frames}&rom={rom_name}' + ('&picture=1' if picture else '')
    driver.get(server.url + query)
    result = wait_for(driver, 'return window.benchResult;', 600, 'bench.html')
    if 'error' in result:
        sys.exit('web-cpu: bench.html: ' + result['error'])
    print(f'bench.html{" (the picture every frame)" if picture else ""}: {frames} frames in '
          f'{result["seconds"]:.3f} s: {result["fps"]:.0f} frames per second, '
          f'{result["realTime"]:.1f} times real time')
    return result['fps']


def native_speed(headless, rom, frames):
    out = subprocess.run([headless, '--speed', '--frames', str(frames), rom], check=True, capture_output=True,
                         text=True).stdout
    print(f'tiravel-headless --speed: {out.strip()}')
    match = re.search(r'(\d+) frames per second', out)
    return float(match.group(1)) if match else None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('build_web', help='the built web player (build-web)')
    parser.add_argument('--rom', default=os.environ.get('TIRAVEL_DEMO_ROM'),
                        help='the cartridge (default: TIRAVEL_DEMO_ROM, else BUILD_WEB/demo.sms)')
    parser.add_argument('--seconds', type=float, default=20)
    parser.add_argument('--idle-seconds', type=float, default=10,
                        help='then the page with the player paused, for comparison (0: not)')
    parser.add_argument('--frames', type=int, default=20000)
    parser.add_argument('--headless', default=os.environ.get('TIRAVEL_HEADLESS'),
                        help='tiravel-headless, for the native speed')
    parser.add_argument('--skip-playing', action='store_true', help='only the speed')
    args = parser.parse_args()

    build_web = os.path.abspath(args.build_web)
    rom = args.rom or os.path.join(build_web, 'demo.sms')
    if not os.path.isfile(rom):
        sys.exit(f'web-cpu: no cartridge {rom}: give --rom')
    scratch = tempfile.mkdtemp(prefix='tiravel-web-cpu-')
    shutil.copyfile(rom, os.path.join(scratch, 'bench-demo.sms'))
    # bench.html from the repository when the build has not copied it.
    server = StaticServer([build_web, os.path.join(ROOT, 'web'), scratch])
    driver = start_chromium(autoplay=False)
    try:
        if not args.skip_playing:
            measure_playing(driver, server, 'bench-demo.sms', args.seconds, args.idle_seconds)
        wasm = bench_page(driver, server, 'bench-demo.sms', args.frames, False)
        bench_page(driver, server, 'bench-demo.sms', args.frames, True)
    finally:
        driver.quit()
        server.close()
        shutil.rmtree(scratch, ignore_errors=True)
    if args.headless:
        native = native_speed(args.headless, rom, args.frames)
        if native:
            print(f'The module runs at {100 * wasm / native:.0f}% of the native speed.')


if __name__ == '__main__':
    main()
