// A drawing worker of explore's page: draws scene lines away from the page's thread, with an
// instance of the engine of its own (explore/wasm_interface.cpp). A classic worker: the engine's
// glue (explore.js) is loaded with importScripts.
//
// The page's first message gives the engine's code:
//   { compile: true }  fetch and compile explore.wasm here, and hand the compiled module back as
//                      { module } (the first worker, so that the first picture waits for nothing
//                      on the page's thread);
//   { module }         the module compiled already.
// Then requests:
//   { id, line, png: false, room }  the line's portrait and strip, as image bitmaps the page's
//                             canvases take over without copying or converting them on its
//                             thread (with split: whether they were drawn with the other worker;
//                             with portraitShown and stripShown: their sizes, smaller than the
//                             pictures' where those are large and larger than their room, which
//                             room gives: { portrait, strip }, each { width, height });
//   { id, line, png: true }   the strip, whole, as a PNG file (a Blob) with its scene line in a
//                             text chunk, deflated by the browser's own compressor (png.js).
//   { id, line, png: false, part, parts: 2 }  a picture split between two workers: each draws
//                             its share of the portrait's orbits as marks; the worker given
//                             `part` 1 answers { id, share } (its marks, transferred), which the
//                             page hands to the one given `part` 0 as { id, foreign: share }; that
//                             one answers the picture.
// Each answer carries the request's id; a refused line or a picture too large for the memory
// comes back as { id, error }. Besides, the worker says { started: true } once its engine runs
// (or { failed: why } when it cannot), and { drawing: id } as it starts to draw a picture.
'use strict';

// The worker's state: its engine once it runs, the newest request not yet drawn, whether a
// drawing of it is scheduled, a canvas of this thread for each size of picture, and of a split
// picture the request whose share is drawn here while the other's marks are awaited, and the
// other's marks when they came first.
let engine = null;
let newest = null;
let scheduled = false;
const canvases = new Map();
let awaiting = null;
let foreign = null;

// The engine's answers (calls.js, loaded as the engine starts).
let callEngine = null;
function call(name, ...args) {
  return callEngine(engine, name, ...args);
}

// compileStreaming needs the server to say application/wasm; without that, compile the bytes.
function compileEngine() {
  return WebAssembly.compileStreaming(fetch('../explore.wasm'))
    .catch(() => fetch('../explore.wasm').then((response) => response.arrayBuffer())
      .then((bytes) => WebAssembly.compile(bytes)));
}

// Pictures of more pixels than this that are larger than their room on the page are drawn
// smaller, blended, to the room: the page's thread would otherwise take a second and more to
// take a picture of a hundred million pixels on view (and show it as small anyway). Smaller
// ones go to the page whole, pixel for pixel.
const wholeUpTo = 4_000_000;

// The size a picture is shown at in a room ({ width, height } or null: no limit).
function shownSize(width, height, room) {
  if (room === null || room === undefined || width * height <= wholeUpTo ||
      (width <= room.width && height <= room.height)) {
    return { width, height };
  }
  const scale = Math.min(room.width / width, room.height / height);
  return { width: Math.max(1, Math.round(width * scale)),
           height: Math.max(1, Math.round(height * scale)) };
}

// A canvas of this thread of a size, kept for the next picture of that size unless it is large.
function canvasOf(width, height) {
  const size = width + 'x' + height;
  if (canvases.has(size)) return canvases.get(size);
  const canvas = new OffscreenCanvas(width, height);
  if (width * height <= wholeUpTo) canvases.set(size, canvas);
  return canvas;
}

// The pixels at `pointer` as an image bitmap of the size `shown`, made here whole, so that the
// page only has to hand it to its canvas.
function bitmap(pointer, width, height, shown) {
  const canvas = canvasOf(width, height);
  const pixels = new Uint8ClampedArray(engine.HEAPU8.buffer, pointer, width * height * 4);
  canvas.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
  if (shown.width === width && shown.height === height) return canvas.transferToImageBitmap();
  const smaller = new OffscreenCanvas(shown.width, shown.height);
  const context = smaller.getContext('2d');
  context.imageSmoothingQuality = 'high';
  context.drawImage(canvas, 0, 0, shown.width, shown.height);
  return smaller.transferToImageBitmap();
}

