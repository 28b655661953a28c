"""The web player in a real headless Chromium: the demo frame for frame as
tiravel-headless runs it, the page's query, real keys (the pads and the
desktop's command keys), states and battery RAM kept across a reload in
IndexedDB, the sound worklet after the first click, archives, bad files,
the element embedded in a page of ours, and a Game Gear cartridge.

Cartridge names differ between tests that store something, since the
player keys its battery RAM and states by the name.
"""

import base64
import gzip
import io
import os
import unittest
import zipfile

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from harness import DEMO_INPUT, GAME_GEAR_DATA, PLAYER1_RGB, BrowserTestCase, run_headless, runner_battery

# Leaves the demo's title: button 1 pressed after the BIOS has handed over.
LEAVE_TITLE = '100 press p1.b1\n104 release p1.b1\n'
LEAVE_TITLE_FRAMES = 200

# The element's message in its shadow root: its text and whether it shows.
MESSAGE = """
function shownMessage() {
  const m = el.shadowRoot && el.shadowRoot.querySelector('.message');
  if (!m) return null;
  const shown = m.checkVisibility ? m.checkVisibility({ checkOpacity: true, checkVisibilityCSS: true })
                                  : m.offsetParent !== null;
  return { text: m.textContent.trim(), shown };
}
"""

# Opens args[0] with both events recorded.
OPEN_WITH_EVENTS = MESSAGE + """
const events = [];
const listen = type => el.addEventListener(type, e => events.push({ type, detail: e.detail }));
listen('tiravel-loaded');
listen('tiravel-error');
let model = null, error = null;
try { model = await el.open(args[0]); } catch (e) { error = e instanceof Error ? e.message : String(e); }
await new Promise(r => setTimeout(r, 0));  // an event dispatched just after the promise settles
return { model, error, events, message: shownMessage() };
"""

# The canvas's size on the page beside its backing size, and how it is scaled.
DISPLAY_SCALE = """
const r = el.canvas.getBoundingClientRect();
return { width: r.width, height: r.height, backingWidth: el.canvas.width, backingHeight: el.canvas.height,
         rendering: getComputedStyle(el.canvas).imageRendering };
"""

# One record of an IndexedDB store of the player's database.
STORED = """
const db = await new Promise((resolve, reject) => {
  const r = indexedDB.open('tiravel');
  r.onsuccess = () => resolve(r.result);
  r.onerror = () => reject(r.error);
});
try {
  if (!db.objectStoreNames.contains(args[0])) return { missing: 'store' };
  const value = await new Promise((resolve, reject) => {
    const r = db.transaction(args[0], 'readonly').objectStore(args[0]).get(args[1]);
    r.onsuccess = () => resolve(r.result);
    r.onerror = () => reject(r.error);
  });
  return { found: value !== undefined };
} finally { db.close(); }
"""


def demo_script():
    with open(DEMO_INPUT) as f:
        return f.read()


