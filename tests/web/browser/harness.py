"""The browser tests' machinery: a static server of our own over the built
web player, a headless Chromium driven through chromedriver, and helpers
that talk to the page's <tiravel-player> element through its JavaScript API.

The server overlays folders on one origin, first match wins: the build-web
folder (the module and the page as the build copies them), this folder's
pages/ (our test pages: the embedding page, a blank page), and a scratch
folder the tests fill (the demo under several names, archives, bad files).
Everything the player stores (IndexedDB) belongs to that origin, and each
Chromium session has a profile of its own, so a test class starts empty.
"""

import base64
import functools
import http.server
import os
import shutil
import socketserver
import subprocess
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.chrome.service import Service

HERE = os.path.dirname(os.path.abspath(__file__))
PAGES = os.path.join(HERE, 'pages')
DEMO_INPUT = os.path.join(HERE, 'demo-input.txt')
GAME_GEAR_DATA = os.path.join(HERE, '..', '..', 'data', 'gamegear')

CHROMIUM = os.environ.get('TIRAVEL_CHROMIUM', '/usr/bin/chromium')
CHROMEDRIVER = os.environ.get('TIRAVEL_CHROMEDRIVER', '/usr/bin/chromedriver')

# Player 1's sprite: sprite palette entry 2, the demo's pink (0x37: red 3,
# green 1, blue 3 in the console's two bits each), a colour the background
# never shows.
PLAYER1_RGB = (255, 85, 255)


def build_web_dir():
    folder = os.environ.get('TIRAVEL_BUILD_WEB')
    if not folder or not os.path.isfile(os.path.join(folder, 'tiravel-player.js')):
        raise unittest.SkipTest('TIRAVEL_BUILD_WEB names no built web player (run tests/web/browser/run BUILD_WEB_DIR)')
    return os.path.abspath(folder)


def demo_rom():
    """The demo cartridge: TIRAVEL_DEMO_ROM, or the copy beside the page."""
    rom = os.environ.get('TIRAVEL_DEMO_ROM')
    if rom and os.path.isfile(rom):
        return rom
    rom = os.path.join(build_web_dir(), 'demo.sms')
    if os.path.isfile(rom):
        return rom
    raise unittest.SkipTest('no demo cartridge: set TIRAVEL_DEMO_ROM')


