#!/usr/bin/python3
"""The web player's pictures for the docs, taken in Chromium headless:
tests/web/browser/screenshots.py BUILD_WEB_DIR [OUT_DIR]

  web-player.png     index.html?rom=... with the demo's scene running
  web-embed.png      the element on a page of ours (pages/embed.html)
  web-game-gear.png  a Game Gear cartridge at the handheld's 160 x 144: the
                     tunnel game of tests/data/gamegear on its title

OUT_DIR defaults to the repository's docs/screenshots. The demo comes from
TIRAVEL_DEMO_ROM or BUILD_WEB_DIR/demo.sms. Each picture is taken at a frame
the script reaches with runFrames, so it is the same every time.
"""

import os
import shutil
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from harness import GAME_GEAR_DATA, PAGES, StaticServer, start_chromium  # noqa: E402

# Leaves the title, then moves both players apart and changes a shape and a colour.
SCENE = ('100 press p1.b1\n104 release p1.b1\n130 press p1.up\n130 press p1.left\n150 release p1.up\n'
         '140 release p1.left\n140 press p2.down\n165 release p2.down\n170 press p1.b2\n174 release p1.b2\n'
         '180 press p2.b1\n184 release p2.b1\n')


def run(driver, script, *args):
    result = driver.execute_async_script("""
        const done = arguments[arguments.length - 1];
        const args = Array.from(arguments).slice(0, -1);
        (async () => {
          await customElements.whenDefined('tiravel-player');
          const el = document.querySelector('tiravel-player');
          await el.ready;
          """ + script + """
        })().then(v => done({ value: v === undefined ? null : v }), e => done({ error: String(e.message || e) }));
    """, *args)
    if 'error' in result:
        sys.exit('screenshots: ' + result['error'])
    return result['value']


def settle(driver):
    # Two animation frames: the canvas and the layout are on the screen.
    driver.execute_async_script(
        'const done = arguments[0]; requestAnimationFrame(() => requestAnimationFrame(() => done()));')
    time.sleep(0.3)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build_web = os.path.abspath(sys.argv[1])
    out = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else \
        os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(HERE))), 'docs', 'screenshots')
    demo = os.environ.get('TIRAVEL_DEMO_ROM') or os.path.join(build_web, 'demo.sms')
    scratch = tempfile.mkdtemp(prefix='tiravel-shots-')
    for name in ('tiravel-demo.sms', 'embed-demo.sms'):
        shutil.copyfile(demo, os.path.join(scratch, name))
    shutil.copyfile(os.path.join(GAME_GEAR_DATA, 'liamhays_tunnel.gg'), os.path.join(scratch, 'tunnel.gg'))
    server = StaticServer([build_web, PAGES, scratch])
    driver = start_chromium(size=(800, 743))
    try:
        # The player filling the page: the scene, running.
        driver.get(server.url + 'index.html')
        run(driver, 'await el.open("tiravel-demo.sms"); await el.runFrames(400, args[0]); el.resume();', SCENE)
        settle(driver)
        driver.save_screenshot(os.path.join(out, 'web-player.png'))

        # The page of ours with the element, still on its title.
        driver.get(server.url + 'embed.html')
        run(driver, 'while (!el.frameNumber) await new Promise(r => setTimeout(r, 50));'
                    'await el.runFrames(300); el.resume();')
        settle(driver)
        driver.save_screenshot(os.path.join(out, 'web-embed.png'))

        # A Game Gear cartridge in the player.
        driver.get(server.url + 'index.html')
        run(driver, 'await el.open("tunnel.gg"); await el.runFrames(300); el.resume();')
        settle(driver)
        driver.save_screenshot(os.path.join(out, 'web-game-gear.png'))
    finally:
        driver.quit()
        server.close()
        shutil.rmtree(scratch, ignore_errors=True)
    print('screenshots: web-player.png, web-embed.png, web-game-gear.png in', out)


if __name__ == '__main__':
    main()
