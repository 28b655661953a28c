// The web player's reading of .zip and .gz files: which member is the
// cartridge, and the desktop program's message for every archive that
// cannot be loaded. The archives are built here, byte by byte, with node's
// zlib for the deflate data.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import zlib from 'node:zlib';
import { cartridgeImage, fflateInflater, fileName, printable, IMAGE_LIMIT } from '../../../web/archive.js';

// Node's zlib unpacks here as fflate does in the page, and fflate itself
// too when web/node_modules holds it (npm ci in web/).
function zlibInflater(data, limit) {
  try {
    return new Uint8Array(zlib.inflateRawSync(data, { maxOutputLength: limit + 1 }));
  } catch (e) {
    if (e.code === 'ERR_BUFFER_TOO_LARGE') return new Uint8Array(limit + 1);
    throw e;
  }
}
let fflate = null;
try {
  fflate = await import('../../../web/node_modules/fflate/esm/browser.js');
} catch {
  // not installed: zlib only
}
const inflaters = [['zlib', zlibInflater], ...(fflate ? [['fflate', fflateInflater(fflate)]] : [])];
let inflateRaw = zlibInflater;
// Each test runs with every inflater.
const both = (name, body) => {
  for (const [which, inflater] of inflaters)
    test(`${name} (${which})`, () => {
      inflateRaw = inflater;
      body();
    });
};
const bytes = (n, seed = 1) => Uint8Array.from({ length: n }, (_, i) => (i * 31 + seed) & 255);

// A zip of members { name, data, method (0 stored, 8 deflated), flags,
// unixMode, size (the stated size, if it is to lie) }.
function zip(members) {
  const locals = [], centrals = [];
  let offset = 0;
  for (const m of members) {
    const name = Buffer.from(m.name, 'utf8');
    const data = Buffer.from(m.data ?? []);
    const packed = m.method === 0 ? data : zlib.deflateRawSync(data);
    const method = m.method ?? 8;
    const local = Buffer.alloc(30);
    local.writeUInt32LE(0x04034b50, 0);
    local.writeUInt16LE(m.flags ?? 0x800, 6);
    local.writeUInt16LE(method, 8);
    local.writeUInt32LE(m.crc ?? zlib.crc32(data), 14);
    local.writeUInt32LE(packed.length, 18);
    local.writeUInt32LE(m.size ?? data.length, 22);
    local.writeUInt16LE(name.length, 26);
    const central = Buffer.alloc(46);
    central.writeUInt32LE(0x02014b50, 0);
    central.writeUInt16LE(m.unixMode ? 0x031e : 0x0014, 4);
    central.writeUInt16LE(m.flags ?? 0x800, 8);
    central.writeUInt16LE(method, 10);
    central.writeUInt32LE(m.crc ?? zlib.crc32(data), 16);
    central.writeUInt32LE(packed.length, 20);
    central.writeUInt32LE(m.size ?? data.length, 24);
    central.writeUInt16LE(name.length, 28);
    central.writeUInt32LE(((m.unixMode ?? 0) << 16) >>> 0, 38);
    central.writeUInt32LE(offset, 42);
    locals.push(local, name, packed);
    centrals.push(central, name);
    offset += local.length + name.length + packed.length;
  }
  const directory = Buffer.concat(centrals);
  const end = Buffer.alloc(22);
  end.writeUInt32LE(0x06054b50, 0);
  end.writeUInt16LE(members.length, 8);
  end.writeUInt16LE(members.length, 10);
  end.writeUInt32LE(directory.length, 12);
  end.writeUInt32LE(offset, 16);
  return new Uint8Array(Buffer.concat([...locals, directory, end]));
}

const open = (path, data) => cartridgeImage(path, data, inflateRaw);
const plain = (u8) => new Uint8Array(u8);
const message = (path, data) => {
  try {
    open(path, data);
  } catch (e) {
    return e.message;
  }
  assert.fail(`${path} opened`);
};

both('the one image in a zip opens, whatever else the archive holds', () => {
  const image = bytes(40000);
  const cases = [
    [[{ name: 'Game.sms', data: image }], 'Game.sms'],
    [[{ name: 'Game.GG', data: image, method: 0 }], 'Game.GG'],
    [[{ name: 'readme.txt', data: bytes(10) }, { name: 'roms/', data: [] }, { name: 'roms/Game.bin', data: image }], 'roms/Game.bin'],
    [[{ name: '__MACOSX/._Game.sms', data: bytes(5) }, { name: 'Game.sms', data: image }], 'Game.sms'],
  ];
  for (const [members, name] of cases) {
    const got = open('Pack.ZIP', zip(members));
    assert.equal(got.name, name);
    assert.deepEqual(plain(got.data), image);
  }
});

