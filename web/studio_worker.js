// Draws studio pictures away from the page's main thread, with the engine compiled from the
// desktop's sources (explore/page.cpp). The page's first message gives the engine's code:
//   { compile: true }  fetch and compile explore.wasm here, and hand the compiled module back as
//                      { module } (the first worker, so that the first picture waits for nothing
//                      on the page's thread);
//   { module }         the module compiled already.
// Then requests:
//   { id, line, png: false }  the scene's portrait and strip, as image bitmaps the page's canvases
//                             take over without copying or converting them on its thread;
//   { id, line, png: true }   the strip as a PNG file with its scene line in a text chunk.
// Each answer carries the request's id; a refused line or a picture too large for the memory
// comes back as { id, error }. Besides, the worker says { started: true } once its engine runs
// (or { failed: why } when it cannot), and { drawing: id } as it starts to draw a picture.
'use strict';

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

// compileStreaming needs the server to say application/wasm; without that, compile the bytes.
function compileEngine() {
  return WebAssembly.compileStreaming(fetch('explore.wasm'))
    .catch(() => fetch('explore.wasm').then((response) => response.arrayBuffer())
      .then((bytes) => WebAssembly.compile(bytes)));
}

// The pixels at `pointer` as an image bitmap, through a canvas of this thread kept for each size:
// the bitmap is made here, whole, so that the page only has to hand it to its canvas.
const canvases = new Map();
function bitmap(pointer, width, height) {
  const size = width + 'x' + height;
  if (!canvases.has(size)) canvases.set(size, new OffscreenCanvas(width, height));
  const canvas = canvases.get(size);
  const pixels = new Uint8ClampedArray(engine.HEAPU8.buffer, pointer, width * height * 4);
  canvas.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
  return canvas.transferToImageBitmap();
}

function answer(request) {
  // The page learns which drawing is under way, to abandon it if it is overtaken and slow.
  if (!request.png) postMessage({ drawing: request.id });
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
    postMessage({ id: request.id, error: 'there is not memory enough for a picture this large' });
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
  const portrait = bitmap(engine._page_portrait(), width, height);
  const strip = bitmap(engine._page_strip(), stripWidth, height);
  postMessage({
    id: request.id, line: scene, width: stripWidth, height, tileWidth: width, portrait, strip,
    ms: performance.now() - started,
  }, [portrait, strip]);
}

// The engine starts once its code is here; the glue is read meanwhile, while the code is fetched
// and compiled off this thread.
function start(compiled) {
  importScripts('explore.js');
  compiled.then((module) => createExplore({
    instantiateWasm: function (imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module));
      return {};
    },
  })).then(function (instance) {
    engine = instance;
    postMessage({ started: true });
    drawNewest();
  }, function (error) {
    postMessage({ failed: 'its code cannot be loaded (' + error.message + ')' });
  });
}

onmessage = function (event) {
  if (event.data.compile) {
    const compiled = compileEngine();
    compiled.then((module) => postMessage({ module }), () => {});
    start(compiled);
    return;
  }
  if (event.data.module) {
    start(Promise.resolve(event.data.module));
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
