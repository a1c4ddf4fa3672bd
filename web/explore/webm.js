// A WebM file of one video track from frames the browser's encoder made (WebCodecs'
// VideoEncoder): the EBML header, then one segment with its info (the duration known, since the
// file is written once the last frame is in), its track, clusters of SimpleBlocks (a new one at
// each key frame) and cues to each cluster, so that players can show the length and seek.
// Times in milliseconds (the timecode scale).

// An element's size as an EBML variable-length integer of eight bytes (any size fits).
function sizeBytes(size) {
  const bytes = [0x01];
  for (let shift = 48; shift >= 0; shift -= 8) bytes.push(Math.floor(size / 2 ** shift) & 0xff);
  return bytes;
}

// An element ID's bytes (the ID as written in the format's tables, marker bits included).
function idBytes(id) {
  const bytes = [];
  for (let value = id; value > 0; value = Math.floor(value / 256)) bytes.unshift(value & 0xff);
  return bytes;
}

// An element of the given ID holding `parts`: byte arrays or Uint8Arrays, nested elements too.
function element(id, ...parts) {
  const body = parts.flat();
  const length = body.reduce((sum, part) => sum + (typeof part === 'number' ? 1 : part.length), 0);
  return [...idBytes(id), ...sizeBytes(length), ...body];
}

// An unsigned integer of as few bytes as it needs, a UTF-8 string, a double.
const unsigned = (id, value) => {
  const bytes = [];
  for (let rest = value; bytes.length === 0 || rest > 0; rest = Math.floor(rest / 256)) {
    bytes.unshift(rest & 0xff);
  }
  return element(id, bytes);
};
const text = (id, value) => element(id, [...new TextEncoder().encode(value)]);
const double = (id, value) => {
  const bytes = new Uint8Array(8);
  new DataView(bytes.buffer).setFloat64(0, value);
  return element(id, [...bytes]);
};

// The flat bytes of a tree of parts (numbers and Uint8Arrays).
function flatten(parts) {
  const chunks = [];
  let pending = [];
  for (const part of parts) {
    if (typeof part === 'number') {
      pending.push(part);
    } else {
      if (pending.length > 0) chunks.push(Uint8Array.from(pending));
      pending = [];
      chunks.push(part);
    }
  }
  if (pending.length > 0) chunks.push(Uint8Array.from(pending));
  return chunks;
}

const byteLength = (chunks) => chunks.reduce((sum, chunk) => sum + chunk.length, 0);

// frames: [{ data (Uint8Array), key (whether a key frame), time (ms) }], in order, the first a
// key frame; codec: the Matroska codec ID ('V_VP8'), type the file's MIME type; duration: the
// whole length (ms).
export function webmFile({ codec, type, width, height, frames, duration }) {
  const header = element(0x1a45dfa3, unsigned(0x4286, 1), unsigned(0x42f7, 1),
                         unsigned(0x42f2, 4), unsigned(0x42f3, 8), text(0x4282, 'webm'),
                         unsigned(0x4287, 4), unsigned(0x4285, 2));
  const info = element(0x1549a966, unsigned(0x2ad7b1, 1_000_000), double(0x4489, duration),
                       text(0x4d80, 'figures explore'), text(0x5741, 'figures explore'));
  const tracks = element(0x1654ae6b, element(0xae, unsigned(0xd7, 1), unsigned(0x73c5, 1),
                                             unsigned(0x83, 1), unsigned(0x9c, 0),
                                             text(0x86, codec),
                                             element(0xe0, unsigned(0xb0, width),
                                                     unsigned(0xba, height))));
  // Clusters: one from each key frame on, or sooner where a block's time would not fit the
  // cluster's signed 16-bit offset.
  const clusters = [];
  for (const frame of frames) {
    const open = clusters.at(-1);
    if (open === undefined || frame.key || frame.time - open.time > 30_000) {
      clusters.push({ time: frame.time, blocks: [] });
    }
    const cluster = clusters.at(-1);
    const offset = Math.round(frame.time - cluster.time);
    cluster.blocks.push(element(0xa3, 0x81, (offset >> 8) & 0xff, offset & 0xff,
                                frame.key ? 0x80 : 0x00, frame.data));
  }
  const clusterChunks = clusters.map((cluster) => flatten(
    element(0x1f43b675, unsigned(0xe7, Math.round(cluster.time)), ...cluster.blocks)));
  // Cues: each cluster's time and its place from the start of the segment's data.
  let place = byteLength(flatten(info)) + byteLength(flatten(tracks));
  const points = clusterChunks.map((chunks, index) => {
    const point = element(0xbb, unsigned(0xb3, Math.round(clusters[index].time)),
                          element(0xb7, unsigned(0xf7, 1), unsigned(0xf1, place)));
    place += byteLength(chunks);
    return point;
  });
  const body = [...flatten(info), ...flatten(tracks), ...clusterChunks.flat(),
                ...flatten(element(0x1c53bb6b, ...points))];
  const segment = [...flatten([...idBytes(0x18538067), ...sizeBytes(byteLength(body))]), ...body];
  return new Blob([...flatten(header), ...segment], { type });
}
