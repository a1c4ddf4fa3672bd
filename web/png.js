// PNG files finished in the browser. The kit gives a file's head (the signature, IHDR, PLTE and
// the text chunks, as the desktop's export writes them) and its image data uncompressed: each row's
// filter byte and pixels (kit/src/png_memory.hpp, png_parts). This deflates the data with the
// browser's own CompressionStream, in the zlib format that IDAT holds, and adds the IDAT and IEND
// chunks. It uses no DOM: the page and a Web Worker import it alike.

// The CRC-32 every PNG chunk ends with (over its type and data).
const crcTable = new Uint32Array(256);
for (let n = 0; n < 256; ++n) {
  let c = n;
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  crcTable[n] = c >>> 0;
}

// The running CRC (start with 0xffffffff, invert at the end) after `bytes`.
function crcOver(crc, bytes) {
  for (let i = 0; i < bytes.length; ++i) crc = crcTable[(crc ^ bytes[i]) & 0xff] ^ (crc >>> 8);
  return crc >>> 0;
}

function bigEndian(value) {
  return new Uint8Array([value >>> 24, (value >>> 16) & 0xff, (value >>> 8) & 0xff, value & 0xff]);
}

const idatType = new Uint8Array([0x49, 0x44, 0x41, 0x54]);
// IEND: no data, so always the same twelve bytes.
const iend = new Uint8Array([0, 0, 0, 0, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82]);
// A chunk's length is a 31-bit number.
const longestChunk = 0x7fffffff;
// The data goes into the compressor a slice at a time, so that it never holds much of it twice.
const slice = 1 << 20;

// The whole file as a Blob of type image/png: `head` and `scanlines` are Uint8Arrays (the caller
// may not change them until this has finished). The compressed data stays in the pieces the
// compressor gave: a large strip is never copied into one buffer.
export async function finishPng(head, scanlines) {
  if (typeof CompressionStream !== 'function') {
    throw new Error('this browser cannot compress data (it has no CompressionStream); ' +
                    'a current Chrome, Edge, Firefox or Safari can');
  }
  const deflate = new CompressionStream('deflate');
  const writing = (async () => {
    const writer = deflate.writable.getWriter();
    for (let at = 0; at < scanlines.length; at += slice) {
      await writer.write(scanlines.subarray(at, at + slice));
    }
    await writer.close();
  })();
  const pieces = [];
  let length = 0;
  let crc = crcOver(0xffffffff, idatType);
  const reading = (async () => {
    const reader = deflate.readable.getReader();
    for (;;) {
      const { done, value } = await reader.read();
      if (done) return;
      pieces.push(value);
      length += value.length;
      crc = crcOver(crc, value);
    }
  })();
  await Promise.all([writing, reading]);
  if (length > longestChunk) throw new Error('the compressed picture is too large for a PNG file');
  return new Blob([head, bigEndian(length), idatType, ...pieces, bigEndian(~crc >>> 0), iend],
                  { type: 'image/png' });
}