def fnv1a64(data, h=0xcbf29ce484222325):
    # The runner's picture hash. Python's big integers are slow per byte, so
    # the product is kept to 64 bits at every step.
    for b in data:
        h = ((h ^ b) * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF
    return h


class Picture:
    """A canvas read back at its backing size: RGBA bytes, top row first."""

    def __init__(self, width, height, rgba):
        self.width, self.height, self.rgba = width, height, rgba

    def __eq__(self, other):
        return (self.width, self.height, self.rgba) == (other.width, other.height, other.rgba)

    def __repr__(self):
        return f'<Picture {self.width}x{self.height} hash {self.runner_hash():016x}>'

    def pixel(self, x, y):
        i = (y * self.width + x) * 4
        return tuple(self.rgba[i:i + 3])

    def runner_hash(self):
        # tiravel-headless --hash-every-frame hashes XRGB8888 words in memory
        # order: blue, green, red, 0 for each pixel.
        xrgb = bytearray(len(self.rgba))
        xrgb[0::4] = self.rgba[2::4]
        xrgb[1::4] = self.rgba[1::4]
        xrgb[2::4] = self.rgba[0::4]
        return fnv1a64(xrgb)

    def black(self):
        return not any(b for i, b in enumerate(self.rgba) if i % 4 != 3)

    def find(self, rgb):
        """The bounding box (x0, y0, x1, y1) of the pixels of colour rgb, or None."""
        xs, ys = [], []
        r, g, b = rgb
        data = self.rgba
        for i in range(0, len(data), 4):
            if data[i] == r and data[i + 1] == g and data[i + 2] == b:
                xs.append((i // 4) % self.width)
                ys.append((i // 4) // self.width)
        return (min(xs), min(ys), max(xs), max(ys)) if xs else None


# ---------------------------------------------------------------- the server

class _Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {
        '': 'application/octet-stream',
        '.html': 'text/html; charset=utf-8',
        '.js': 'text/javascript; charset=utf-8',
        '.mjs': 'text/javascript; charset=utf-8',
        '.css': 'text/css; charset=utf-8',
        '.json': 'application/json',
        '.wasm': 'application/wasm',
        '.png': 'image/png',
        '.svg': 'image/svg+xml',
        '.txt': 'text/plain; charset=utf-8',
    }

    def __init__(self, *args, roots, **kwargs):
        self.roots = roots
        super().__init__(*args, directory=roots[0], **kwargs)

    def translate_path(self, path):
        # The first root that has the file; the first root's path otherwise
        # (a 404 from there).
        for root in self.roots:
            self.directory = root
            candidate = super().translate_path(path)
            if os.path.exists(candidate):
                return candidate
        self.directory = self.roots[0]
        return super().translate_path(path)

    def end_headers(self):
        self.send_header('Cache-Control', 'no-store')
        super().end_headers()

    def log_message(self, *args):
        pass


class _Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # a browser that drops a connection (a page left mid-load)


class StaticServer:
    """Serves the roots on 127.0.0.1 at an ephemeral port."""

    def __init__(self, roots):
        self.httpd = _Server(('127.0.0.1', 0), functools.partial(_Handler, roots=roots))
        self.url = f'http://127.0.0.1:{self.httpd.server_address[1]}/'
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


# ---------------------------------------------------------------- Chromium

def start_chromium(autoplay=True, size=(1024, 768)):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    options.add_argument('--headless=new')
    if os.geteuid() == 0:
        options.add_argument('--no-sandbox')  # Chromium's sandbox refuses to run as root
    if autoplay:
        options.add_argument('--autoplay-policy=no-user-gesture-required')
    options.add_argument(f'--window-size={size[0]},{size[1]}')
    options.add_argument('--disable-background-timer-throttling')
    options.add_argument('--disable-renderer-backgrounding')
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.set_script_timeout(90)
    return driver


# The element, once its module is loaded. Every helper's script starts with it.
_PRELUDE = """
const done = arguments[arguments.length - 1];
const args = Array.from(arguments).slice(0, -1);
(async () => {
  await customElements.whenDefined('tiravel-player');
  const el = document.querySelector('tiravel-player');
  if (!el) throw new Error('no <tiravel-player> on the page');
  await el.ready;
"""
_EPILOGUE = """
})().then(value => done({ value: value === undefined ? null : value }),
          error => done({ error: String(error && error.message !== undefined ? error.message : error) }));
"""

# A canvas read back at its backing size through a 2D canvas of its own, so
# that it works whatever context the element draws with.
_READ_CANVAS = """
function readCanvas(c) {
  const copy = document.createElement('canvas');
  copy.width = c.width; copy.height = c.height;
  const g = copy.getContext('2d');
  g.drawImage(c, 0, 0);
  const data = g.getImageData(0, 0, c.width, c.height).data;
  let s = '';
  for (let i = 0; i < data.length; i += 0x8000) s += String.fromCharCode.apply(null, data.subarray(i, i + 0x8000));
  return { width: c.width, height: c.height, data: btoa(s) };
}
"""


class PageError(AssertionError):
    pass


class BrowserTestCase(unittest.TestCase):
    """One Chromium session and one server for the class; each test loads a
    page of its own."""

    autoplay = True

    @classmethod
    def setUpClass(cls):
        cls.build_web = build_web_dir()
        cls.demo = demo_rom()
        cls.scratch = tempfile.mkdtemp(prefix='tiravel-browser-')
        shutil.copyfile(cls.demo, os.path.join(cls.scratch, 'tiravel-demo.sms'))
        cls.server = StaticServer([cls.build_web, PAGES, cls.scratch])
        try:
            cls.driver = start_chromium(autoplay=cls.autoplay)
        except Exception:
            cls.server.close()
            raise

    @classmethod
    def tearDownClass(cls):
        try:
            cls.driver.quit()
        finally:
            cls.server.close()
            shutil.rmtree(cls.scratch, ignore_errors=True)

    def tearDown(self):
        # The page's console, to diagnose a failure.
        if not self._outcome.success or os.environ.get('TIRAVEL_BROWSER_LOG'):
            try:
                for entry in self.driver.get_log('browser'):
                    print('  browser:', entry.get('level'), entry.get('message'))
            except WebDriverException:
                pass

    # -- pages and scratch files

    def url(self, path=''):
        return self.server.url + path

    def scratch_file(self, name, data):
        with open(os.path.join(self.scratch, name), 'wb') as f:
            f.write(data)
        return name

    def copy_to_scratch(self, name, path=None):
        """The file at path (the demo by default) served as `name`."""
        shutil.copyfile(path or self.demo, os.path.join(self.scratch, name))
        return name

    def load(self, path='index.html'):
        self.driver.get(self.url(path))
        self.js('')  # waits for the element and its module

    # -- the element's API

    def js(self, body, *args):
        """Runs `body` in an async function with `el` (the element) and
        `args`; returns its value, raises PageError with a rejection's message."""
        result = self.driver.execute_async_script(_PRELUDE + _READ_CANVAS + body + _EPILOGUE, *args)
        if result is None:
            raise PageError('the script returned nothing')
        if 'error' in result:
            raise PageError(result['error'])
        return result['value']

    def open(self, source, *extra):
        return self.js('return await el.open(args[0]);', source, *extra)

    def run_frames(self, n, script=''):
        self.js('await el.runFrames(args[0], args[1]);', n, script)

    def picture(self):
        p = self.js('return readCanvas(el.canvas);')
        return Picture(p['width'], p['height'], base64.b64decode(p['data']))

    def frame_number(self):
        return self.js('return el.frameNumber;')

    def wait_for(self, what, predicate, timeout=20, step=0.05):
        """Polls predicate() until it is true; fails naming `what` after timeout."""
        end = time.monotonic() + timeout
        while True:
            value = predicate()
            if value:
                return value
            if time.monotonic() > end:
                self.fail(f'timed out waiting for {what}')
            time.sleep(step)

    def wait_frames(self, n, timeout=20):
        """Waits until the real-time loop has run n more frames."""
        start = self.frame_number()
        self.wait_for(f'{n} frames to run (from frame {start})', lambda: self.frame_number() >= start + n, timeout)


def headless_runner():
    runner = os.environ.get('TIRAVEL_HEADLESS')
    if not runner or not os.access(runner, os.X_OK):
        raise unittest.SkipTest('TIRAVEL_HEADLESS names no tiravel-headless to compare with')
    return runner


def runner_battery(rom, frames):
    """The battery file tiravel-headless writes after `frames` frames of
    `rom` from a blank battery RAM; skips without the runner."""
    runner = headless_runner()
    with tempfile.TemporaryDirectory() as ram_dir:
        subprocess.run([runner, '--frames', str(frames), '--ram-dir', ram_dir, rom], check=True, capture_output=True)
        files = os.listdir(ram_dir)
        if len(files) != 1:
            raise AssertionError(f'tiravel-headless wrote {files} in its battery folder')
        with open(os.path.join(ram_dir, files[0]), 'rb') as f:
            return f.read()


def run_headless(rom, frames, script_file, *extra):
    """tiravel-headless --hash-every-frame: {frame: picture hash}; skips
    without the runner."""
    runner = headless_runner()
    out = subprocess.run([runner, '--frames', str(frames), '--hash-every-frame', '--input', script_file, *extra, rom],
                         check=True, capture_output=True, text=True).stdout
    hashes = {}
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 4 and parts[0] == 'frame':
            hashes[int(parts[1])] = int(parts[2], 16)
    return hashes