class DemoCartridge(BrowserTestCase):
    """The picture and the files the player opens."""

    def open_demo_as(self, name):
        self.copy_to_scratch(name)
        return self.js(OPEN_WITH_EVENTS, name)

    def assert_whole_multiple(self, scale):
        # The canvas scaled up by CSS to a whole multiple of the console's
        # picture, sharp; or, where even 1x does not fit, filling the box.
        self.assertIn(scale['rendering'], ('pixelated', 'crisp-edges'))
        x = scale['width'] / scale['backingWidth']
        y = scale['height'] / scale['backingHeight']
        if x >= 1:
            self.assertEqual((x, y), (round(x), round(x)), scale)

    def test_the_scripted_demo_draws_the_runners_frame_600(self):
        hashes = run_headless(self.demo, 600, DEMO_INPUT)
        self.load()
        self.copy_to_scratch('runner-demo.sms')
        # runFrames straight after the opening: the console's frames from
        # power-on, as the runner's are.
        run = self.js("""
            const model = await el.open(args[0]);
            const before = el.frameNumber;
            await el.runFrames(600, args[1]);
            return { model, before, after: el.frameNumber, paused: el.paused };
        """, 'runner-demo.sms', demo_script())
        self.assertEqual(run['model'], 'tiravel')
        self.assertEqual(run['before'], 0, 'frames ran between the opening and runFrames')
        self.assertEqual(run['after'], 600)
        self.assertTrue(run['paused'])
        picture = self.picture()
        self.assertEqual((picture.width, picture.height), (256, 192))
        self.assertEqual(f'{picture.runner_hash():016x}', f'{hashes[599]:016x}')
        self.assert_whole_multiple(self.js(DISPLAY_SCALE))

    def test_the_page_takes_the_cartridge_and_the_model_from_its_query(self):
        # The page's own opening is seen through its event, caught on the
        # window before the page's scripts run.
        self.driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': """
            window.addEventListener('tiravel-loaded', e => { window.loadedDetail = e.detail; }, true);"""})
        self.copy_to_scratch('query-demo.sms')
        for query, model, size in (('rom=query-demo.sms', 'tiravel', (256, 192)),
                                   ('rom=query-demo.sms&model=sms2&region=japan&video=pal', 'sms2', (256, 192)),
                                   ('model=gamegear&rom=query-demo.sms', 'gamegear', (160, 144))):
            with self.subTest(query=query):
                self.load('index.html?' + query)
                self.wait_for('the cartridge to start', lambda: self.frame_number() > 0)
                self.assertEqual(self.js('return window.loadedDetail;'), {'name': 'query-demo.sms', 'model': model})
                self.assertEqual(self.js('return [el.canvas.width, el.canvas.height];'), list(size))

    def test_a_zip_and_a_gz_open_as_the_image_they_hold(self):
        self.load()
        with open(self.demo, 'rb') as f:
            image = f.read()
        buffer = io.BytesIO()
        with zipfile.ZipFile(buffer, 'w', zipfile.ZIP_DEFLATED) as z:
            z.writestr('readme.txt', 'The demo cartridge, zipped.\n')
            z.writestr('zipped-demo.sms', image)
        self.scratch_file('zipped-demo.zip', buffer.getvalue())
        self.scratch_file('gzipped-demo.sms.gz', gzip.compress(image))
        self.scratch_file('plain-demo.sms', image)

        pictures = {}
        for name in ('plain-demo.sms', 'zipped-demo.zip', 'gzipped-demo.sms.gz'):
            with self.subTest(name=name):
                opened = self.js(OPEN_WITH_EVENTS, name)
                self.assertIsNone(opened['error'])
                self.assertEqual(opened['model'], 'tiravel')
                self.assertEqual([e['type'] for e in opened['events']], ['tiravel-loaded'])
                self.assertEqual(opened['events'][0]['detail']['model'], 'tiravel')
                self.run_frames(LEAVE_TITLE_FRAMES, LEAVE_TITLE)
                pictures[name] = self.picture()
        self.assertFalse(pictures['plain-demo.sms'].black())
        self.assertEqual(pictures['zipped-demo.zip'], pictures['plain-demo.sms'])
        self.assertEqual(pictures['gzipped-demo.sms.gz'], pictures['plain-demo.sms'])

    def test_a_bad_file_shows_the_desktops_message_and_the_player_goes_on(self):
        self.load()
        self.scratch_file('bad.sms', b'\x55' * 100)
        empty = io.BytesIO()
        with zipfile.ZipFile(empty, 'w') as z:
            z.writestr('readme.txt', 'No cartridge in here.\n')
        self.scratch_file('nothing.zip', empty.getvalue())
        cases = [
            ('bad.sms', 'it is only 100 bytes long'),
            ('nothing.zip', 'holds no cartridge image'),
            ('missing.sms', ''),  # a 404
        ]
        for name, reason in cases:
            with self.subTest(name=name):
                opened = self.js(OPEN_WITH_EVENTS, name)
                self.assertIsNone(opened['model'])
                message = opened['error']
                self.assertTrue(message and message.startswith('Cannot load the ROM file'), message)
                self.assertIn(name, message)
                self.assertIn(reason, message)
                self.assertEqual(opened['events'], [{'type': 'tiravel-error', 'detail': {'message': message}}])
                self.assertIsNotNone(opened['message'], 'no .message element in the shadow root')
                self.assertIn(message, opened['message']['text'])
                self.assertTrue(opened['message']['shown'], 'the message is hidden')
        # The tab answers, and a good cartridge still opens and runs; the
        # message goes with the next load.
        opened = self.open_demo_as('after-bad.sms')
        self.assertEqual(opened['model'], 'tiravel')
        self.assertFalse(opened['message'] and opened['message']['shown'], opened['message'])
        self.js('el.resume();')
        self.wait_frames(10)

    def test_a_game_gear_cartridge_opens_at_160_by_144(self):
        self.load()
        # The demo under a .gg name, and a public Game Gear game of the
        # tests' data (its title screen).
        cases = ['demo-copy.gg', 'liamhays_tunnel.gg']
        self.copy_to_scratch('demo-copy.gg')
        self.copy_to_scratch('liamhays_tunnel.gg', os.path.join(GAME_GEAR_DATA, 'liamhays_tunnel.gg'))
        for name in cases:
            with self.subTest(name=name):
                opened = self.js(OPEN_WITH_EVENTS, name)
                self.assertEqual(opened['model'], 'gamegear', opened['error'])
                self.run_frames(LEAVE_TITLE_FRAMES, LEAVE_TITLE)
                picture = self.picture()
                self.assertEqual((picture.width, picture.height), (160, 144))
                self.assertFalse(picture.black())
                self.assert_whole_multiple(self.js(DISPLAY_SCALE))
        # Back to a Master System cartridge: the model and the picture follow.
        self.assertEqual(self.open_demo_as('after-gg.sms')['model'], 'tiravel')
        self.run_frames(1)
        self.assertEqual((self.picture().width, self.picture().height), (256, 192))


class KeysAndStorage(BrowserTestCase):
    """Real keys, and what the player keeps in IndexedDB across a reload."""

    def open_demo_as(self, name):
        self.copy_to_scratch(name)
        self.assertEqual(self.open(name), 'tiravel')

    def press(self, key):
        ActionChains(self.driver).key_down(key).perform()

    def release(self, key):
        ActionChains(self.driver).key_up(key).perform()

    def test_an_arrow_key_moves_player_1(self):
        self.copy_to_scratch('keys-demo.sms')
        self.load('index.html?rom=keys-demo.sms')
        self.wait_for('the cartridge to start', lambda: self.frame_number() > 0)
        self.run_frames(LEAVE_TITLE_FRAMES, LEAVE_TITLE)
        start = self.picture().find(PLAYER1_RGB)
        self.assertIsNotNone(start, 'player 1 is not on the scene')

        self.js('el.focus(); el.resume();')
        self.assertTrue(self.js('return document.activeElement === el;'))
        self.press(Keys.ARROW_RIGHT)
        try:
            self.wait_frames(20)
        finally:
            self.release(Keys.ARROW_RIGHT)
        # The game draws its sprites a frame or two after it reads the pad.
        self.wait_frames(5)
        self.js('el.pause();')
        moved = self.picture().find(PLAYER1_RGB)
        # Two pixels a frame to the right, the same height.
        self.assertIsNotNone(moved)
        self.assertGreaterEqual(moved[0] - start[0], 20, (start, moved))
        self.assertEqual((moved[1], moved[3]), (start[1], start[3]))
        # The release got through too: the sprite stays.
        self.js('el.resume();')
        self.wait_frames(10)
        self.js('el.pause();')
        self.assertEqual(self.picture().find(PLAYER1_RGB), moved)

    def test_a_saved_state_survives_a_reload(self):
        self.load()
        self.open_demo_as('state-demo.sms')
        self.run_frames(LEAVE_TITLE_FRAMES, LEAVE_TITLE)
        self.js('await el.saveState(1);')
        saved = self.picture()
        self.run_frames(1)
        next_frame = self.picture()
        self.run_frames(60, '0 press p1.down\n0 press p2.b2\n')
        self.assertNotEqual(self.picture(), saved)

        self.driver.refresh()
        self.load()
        self.open_demo_as('state-demo.sms')
        # Paused first, so that the picture read is the state's own.
        shown = self.js('el.pause(); await el.loadState(1); return readCanvas(el.canvas).data;')
        self.assertTrue(base64.b64decode(shown) == saved.rgba, 'the loaded state\'s picture is not shown at once')
        self.run_frames(1)
        self.assertEqual(self.picture(), next_frame)

    def test_f5_saves_the_state_without_reloading_the_page(self):
        self.load()
        self.open_demo_as('f5-demo.sms')
        self.js('window.notReloaded = true; el.focus();')
        self.wait_frames(5)
        self.press(Keys.F5)
        self.release(Keys.F5)
        self.wait_for('state 1 in IndexedDB',
                      lambda: self.js(STORED, 'states', 'f5-demo.sms#1').get('found'), timeout=10)
        self.assertTrue(self.js('return window.notReloaded === true;'), 'F5 reloaded the page')
        self.assertEqual(self.js('return el.slot;'), 1)

    def test_the_desktops_command_keys(self):
        # F6/F8 step through slots 1-9 and wrap; Ctrl+P pauses and resumes.
        self.load()
        self.open_demo_as('command-demo.sms')
        self.js('el.focus();')
        cases = [
            ([Keys.F8], 2, False),
            ([Keys.F8], 3, False),
            ([Keys.F6], 2, False),
            ([Keys.F6, Keys.F6], 9, False),
            ([Keys.F8], 1, False),
            ([(Keys.CONTROL, 'p')], 1, True),
            ([(Keys.CONTROL, 'p')], 1, False),
        ]
        for keys, slot, paused in cases:
            with self.subTest(keys=keys):
                for key in keys:
                    chain = ActionChains(self.driver)
                    if isinstance(key, tuple):
                        chain.key_down(key[0]).send_keys(key[1]).key_up(key[0])
                    else:
                        chain.send_keys(key)
                    chain.perform()
                self.wait_for(f'slot {slot}, paused {paused}',
                              lambda: self.js('return [el.slot, el.paused];') == [slot, paused], timeout=5)

    def test_the_battery_ram_survives_a_reload(self):
        # The demo counts its starts in battery RAM: "TRVD", then 16 bits.
        self.load()
        self.open_demo_as('battery-demo.sms')
        self.run_frames(LEAVE_TITLE_FRAMES)
        ram = base64.b64decode(self.js(
            'const r = el.batteryRam(); let s = ""; for (const b of r) s += String.fromCharCode(b); return btoa(s);'))
        self.assertEqual(len(ram), 32768)
        self.assertEqual(ram[:6], b'TRVD\x01\x00')
        with self.subTest('the runner\'s battery file'):
            self.assertTrue(ram == runner_battery(self.demo, LEAVE_TITLE_FRAMES),
                            'the battery RAM is not the one tiravel-headless saves')
        self.js('await el.flushBattery();')
        self.assertTrue(self.js(STORED, 'battery', 'battery-demo.sms').get('found'))

        self.driver.refresh()
        self.load()
        # Read before any frame runs: the stored RAM as it was flushed.
        loaded = self.js("""
            await el.open(args[0]);
            const r = el.batteryRam(); let s = ''; for (const b of r) s += String.fromCharCode(b); return btoa(s);
        """, 'battery-demo.sms')
        loaded = base64.b64decode(loaded)
        self.assertEqual(loaded[:6], ram[:6])
        self.assertTrue(loaded == ram, 'the battery RAM differs past its first bytes')
        # The game sees it: its second start.
        self.run_frames(LEAVE_TITLE_FRAMES)
        again = base64.b64decode(self.js(
            'const r = el.batteryRam(); let s = ""; for (const b of r) s += String.fromCharCode(b); return btoa(s);'))
        self.assertEqual(again[:6], b'TRVD\x02\x00')


class FirstGesture(BrowserTestCase):
    """The sound starts with the first click, as browsers allow."""

    autoplay = False

    def test_the_first_click_starts_the_sound_worklet(self):
        self.copy_to_scratch('audio-demo.sms')
        self.load('index.html?rom=audio-demo.sms')
        self.wait_for('the cartridge to start', lambda: self.frame_number() > 0)
        element = self.driver.find_element(By.CSS_SELECTOR, 'tiravel-player')
        ActionChains(self.driver).move_to_element(element).click().perform()
        self.assertTrue(self.js('return document.activeElement === el;'), 'the click did not focus the element')
        # Button 1 (X) leaves the title; the scene plays its music.
        self.wait_frames(120)
        ActionChains(self.driver).key_down('x').perform()
        self.wait_frames(5)
        ActionChains(self.driver).key_up('x').perform()

        def playing():
            stats = self.js('return await el.audioStats();')
            return stats if stats['framesPlayed'] > 0 and stats['peak'] > 0 else None

        stats = self.wait_for('the worklet to play sound', playing, timeout=20, step=0.25)
        self.assertLessEqual(stats['peak'], 1.0)


class Embedding(BrowserTestCase):
    """<tiravel-player src=...> on a page of ours, with the two lines."""

    def test_the_embedded_player_plays_and_keeps_the_keys_from_the_page(self):
        self.copy_to_scratch('embed-demo.sms')
        self.load('embed.html')
        self.wait_frames(30)
        self.wait_for('a picture that is not black', lambda: not self.picture().black(), step=0.2)

        # Focused by a click, the element takes the arrow keys: the page stays.
        element = self.driver.find_element(By.CSS_SELECTOR, 'tiravel-player')
        ActionChains(self.driver).move_to_element(element).click().perform()
        self.assertTrue(self.js('return document.activeElement === el;'), 'the click did not focus the element')
        for key in (Keys.ARROW_DOWN, Keys.ARROW_DOWN, Keys.ARROW_UP, Keys.ARROW_DOWN):
            ActionChains(self.driver).send_keys(key).perform()
        self.wait_frames(5)
        self.assertEqual(self.driver.execute_script('return [window.scrollX, window.scrollY];'), [0, 0])
        self.assertFalse(self.js('return el.paused;'))

        # Out of the element the same keys scroll the page (tall enough), so the
        # check above could have seen a scroll.
        self.driver.find_element(By.ID, 'before').click()
        for _ in range(3):
            ActionChains(self.driver).send_keys(Keys.ARROW_DOWN).perform()
        self.wait_for('the page to scroll', lambda: self.driver.execute_script('return window.scrollY;') > 0, 5)


if __name__ == '__main__':
    unittest.main()