both('a zip that cannot be loaded gets the desktop program\'s message', () => {
  const image = bytes(100);
  const others = Array.from({ length: 7 }, (_, i) => ({ name: `note${i}.txt`, data: bytes(3) }));
  const link = 0o120777;
  const cases = [
    [[], 'it holds no cartridge image (a .sms, .gg or .bin file): it is empty'],
    [[{ name: 'folder/', data: [] }, { name: '__MACOSX/._x.sms', data: [] }],
      'it holds no cartridge image (a .sms, .gg or .bin file): it is empty'],
    [others, 'it holds no cartridge image (a .sms, .gg or .bin file), only "note0.txt", "note1.txt", ' +
      '"note2.txt", "note3.txt", "note4.txt" and 2 more'],
    [[{ name: 'Game.sms', data: [], unixMode: link }], 'it holds no cartridge image (a .sms, .gg or .bin file), ' +
      'only "Game.sms" (a symbolic link)'],
    [[{ name: 'A.sms', data: image }, { name: 'B.gg', data: image }],
      'it holds 2 cartridge images, "A.sms", "B.gg", and only an archive with one can be loaded'],
    [Array.from({ length: 6 }, (_, i) => ({ name: `${i}.bin`, data: image })),
      'it holds 6 cartridge images, "0.bin", "1.bin", "2.bin", "3.bin", "4.bin" and 1 more, and only an archive with one can be loaded'],
    [[{ name: 'Game.sms', data: image, flags: 0x801 }], 'its image "Game.sms" is encrypted, and encrypted images cannot be read'],
    [[{ name: 'Big.sms', data: image, size: IMAGE_LIMIT + 1 }], 'its image "Big.sms" is larger than the 1 MB (1048576 bytes) ' +
      `a cartridge can hold (it unpacks to ${IMAGE_LIMIT + 1} bytes)`],
    // A member that states a small size and unpacks to more is stopped at the limit.
    [[{ name: 'Liar.sms', data: new Uint8Array(IMAGE_LIMIT + 100), size: 10 }], 'its image "Liar.sms" is larger than ' +
      `the 1 MB (1048576 bytes) a cartridge can hold (it unpacks to more than ${IMAGE_LIMIT} bytes)`],
  ];
  for (const [members, reason] of cases)
    assert.equal(message('Pack.zip', zip(members)), `Cannot load the ROM file "Pack.zip": ${reason}.`);
});

both('a damaged zip is refused as one that cannot be read', () => {
  const good = zip([{ name: 'Game.sms', data: bytes(5000) }]);
  const damagedData = good.slice();
  damagedData[40] ^= 0xff;  // inside the deflate data
  const stored = zip([{ name: 'Game.sms', data: bytes(5000), method: 0 }]);
  stored[100] ^= 1;  // stored data: only the checksum tells
  for (const data of [new Uint8Array(0), good.slice(0, good.length - 30), damagedData, stored])
    assert.match(message('Pack.zip', data), /^Cannot load the ROM file "Pack.zip": it is not a zip archive that can be read/);
});

test('member names in messages are cut at 40 characters and lose control characters', () => {
  assert.equal(printable('a\x01b\x7fc'), 'a?b?c');
  assert.equal(printable('x'.repeat(41)), 'x'.repeat(40) + '...');
  assert.equal(printable('x'.repeat(40)), 'x'.repeat(40));
  const long = 'y'.repeat(50) + '.sms';
  assert.match(message('P.zip', zip([{ name: long, data: [1] }, { name: 'b.sms', data: [1] }])),
    new RegExp(`"${'y'.repeat(40)}\\.\\.\\.", "b.sms"`));
});

both('a gzip file is its one image, named as the file without .gz', () => {
  const image = bytes(70000);
  const got = open('Game.gg.gz', new Uint8Array(zlib.gzipSync(image)));
  assert.equal(got.name, 'Game.gg');
  assert.deepEqual(plain(got.data), image);
  assert.equal(message('Game.sms.gz', bytes(100)),
    'Cannot load the ROM file "Game.sms.gz": it is not a gzip file that can be read (it does not begin as gzip data does).');
  assert.equal(message('Big.sms.gz', new Uint8Array(zlib.gzipSync(new Uint8Array(IMAGE_LIMIT + 1)))),
    'Cannot load the ROM file "Big.sms.gz": its image "Big.sms" is larger than the 1 MB (1048576 bytes) a cartridge ' +
    `can hold (it unpacks to more than ${IMAGE_LIMIT} bytes).`);
  const gz = new Uint8Array(zlib.gzipSync(image));
  const wrongSize = gz.slice();
  wrongSize[gz.length - 1] ^= 1;
  for (const data of [gz.slice(0, 500), wrongSize])
    assert.match(message('Cut.sms.gz', data), /^Cannot load the ROM file "Cut.sms.gz": it is not a gzip file that can be read/);
});

test('other files are their own image; 7z is refused', () => {
  const data = bytes(10);
  assert.deepEqual(open('Game.sms', data), { name: 'Game.sms', data });
  assert.deepEqual(open('game.rom', data), { name: 'game.rom', data });
  const full = new Uint8Array(IMAGE_LIMIT);
  assert.equal(open('Full.sms', full).data, full);
  assert.equal(message('Big.bin', new Uint8Array(IMAGE_LIMIT + 1)), 'Cannot load the ROM file "Big.bin": it is ' +
    `${IMAGE_LIMIT + 1} bytes long, larger than the 1 MB (1048576 bytes) a cartridge can hold.`);
  assert.match(message('Game.7z', data), /^Cannot load the ROM file "Game.7z": it is not a 7z archive that can be read/);
});

test('a URL\'s file name', () => {
  const cases = [['roms/Game.sms', 'Game.sms'], ['https://x.org/a/Sonic%20II.gg?v=2#top', 'Sonic II.gg'], ['Game.zip', 'Game.zip'],
    ['bad%zz.sms', 'bad%zz.sms']];
  for (const [url, name] of cases) assert.equal(fileName(url), name);
});
