// The frieze studio on the page (?program=explore): the scene is edited here, with one instance
// of the engine compiled from the desktop's sources (explore.js, explore.wasm), and drawn in
// workers by others (studio_worker.js), so that the page answers while a picture is made. The
// pictures come back as image bitmaps, which the canvases take as they are: the page's thread
// neither copies nor converts a pixel, and stays free for the controls while a slider is dragged.
//
// The address is the scene: ?program=explore&scene=LINE, the line the desktop's explore prints
// and reads (--scene), kept up to date by replacing the history entry rather than adding one.
// The status line carries the state for scripts: data-state is loading, drawing, shown or
// failed, data-scene the scene line being edited, data-line that of the picture on view and
// data-draw-ms the worker's time for it. figures.js starts it, handing it the page's way of saving
// a PNG file (savePng).
window.figuresStudio = function (savePng) {
  'use strict';

  const twoPi = 6.283185307179586;
  const $ = (id) => document.getElementById(id);
  const studio = $('studio');
  const status = $('studio-status');
  const message = $('studio-message');
  const portrait = $('portrait');
  const kept = $('kept');
  const strip = $('strip');
  const lineText = $('scene-line');
  const fields = {
    kick: $('kick'), kickNumber: $('kick-number'), group: $('group'), keep: $('keep'),
    palette: $('palette'), length: $('length'), step: $('step'),
  };
  const downloadSize = $('download-size');
  const addressScene = new URLSearchParams(location.search).get('scene');

  let engine = null;
  // Whether this thread's engine refused the address's scene (null until it has read it), and
  // what the workers said of it meanwhile.
  let addressRefused = null;
  let firstError = null;
  let module = null;
  let startLine = '';

  studio.hidden = false;

  // The controls wait for this thread's engine and both workers, which start after the first
  // picture: changes made while they start would only queue behind them.
  const controls = [...$('studio-controls').elements, $('copy-line')];
  let isUsable = false;
  for (const control of controls) control.disabled = true;
  function becomeUsable() {
    const running = workers.length === 2 && workers.every((entry) => entry.started);
    if (isUsable || engine === null || !running) return;
    isUsable = true;
    for (const control of controls) control.disabled = false;
  }

  function say(state, text) {
    status.dataset.state = state;
    status.textContent = text;
  }

  // Messages of the page itself (a refused value, a refused address), beside the status.
  function note(text) {
    message.textContent = text;
    message.hidden = text === '';
  }

  // --- The engine on this thread: the scene and its line --------------------------------------

  function withString(value, use) {
    const size = engine.lengthBytesUTF8(value) + 1;
    const pointer = engine._malloc(size);
    engine.stringToUTF8(value, pointer, size);
    try {
      return use(pointer);
    } finally {
      engine._free(pointer);
    }
  }

  function refusal(pointer) {
    return pointer === 0 ? null : engine.UTF8ToString(pointer);
  }

  function read(line) {
    return withString(line, (pointer) => refusal(engine._page_read(pointer)));
  }

  function set(key, value) {
    return withString(key, (k) => withString(String(value), (v) => refusal(engine._page_set(k, v))));
  }

  function line() {
    return engine.UTF8ToString(engine._page_line());
  }

  // A scene's values by key, from its line (orbit= repeats and is left out).
  function valuesOf(sceneLine) {
    const out = {};
    for (const pair of sceneLine.split(' ')) {
      const at = pair.indexOf('=');
      out[pair.slice(0, at)] = pair.slice(at + 1);
    }
    return out;
  }

  function values() {
    return valuesOf(line());
  }

  function windowOf(value) {
    const [from, to] = value.split(':').map(Number);
    return { from, to };
  }

  // --- The address ------------------------------------------------------------------------------
  // The line stays readable in it: only what a query value needs is escaped, spaces become '+'.

  function address(sceneLine) {
    const value = encodeURIComponent(sceneLine).replace(/%20/g, '+').replace(/%3D/g, '=')
      .replace(/%3A/g, ':').replace(/%2C/g, ',');
    return '?program=explore&scene=' + value;
  }

  // --- Drawing in workers --------------------------------------------------------------------
  // Two workers draw, so that one starts the next picture while the other finishes its own and
  // this thread puts it on view: the picture keeps following a dragged slider. Every change is
  // sent on at once, to an idle worker (a running one first) or else to the one longest into its
  // drawing. A worker draws only the newest scene it was sent once it is done with a drawing, so
  // it never waits on this thread between pictures, and scenes overtaken meanwhile are never
  // drawn; a picture older than the one on view is dropped. A drawing that has taken four times
  // longer than drawings have been taking (at least a quarter of a second) while a newer scene
  // waits is abandoned, its worker with it, and a fresh worker takes the newest scene if the old
  // one held it; a worker whose engine has not started yet is left to start. "Drawing…" appears
  // only when the picture on view has been behind the scene for a tenth of a second.

  const workers = [];
  let posted = 0;
  let answered = 0;
  let newestLine = '';
  let drawingNote = 0;
  let usualMs = 50;

  function patience() {
    return Math.max(250, 4 * usualMs);
  }

  // The first worker fetches and compiles the engine's code itself and hands the module back; the
  // others, and this thread's engine, get it from there.
  let moduleArrived;
  const compiled = new Promise((resolve) => { moduleArrived = resolve; });

  // A worker's entry: whether its engine runs, whether it has drawn (its first drawing, in code
  // not yet optimised, does not count towards the usual time), the newest request sent to it and
  // answered by it, and the one it said it is drawing, since when.
  function startWorker(slot, first) {
    const worker = new Worker('studio_worker.js');
    const entry = {
      worker, started: false, ready: false, sent: 0, done: 0, drawing: 0, since: performance.now(),
    };
    worker.onmessage = (event) => fromWorker(entry, event.data);
    worker.onerror = function (event) {
      say('failed', 'The studio cannot draw: ' + (event.message || 'its worker failed') + '.');
    };
    if (first) {
      worker.postMessage({ compile: true });
    } else {
      compiled.then((compiledModule) => worker.postMessage({ module: compiledModule }));
    }
    workers[slot] = entry;
    return entry;
  }

  function send(entry, id, sceneLine) {
    if (entry.done >= entry.sent) entry.since = performance.now();
    entry.sent = id;
    entry.worker.postMessage({ id, line: sceneLine, png: false });
  }

  function request(sceneLine) {
    newestLine = sceneLine;
    const idle = (entry) => entry.done >= entry.sent;
    const target = workers.find((entry) => entry.started && idle(entry)) || workers.find(idle) ||
                   workers.reduce((a, b) => (a.since <= b.since ? a : b));
    send(target, ++posted, sceneLine);
    if (drawingNote === 0) {
      drawingNote = setTimeout(() => {
        drawingNote = 0;
        if (answered < posted) say('drawing', 'Drawing…');
      }, 100);
    }
    setTimeout(abandonStale, patience() + 1);
  }

  function draw() {
    status.dataset.scene = line();
    request(status.dataset.scene);
  }

  function abandonStale() {
    workers.forEach((entry, slot) => {
      if (entry.started && entry.done < entry.sent && entry.drawing < posted &&
          performance.now() - entry.since >= patience()) {
        entry.worker.terminate();
        const fresh = startWorker(slot, false);
        if (entry.sent === posted) send(fresh, posted, newestLine);
      }
    });
  }

  function put(canvas, width, height, bitmap) {
    if (canvas.width !== width) canvas.width = width;
    if (canvas.height !== height) canvas.height = height;
    canvas.getContext('bitmaprenderer').transferFromImageBitmap(bitmap);
  }

  function fromWorker(entry, answer) {
    if (answer.module) {
      moduleArrived(answer.module);
      return;
    }
    if (answer.failed) {
      say('failed', 'The studio cannot draw: ' + answer.failed + '.');
      return;
    }
    if (answer.started) {
      entry.started = true;
      becomeUsable();
      return;
    }
    if (answer.drawing) {
      entry.drawing = answer.drawing;
      entry.since = performance.now();
      return;
    }
    entry.done = Math.max(entry.done, answer.id);
    if (!started) startEngine();
    if (entry.ready) usualMs = 0.8 * usualMs + 0.2 * (answer.ms || usualMs);
    entry.ready = true;
    if (answer.id <= answered) return;
    answered = answer.id;
    if (answer.error) {
      // The address's scene refused is this thread's to tell (see the start below).
      if (answer.id === 1 && addressRefused !== false) {
        firstError = answer.error;
      } else {
        say('failed', 'The picture cannot be drawn: ' + answer.error + '.');
      }
      return;
    }
    put(portrait, answer.tileWidth, answer.height, answer.portrait);
    put(strip, answer.width, answer.height, answer.strip);
    status.dataset.line = answer.line;
    status.dataset.drawMs = answer.ms.toFixed(1);
    if (answered === posted) {
      clearTimeout(drawingNote);
      drawingNote = 0;
    }
    if (answered === posted || status.dataset.state !== 'drawing') {
      sayShown();
    }
  }

  // --- The controls -------------------------------------------------------------------------------

  const groupNames = [];

  // While pictures follow one another (a dragged slider), what the status says of them follows
  // once they rest: new words every picture would take the page's thread from the slider.
  let wordsTimer = 0;
  function sayShown() {
    clearTimeout(wordsTimer);
    const words = () => say('shown', shownText(status.dataset.line));
    if (status.dataset.state === 'shown') {
      wordsTimer = setTimeout(words, 250);
    } else {
      words();
    }
  }

  // What the status says of a picture on view: its group (by its short name until this thread's
  // engine has named them all) and its kick.
  function shownText(sceneLine) {
    const v = valuesOf(sceneLine);
    const index = [...fields.group.options].findIndex((option) => option.value === v.group);
    return (index < 0 ? v.group : groupNames[index]) + ', kick ' + v.kick + '.';
  }

  // Fields and the outline are written only where they change: every write makes the browser
  // bring the page's style up to date, many times a frame while a slider is dragged.
  function setValue(field, value) {
    if (field.value !== value) field.value = value;
  }

  function setStyle(element, property, value) {
    if (element.style[property] !== value) element.style[property] = value;
  }

  function fill() {
    const v = values();
    setValue(fields.kick, v.kick);
    if (document.activeElement !== fields.kickNumber) setValue(fields.kickNumber, v.kick);
    setValue(fields.group, v.group);
    const parts = engine._page_layout(1);
    if (fields.keep.options.length !== parts) {
      fields.keep.textContent = '';
      for (let part = 0; part < parts; ++part) {
        fields.keep.append(new Option('part ' + (part + 1) + ' of ' + parts, String(part)));
      }
    }
    setValue(fields.keep, String(Number(v.keep) % parts));
    for (const key of ['palette', 'length', 'step']) {
      if (document.activeElement !== fields[key]) setValue(fields[key], v[key]);
    }
    // The kept part, outlined over the portrait in fractions of it.
    const tileWidth = engine._page_layout(0);
    const height = Number(v.size.split('x')[1]);
    setStyle(kept, 'left', (100 * engine._page_layout(2) / tileWidth) + '%');
    setStyle(kept, 'top', (100 * engine._page_layout(3) / height) + '%');
    setStyle(kept, 'width', (100 * engine._page_layout(4) / tileWidth) + '%');
    setStyle(kept, 'height', (100 * engine._page_layout(5) / height) + '%');
    fillSizes(v);
  }

  // The download sizes: the shown one and its multiples while the studio allows them.
  let sizesFor = '';
  function fillSizes(v) {
    if (v.size === sizesFor) return;
    sizesFor = v.size;
    const [width, height] = v.size.split('x').map(Number);
    const chosen = downloadSize.selectedIndex;
    downloadSize.textContent = '';
    const saved = line();
    for (const times of [1, 2, 3, 4, 6, 8, 12, 16]) {
      const size = width * times + 'x' + height * times;
      if (set('size', size) !== null) break;
      downloadSize.append(new Option(size + (times === 1 ? ' (the scene\'s size)' : ''), size));
    }
    read(saved);
    downloadSize.selectedIndex = Math.min(Math.max(chosen, 0), downloadSize.options.length - 1);
  }

  // The address, and the line shown under the pictures, follow the scene once it has rested a
  // quarter of a second, and at least once a second while it keeps changing: browsers refuse (and
  // warn about) a page that replaces its address on every step of a dragged slider, and each
  // replacement, like laying out a new line of text, takes the page's thread from the slider.
  let addressTimer = 0;
  let unwrittenSince = 0;
  function keepAddress() {
    clearTimeout(addressTimer);
    const now = performance.now();
    if (unwrittenSince === 0) unwrittenSince = now;
    addressTimer = setTimeout(writeAddress, Math.max(0, Math.min(250, unwrittenSince + 1000 - now)));
  }

  function writeAddress() {
    unwrittenSince = 0;
    history.replaceState(history.state, '', address(line()));
    lineText.textContent = line();
  }

  // After every change: the fields, the address and the picture.
  function changed() {
    note('');
    fill();
    keepAddress();
    draw();
  }

  function change(key, value, field) {
    if (engine === null) return;
    const refused = set(key, value);
    if (field) field.setAttribute('aria-invalid', refused === null ? 'false' : 'true');
    if (refused !== null) {
      note(refused);
      return;
    }
    changed();
  }

  fields.kick.addEventListener('input', () => change('kick', fields.kick.value, fields.kick));
  fields.kickNumber.addEventListener('input', () => {
    if (fields.kickNumber.value !== '') change('kick', fields.kickNumber.value, fields.kickNumber);
  });
  fields.group.addEventListener('change', () => change('group', fields.group.value));
  fields.keep.addEventListener('change', () => change('keep', fields.keep.value));
  for (const key of ['palette', 'length', 'step']) {
    fields[key].addEventListener('input', () => {
      if (fields[key].value !== '') change(key, fields[key].value, fields[key]);
    });
  }
  $('undo').addEventListener('click', () => {
    if (engine !== null && engine._page_undo()) changed();
  });
  $('reset').addEventListener('click', () => {
    if (engine === null) return;
    read(startLine);
    changed();
  });
  $('whole').addEventListener('click', () => view({ from: 0, to: twoPi }, { from: 0, to: twoPi }));
  $('zoom-in').addEventListener('click', () => zoom(0.5, 0.5, 0.5));
  $('zoom-out').addEventListener('click', () => zoom(2, 0.5, 0.5));

  // --- The window onto the plane: pan, zoom, orbits ---------------------------------------------

  // Clamps a window to the torus: at least the narrowest the scene allows, at most all of it.
  function clamp(window, size) {
    size = Math.min(Math.max(size, 1e-6), twoPi);
    const from = Math.min(Math.max(window.from, 0), twoPi - size);
    return { from, to: Math.min(from + size, twoPi) };
  }

  function view(theta, p) {
    if (engine === null) return;
    const refused = set('theta', theta.from + ':' + theta.to) || set('p', p.from + ':' + p.to);
    if (refused !== null) {
      note(refused);
      return;
    }
    changed();
  }

  // Zooms by `factor` keeping the point at fractions (fx, fy) of the portrait where it is.
  function zoom(factor, fx, fy) {
    if (engine === null) return;
    const v = values();
    const theta = windowOf(v.theta), p = windowOf(v.p);
    const sizeTheta = Math.min(Math.max((theta.to - theta.from) * factor, 1e-6), twoPi);
    const sizeP = Math.min(Math.max((p.to - p.from) * factor, 1e-6), twoPi);
    const atTheta = theta.from + fx * (theta.to - theta.from);
    const atP = p.to - fy * (p.to - p.from);
    view(clamp({ from: atTheta - fx * sizeTheta }, sizeTheta),
         clamp({ from: atP - (1 - fy) * sizeP }, sizeP));
  }

  // Moves the window by fractions of it (right and up positive).
  function pan(dx, dy, from) {
    const theta = windowOf(from.theta), p = windowOf(from.p);
    const sizeTheta = theta.to - theta.from, sizeP = p.to - p.from;
    view(clamp({ from: theta.from + dx * sizeTheta }, sizeTheta),
         clamp({ from: p.from + dy * sizeP }, sizeP));
  }

  function orbitAt(fx, fy) {
    if (engine === null) return;
    const v = values();
    const height = Number(v.size.split('x')[1]);
    const x = Math.min(Math.floor(fx * engine._page_layout(0)), engine._page_layout(0) - 1);
    const y = Math.min(Math.floor(fy * height), height - 1);
    if (engine._page_add_orbit(x, y)) {
      changed();
    } else {
      note('No more orbits: a scene holds at most 1000. Undo one first.');
    }
  }

  // Pointers: a click or tap starts an orbit, a drag pans, two fingers pinch to zoom.
  const pointers = new Map();
  let gesture = null;

  function fraction(event) {
    const box = portrait.getBoundingClientRect();
    return { x: (event.clientX - box.left) / box.width, y: (event.clientY - box.top) / box.height };
  }

  portrait.addEventListener('pointerdown', (event) => {
    if (engine === null) return;
    portrait.setPointerCapture(event.pointerId);
    pointers.set(event.pointerId, fraction(event));
    const v = values();
    if (pointers.size === 1) {
      gesture = { kind: 'tap', start: fraction(event), scene: { theta: v.theta, p: v.p } };
    } else if (pointers.size === 2) {
      const [a, b] = [...pointers.values()];
      gesture = { kind: 'pinch', distance: Math.hypot(a.x - b.x, a.y - b.y) };
    }
  });
  portrait.addEventListener('pointermove', (event) => {
    if (!pointers.has(event.pointerId) || gesture === null) return;
    const at = fraction(event);
    pointers.set(event.pointerId, at);
    if (gesture.kind === 'pinch' && pointers.size === 2) {
      const [a, b] = [...pointers.values()];
      const distance = Math.hypot(a.x - b.x, a.y - b.y);
      if (distance > 0 && Math.abs(distance / gesture.distance - 1) > 0.05) {
        zoom(gesture.distance / distance, (a.x + b.x) / 2, (a.y + b.y) / 2);
        gesture.distance = distance;
      }
      return;
    }
    const box = portrait.getBoundingClientRect();
    const moved = Math.hypot((at.x - gesture.start.x) * box.width, (at.y - gesture.start.y) * box.height);
    if (gesture.kind === 'tap' && moved > 6) gesture.kind = 'drag';
    if (gesture.kind === 'drag') {
      pan(gesture.start.x - at.x, at.y - gesture.start.y, gesture.scene);
    }
  });
  const release = (event) => {
    if (!pointers.has(event.pointerId)) return;
    pointers.delete(event.pointerId);
    if (gesture !== null && gesture.kind === 'tap' && event.type === 'pointerup') {
      const at = fraction(event);
      if (at.x >= 0 && at.x < 1 && at.y >= 0 && at.y < 1) orbitAt(at.x, at.y);
    }
    if (pointers.size === 0) gesture = null;
  };
  portrait.addEventListener('pointerup', release);
  portrait.addEventListener('pointercancel', release);
  portrait.addEventListener('wheel', (event) => {
    event.preventDefault();
    if (engine === null) return;
    const at = fraction(event);
    zoom(Math.pow(2, Math.max(-1, Math.min(1, event.deltaY / 300))), at.x, at.y);
  }, { passive: false });
  // The portrait by keyboard: arrows pan, + and - zoom, Enter starts an orbit at its centre.
  portrait.addEventListener('keydown', (event) => {
    if (engine === null || event.ctrlKey || event.altKey || event.metaKey) return;
    const v = { theta: values().theta, p: values().p };
    const moves = { ArrowLeft: [-0.125, 0], ArrowRight: [0.125, 0], ArrowUp: [0, 0.125],
                    ArrowDown: [0, -0.125] };
    if (moves[event.key]) {
      pan(moves[event.key][0], moves[event.key][1], v);
    } else if (event.key === '+' || event.key === '=') {
      zoom(0.5, 0.5, 0.5);
    } else if (event.key === '-') {
      zoom(2, 0.5, 0.5);
    } else if (event.key === 'Enter') {
      orbitAt(0.5, 0.5);
    } else {
      return;
    }
    event.preventDefault();
  });

  // --- Download -----------------------------------------------------------------------------------
  // The strip drawn again at the chosen size by a worker of its own, as the desktop's export
  // writes it (explore --scene LINE --export), with the line in its text chunk.

  $('download-strip').addEventListener('click', () => {
    if (engine === null) return;
    const v = values();
    const saved = line();
    set('size', downloadSize.value);
    const request = line();
    read(saved);
    const button = $('download-strip');
    button.disabled = true;
    const downloadNote = $('download-note');
    downloadNote.textContent = 'Making the file…';
    const maker = new Worker('studio_worker.js');
    maker.postMessage({ module });
    maker.postMessage({ id: 1, line: request, png: true });
    maker.onmessage = (event) => {
      if (event.data.started) return;
      maker.terminate();
      button.disabled = false;
      if (event.data.error || event.data.failed) {
        downloadNote.textContent = 'No file: ' + (event.data.error || event.data.failed) + '.';
        return;
      }
      const fileName = 'explore-' + v.group + '-kick-' + v.kick + '.png';
      savePng(event.data.png, fileName);
      downloadNote.textContent = 'Saved ' + fileName + ' (' + downloadSize.value + ').';
    };
    // A worker that fails (out of memory for a very large file) ends the download, not the page.
    maker.onerror = (event) => {
      event.preventDefault();
      maker.terminate();
      button.disabled = false;
      downloadNote.textContent = 'No file: the page could not make it (' +
        (event.message || 'its worker failed') + '); a smaller size may do.';
    };
  });

  $('copy-line').addEventListener('click', () => {
    if (navigator.clipboard) navigator.clipboard.writeText(line()).catch(() => {});
  });

  // --- Start ----------------------------------------------------------------------------------------

  say('loading', 'Loading the studio…');
  // The first picture is asked for at once, from the address as it stands, of one worker that
  // fetches and compiles the engine's code itself and reads the line itself. The second worker
  // and this thread's engine (the controls) start once it is on view: on a machine of few cores
  // they would only have slowed it down.
  startWorker(0, true);
  request(addressScene === null ? '' : addressScene);
  let started = false;
  // A first picture that takes long (a large scene in the address) does not hold the controls:
  // after a second they start anyway, and a change abandons it.
  setTimeout(() => {
    if (!started) startEngine();
  }, 1000);

  function startEngine() {
    started = true;
    startWorker(1, false);
    const script = document.createElement('script');
    script.src = 'explore.js';
    script.onerror = () => say('failed', 'The studio is not part of this build.');
    script.onload = function () {
      compiled.then(function (compiledModule) {
        module = compiledModule;
        return window.createExplore({
          instantiateWasm: function (imports, receive) {
            WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module));
            return {};
          },
        });
      }).then(function (instance) {
        engine = instance;
        for (let group = 0; group < 7; ++group) {
          const short = engine.UTF8ToString(engine._page_group_name(group, 0));
          const long = engine.UTF8ToString(engine._page_group_name(group, 1));
          const label = engine.UTF8ToString(engine._page_group_name(group, 2));
          groupNames.push(label);
          fields.group.append(new Option(long === short ? label : label.replace(' (', ' or ' + long + ' ('), short));
        }
        const refused = addressScene === null ? null : read(addressScene);
        addressRefused = refused !== null;
        startLine = line();
        fill();
        lineText.textContent = status.dataset.scene = startLine;
        becomeUsable();
        if (status.dataset.state === 'shown') say('shown', shownText(status.dataset.line));
        if (refused !== null) {
          note('The scene in the address was refused, so the default scene is shown: ' + refused);
          // The workers refused it too, quietly: the default scene instead.
          draw();
        } else if (firstError !== null && answered === 1) {
          say('failed', 'The picture cannot be drawn: ' + firstError + '.');
        }
      }).catch((error) => say('failed', 'The studio cannot start: ' + error.message));
    };
    document.body.append(script);
  }
};
