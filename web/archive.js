// Cartridge images inside .zip and .gz files, for the web player: the one
// image an archive holds is found and unpacked, with the desktop program's
// messages for everything else. The zip directory and the gzip header are
// read here; the deflate data is unpacked by the `inflateRaw` the caller
// passes in (fflate's in the page, node's zlib in the tests), so this module
// imports nothing and node loads it as it is.

// 1 MB and a copier's header: the largest image a cartridge file can be.
export const IMAGE_LIMIT = 1024 * 1024 + 512;
const NAMES_SHOWN = 5;
const NAME_LENGTH = 40;

function endsWith(name, suffix) {
  return name.toLowerCase().endsWith(suffix);
}

export function isImageName(name) {
  return endsWith(name, '.sms') || endsWith(name, '.bin') || endsWith(name, '.gg');
}

// Whether a file is read as an archive (by its name, as the desktop decides).
export function isArchiveName(name) {
  return endsWith(name, '.zip') || endsWith(name, '.7z') || endsWith(name, '.gz');
}

// The file name at the end of a path or URL ("roms/Game.sms?x=1" -> "Game.sms").
export function fileName(path) {
  let name = String(path).split(/[?#]/)[0];
  name = name.slice(name.lastIndexOf('/') + 1);
  try {
    name = decodeURIComponent(name);
  } catch {
    // a stray '%' stays as it is
  }
  return name;
}

// A member's name as a message shows it: at most 40 characters, control
// characters as '?', so a hostile name cannot break the message.
export function printable(name) {
  const chars = Array.from(name);
  let shown = '';
  for (const c of chars.slice(0, NAME_LENGTH)) {
    const code = c.codePointAt(0);
    shown += code < 0x20 || code === 0x7f ? '?' : c;
  }
  return chars.length > NAME_LENGTH ? shown + '...' : shown;
}

const shownName = (name) => `"${printable(name)}"`;

function list(names, total) {
  return names.join(', ') + (total > names.length ? ` and ${total - names.length} more` : '');
}

export class RomError extends Error {}

function reject(path, reason) {
  throw new RomError(`Cannot load the ROM file "${path}": ${reason}.`);
}

function kindOf(name) {
  if (endsWith(name, '.zip')) return 'a zip archive';
  if (endsWith(name, '.7z')) return 'a 7z archive';
  return 'a gzip file';
}

// Unpacks raw deflate data through `inflateRaw(data, limit)`, which returns
// the bytes, at most limit + 1 of them (one more tells a full image from a
// larger one), and throws on damaged data.
function unpack(inflateRaw, data, limit, damaged) {
  try {
    return inflateRaw(data, limit);
  } catch (e) {
    damaged(e && e.message ? e.message : String(e));
  }
}

// The CRC-32 zip and gzip keep of a member's bytes, which tells a damaged
// image from a whole one (stored data has no other check).
let crcTable = null;
export function crc32(bytes) {
  if (!crcTable) {
    crcTable = new Uint32Array(256);
    for (let n = 0; n < 256; ++n) {
      let c = n;
      for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
      crcTable[n] = c >>> 0;
    }
  }
  let c = 0xffffffff;
  for (let i = 0; i < bytes.length; ++i) c = crcTable[(c ^ bytes[i]) & 255] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

const u16 = (b, i) => b[i] | (b[i + 1] << 8);
const u32 = (b, i) => (b[i] | (b[i + 1] << 8) | (b[i + 2] << 16) | (b[i + 3] << 24)) >>> 0;

// The kind of a zip member that is not a plain file, from the Unix mode a
// zip made on Unix keeps in the high half of its external attributes.
function unixKind(attributes, madeBy) {
  if (madeBy >> 8 !== 3) return null;  // not made on Unix: no mode
  switch ((attributes >>> 16) & 0xf000) {
    case 0xa000: return 'a symbolic link';
    case 0x1000: return 'a named pipe';
    case 0x2000:
    case 0x6000: return 'a device';
    case 0xc000: return 'a socket';
    default: return null;
  }
}

function decodeName(bytes, utf8) {
  if (utf8) return new TextDecoder('utf-8').decode(bytes);
  // Not flagged as UTF-8: the old DOS code page, of which the ASCII part is
  // what names hold in practice; the other bytes are shown as Latin-1.
  return String.fromCharCode(...bytes);
}

function readZip(path, bytes, inflateRaw) {
  const damaged = (why) => reject(path, `it is not a zip archive that can be read${why ? ` (${why})` : ''}`);
  // The end of the central directory: its 22 bytes and a comment of up to 64 KB.
  let end = -1;
  for (let i = bytes.length - 22; i >= 0 && i >= bytes.length - 22 - 65535; --i) {
    if (u32(bytes, i) === 0x06054b50) {
      end = i;
      break;
    }
  }
  if (end < 0) damaged(bytes.length === 0 ? 'the file is empty' : 'its directory at the end is missing');
  const count = u16(bytes, end + 10);
  let at = u32(bytes, end + 16);
  if (at === 0xffffffff || count === 0xffff) damaged('a zip64 archive');

  const images = [], others = [];
  let imageCount = 0, otherCount = 0, image = null;
  for (let n = 0; n < count; ++n) {
    if (at + 46 > bytes.length || u32(bytes, at) !== 0x02014b50) damaged('its directory is damaged');
    const entry = {
      madeBy: u16(bytes, at + 4),
      flags: u16(bytes, at + 8),
      method: u16(bytes, at + 10),
      crc: u32(bytes, at + 16),
      packed: u32(bytes, at + 20),
      size: u32(bytes, at + 24),
      attributes: u32(bytes, at + 38),
      local: u32(bytes, at + 42),
    };
    const nameLength = u16(bytes, at + 28);
    const skip = nameLength + u16(bytes, at + 30) + u16(bytes, at + 32);
    if (at + 46 + skip > bytes.length) damaged('its directory is damaged');
    entry.name = decodeName(bytes.subarray(at + 46, at + 46 + nameLength), entry.flags & 0x800);
    at += 46 + skip;

    // Folders, and the copies of a Mac's file attributes that its zip tool adds.
    const unlisted = entry.name.endsWith('/') || entry.name.startsWith('__MACOSX/');
    const other = unixKind(entry.attributes, entry.madeBy);
    if (unlisted || other || !isImageName(entry.name)) {
      // A link, a pipe or a device is never an image, whatever its name.
      if (!unlisted && ++otherCount <= NAMES_SHOWN) others.push(shownName(entry.name) + (other ? ` (${other})` : ''));
      continue;
    }
    if (++imageCount <= NAMES_SHOWN) images.push(shownName(entry.name));
    if (imageCount === 1) image = entry;
  }
  if (imageCount > 1)
    reject(path, `it holds ${imageCount} cartridge images, ${list(images, imageCount)}, and only an archive with one can be loaded`);
  if (imageCount === 0)
    reject(path, 'it holds no cartridge image (a .sms, .gg or .bin file)' +
      (otherCount === 0 ? ': it is empty' : `, only ${list(others, otherCount)}`));

  const shown = shownName(image.name);
  const tooLarge = `its image ${shown} is larger than the 1 MB (1048576 bytes) a cartridge can hold`;
  if (image.flags & 1) reject(path, `its image ${shown} is encrypted, and encrypted images cannot be read`);
  if (image.size > IMAGE_LIMIT) reject(path, `${tooLarge} (it unpacks to ${image.size} bytes)`);
  const local = image.local;
  if (local + 30 > bytes.length || u32(bytes, local) !== 0x04034b50) damaged('a member\'s header is damaged');
  const start = local + 30 + u16(bytes, local + 26) + u16(bytes, local + 28);
  if (start + image.packed > bytes.length) damaged('it is truncated');
  const packed = bytes.subarray(start, start + image.packed);
  let data;
  if (image.method === 0) data = packed.slice(0, IMAGE_LIMIT + 1);
  else if (image.method === 8) data = unpack(inflateRaw, packed, IMAGE_LIMIT, damaged);
  else damaged(`its image is packed by method ${image.method}, which cannot be read`);
  if (data.length > IMAGE_LIMIT) reject(path, `${tooLarge} (it unpacks to more than ${IMAGE_LIMIT} bytes)`);
  if (crc32(data) !== image.crc) damaged(`its image ${shown} is damaged: its checksum is wrong`);
  return { name: printable(image.name), data };
}

function readGzip(path, bytes, inflateRaw) {
  const damaged = (why) => reject(path, `it is not a gzip file that can be read${why ? ` (${why})` : ''}`);
  if (bytes.length < 18 || bytes[0] !== 0x1f || bytes[1] !== 0x8b || bytes[2] !== 8)
    damaged('it does not begin as gzip data does');
  // A gzip file holds one stream, the image itself: its name is the file's
  // name without ".gz".
  const flags = bytes[3];
  let at = 10;
  if (flags & 4) at += 2 + u16(bytes, at);                 // extra field
  if (flags & 8) while (at < bytes.length && bytes[at++]) ;  // original name
  if (flags & 16) while (at < bytes.length && bytes[at++]) ; // comment
  if (flags & 2) at += 2;                                   // header CRC
  if (at >= bytes.length) damaged('its header is damaged');
  const name = path.slice(0, path.length - 3);
  const data = unpack(inflateRaw, bytes.subarray(at), IMAGE_LIMIT, damaged);
  if (data.length > IMAGE_LIMIT)
    reject(path, `its image ${shownName(name)} is larger than the 1 MB (1048576 bytes) a cartridge can hold ` +
      `(it unpacks to more than ${IMAGE_LIMIT} bytes)`);
  // The trailer of a file of one stream: the image's CRC-32 and size.
  const end = bytes.length - 8;
  if (crc32(data) !== u32(bytes, end) || (data.length >>> 0) !== u32(bytes, end + 4))
    damaged('its checksum is wrong');
  return { name: printable(name), data };
}

// The cartridge image in the file `path` (a name: messages show it) of
// `bytes`: { name, data } where name is the image's own name (inside an
// archive, the member's) and data its bytes. A file that is not an archive
// is its own image. Throws RomError with the desktop program's message.
export function cartridgeImage(path, bytes, inflateRaw) {
  if (!isArchiveName(path)) {
    // Refused before it is copied into the console's memory.
    if (bytes.length > IMAGE_LIMIT)
      reject(path, `it is ${bytes.length} bytes long, larger than the 1 MB (1048576 bytes) a cartridge can hold`);
    return { name: path, data: bytes };
  }
  if (endsWith(path, '.7z')) reject(path, 'it is not a 7z archive that can be read (the web player reads .zip and .gz files)');
  return endsWith(path, '.zip') ? readZip(path, bytes, inflateRaw) : readGzip(path, bytes, inflateRaw);
}

// An `inflateRaw` for cartridgeImage made of fflate's streaming Inflate: the
// packed data goes in by small pieces, so a small file made to unpack to
// gigabytes stops as soon as it passes the limit.
export function fflateInflater(fflate) {
  return (data, limit) => {
    const parts = [];
    let size = 0, done = false;
    const stream = new fflate.Inflate((chunk, final) => {
      parts.push(chunk);
      size += chunk.length;
      done = final;
    });
    const piece = 1024;  // deflate unpacks at most about 1032 times larger
    for (let i = 0; i < data.length && size <= limit; i += piece)
      stream.push(data.subarray(i, i + piece), i + piece >= data.length);
    if (size <= limit && !done) throw new Error('the packed data ends too soon');
    const out = new Uint8Array(Math.min(size, limit + 1));
    let at = 0;
    for (const part of parts) {
      if (at >= out.length) break;
      out.set(part.subarray(0, out.length - at), at);
      at += Math.min(part.length, out.length - at);
    }
    return out;
  };
}
