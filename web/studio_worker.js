// Draws studio pictures away from the page's main thread, with the engine compiled from the
// desktop's sources (explore/page.cpp). The page sends the compiled module first, then requests:
//   { id, line, png: false }  the scene's portrait and strip, as RGBA bytes;
//   { id, line, png: true }   the strip as a PNG file with its scene line in a text chunk.
// Each answer carries the request's id; a refused line or a picture too large for the memory
// comes back as { id, error }.
'use strict';
importScripts('explore.js');

let engine = null;
let newest = null;
let scheduled = false;

function text(pointer) {
  return pointer === 0 ? null : engine.UTF8ToString(pointer);
}

// A JavaScript string as a C string in the engine's memory (the caller frees it).
function cString(value) {
  const size = engine.lengthBytesUTF8(value) + 1;
  const pointer = engine._malloc(size);
  engine.stringToUTF8(value, pointer, size);
  return pointer;
}

// The page hands the pixels' buffers back once they are on view; they carry the next pictures
// of their size, rather than new ones for the collector every time.
const spare = [];

function copy(pointer, size) {
  const at = spare.findIndex((buffer) => buffer.byteLength === size);
  const bytes = at < 0 ? new Uint8Array(size) : new Uint8Array(spare.splice(at, 1)[0]);
  bytes.set(engine.HEAPU8.subarray(pointer, pointer + size));
  return bytes;
}

function answer(request) {
  const line = cString(request.line);
  const refused = text(engine._page_read(line));
  engine._free(line);
  if (refused !== null) {
    postMessage({ id: request.id, error: refused });
    return;
  }
  const started = performance.now();
  const width = engine._page_layout(0);
  // On view, at most four tiles of the strip: the rest repeats them.
  const stripWidth = engine._page_draw(
    request.png ? 0x7fffffff : Math.min(4 * width, engine._page_widest()));
  if (stripWidth < 0) {
    const widest = engine._page_widest();
    postMessage({
      id: request.id,
      error: stripWidth === -1 ? 'there is not memory enough for a picture this large'
        : 'the page draws pictures at most ' + widest + ' pixels wide (the tile is three times ' +
          'as wide as the strip is high): the desktop\'s explore --export draws larger ones',
    });
    return;
  }
  const scene = text(engine._page_line());
  const height = Number(/ size=\d+x(\d+)/.exec(scene)[1]);
  if (request.png) {
    const bytes = engine._page_png();
    const file = engine.HEAPU8.slice(bytes, bytes + engine._page_png_size());
    postMessage({ id: request.id, line: scene, png: file.buffer }, [file.buffer]);
    return;
  }
  const portrait = copy(engine._page_portrait(), width * height * 4);
  const strip = copy(engine._page_strip(), stripWidth * height * 4);
  postMessage({
    id: request.id, line: scene, width: stripWidth, height, tileWidth: width,
    portrait: portrait.buffer, strip: strip.buffer, ms: performance.now() - started,
  }, [portrait.buffer, strip.buffer]);
}

onmessage = function (event) {
  if (event.data.spare) {
    spare.push(...event.data.spare);
    spare.splice(0, spare.length - 4);
    return;
  }
  if (event.data.module) {
    createExplore({
      instantiateWasm: function (imports, receive) {
        WebAssembly.instantiate(event.data.module, imports)
          .then((instance) => receive(instance, event.data.module));
        return {};
      },
    }).then(function (instance) {
      engine = instance;
      drawNewest();
    });
    return;
  }
  // Requests that arrived while a picture was drawn are all taken before the next drawing, and
  // only the newest is drawn: the others have been overtaken. (Downloads come one to a worker.)
  newest = event.data;
  if (engine !== null && !scheduled) {
    scheduled = true;
    setTimeout(drawNewest);
  }
};

function drawNewest() {
  scheduled = false;
  const request = newest;
  newest = null;
  if (request === null) return;
  answer(request);
}