// On view, at most four tiles of the strip: the rest repeats them.
const tilesOnView = 4;

function answer(request) {
  if (request.png) {
    const made = call('explore_png', request.line);
    if (made.refusal) {
      postMessage({ id: request.id, error: made.refusal });
      return;
    }
    const head = engine._explore_png_head(), scanlines = engine._explore_png_scanlines();
    // Copies of the bytes: the engine's memory may grow (and move) meanwhile.
    const parts = [engine.HEAPU8.slice(head, head + made.head),
                   engine.HEAPU8.slice(scanlines, scanlines + made.scanlines)];
    import('../png.js').then((png) => png.finishPng(...parts)).then((file) => {
      postMessage({ id: request.id, line: made.line, png: file });
    }, (error) => postMessage({ id: request.id, error: error.message }));
    return;
  }
  // The page learns which drawing is under way, to abandon it if it is overtaken and slow.
  postMessage({ drawing: request.id });
  const started = performance.now();
  if (request.parts) {
    const shared = call('explore_draw_share', request.line, request.part, request.parts);
    if (shared.refusal) {
      postMessage({ id: request.id, error: shared.refusal });
      return;
    }
    if (request.part > 0) {
      // Copies of the marks, handed over whole.
      const last = engine._explore_marks_last(), colours = engine._explore_marks_colours();
      const share = {
        last: engine.HEAPU8.slice(last, last + shared.tile_width * shared.height * 4).buffer,
        colours: engine.HEAPU8.slice(colours, colours + shared.marks * 4).buffer,
      };
      postMessage({ id: request.id, share }, [share.last, share.colours]);
      return;
    }
    awaiting = { request, started };
    if (foreign !== null && foreign.id === request.id) merge();
    return;
  }
  show(request, call('explore_draw', request.line, tilesOnView), started);
}

// A split picture from this worker's marks and the other's.
function merge() {
  const { request, started } = awaiting;
  const { share } = foreign;
  awaiting = foreign = null;
  const room = call('explore_foreign_marks');
  if (room.refusal) {
    postMessage({ id: request.id, error: room.refusal });
    return;
  }
  engine.HEAPU8.set(new Uint8Array(share.last), room.last);
  engine.HEAPU8.set(new Uint8Array(share.colours), room.colours);
  show(request, call('explore_draw_merged', request.line, tilesOnView), started);
}

// The picture drawn for a request, to the page.
function show(request, drawn, started) {
  if (drawn.refusal) {
    postMessage({ id: request.id, error: drawn.refusal });
    return;
  }
  const room = request.room || {};
  const portraitShown = shownSize(drawn.tile_width, drawn.height, room.portrait);
  const stripShown = shownSize(drawn.width, drawn.height, room.strip);
  const portrait = bitmap(engine._explore_portrait(), drawn.tile_width, drawn.height,
                          portraitShown);
  const strip = bitmap(engine._explore_strip(), drawn.width, drawn.height, stripShown);
  postMessage({
    id: request.id, line: drawn.line, width: drawn.width, height: drawn.height,
    tileWidth: drawn.tile_width, split: Boolean(request.parts), portraitShown, stripShown,
    portrait, strip, ms: performance.now() - started,
  }, [portrait, strip]);
}

// The engine starts once its code is here; the glue is read meanwhile, while the code is fetched
// and compiled off this thread.
function start(compiled) {
  importScripts('../explore.js');
  const calls = import('./calls.js').then((loaded) => { callEngine = loaded.callEngine; });
  Promise.all([compiled, calls]).then(([module]) => createExplore({
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
  // The other worker's marks of a split picture, awaited or to be awaited.
  if (event.data.foreign) {
    foreign = { id: event.data.id, share: event.data.foreign };
    if (awaiting !== null && awaiting.request.id === foreign.id) merge();
    return;
  }
  // Requests that arrived while a picture was drawn are all taken before the next drawing, and
  // only the newest is drawn: the others have been overtaken, a split picture awaiting the other
  // worker's marks too. (Downloads come one to a worker.)
  newest = event.data;
  awaiting = null;
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
