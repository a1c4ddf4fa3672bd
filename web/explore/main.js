// explore on the page (?program=explore): the scene is edited on this thread with one instance of
// the engine compiled from the desktop's sources (engine.js), and drawn in workers by others
// (scheduler.js, worker.js), so that the page answers while a picture is made. The pictures come
// back as image bitmaps, which the canvases take as they are: this thread neither copies nor
// converts a pixel, and stays free for the controls while a slider is dragged. Around the
// pictures, never in them, stand the axes and readouts (margins.js); Help lists every key,
// gesture and control (help.js); saving and copying say so on the line under the strip.
//
// The status line carries the state for scripts: data-state is loading, drawing, shown or failed,
// data-scene the scene line being edited, data-line that of the picture on view, data-draw-ms
// the worker's time for it and data-workers how many workers drew it (1, or 2 for a split one). figures.js starts it, handing it the page's way of saving a PNG file.
import { AddressKeeper, addressLine } from './address.js';
import { Controls } from './controls.js';
import { loadEngine } from './engine.js';
import { bindGestures } from './gestures.js';
import { Help } from './help.js';
import { Margins, groupWords } from './margins.js';
import { Player } from './player.js';
import { Scheduler, makeFile } from './scheduler.js';

const $ = (id) => document.getElementById(id);

// "Drawing…" shows only once the picture on view has been behind the scene this long (ms).
const drawingDelay = 100;
// What the status says of the pictures follows them once they rest this long (ms).
const wordsDelay = 250;
// The second worker and this thread's engine start after the first picture, or after this long
// (ms) at the latest, so that a slow scene in the address does not hold the controls.
const latestStart = 1000;

export function start(savePng) {
  const view = {
    section: $('explore'), status: $('explore-status'), message: $('explore-message'),
    portrait: $('portrait'), kept: $('kept'), strip: $('strip'), line: $('scene-line'),
    form: $('explore-controls'), sizes: $('download-size'), download: $('download-strip'),
    copy: $('copy-line'), facts: $('orbit-facts'), legend: $('colour-legend'),
    orbits: $('download-orbits'), pictures: $('explore-pictures'), portraitBox: $('portrait-box'),
    pAxis: $('p-axis'), thetaAxis: $('theta-axis'), readoutPoint: $('readout-point'),
    readoutKick: $('readout-kick'), readoutGroup: $('readout-group'), feedback: $('feedback'),
    help: $('help'), helpButton: $('help-button'),
  };
  // The page's state: this thread's engine (null until it runs) with the record of the scene it
  // edits, the controls built from its rulebook, whether they take changes yet, the line in the
  // address, what the workers said of it before the engine had read it, and the timers of the
  // delayed words.
  let engine = null;
  let record = null;
  let controls = null;
  let usable = false;
  let engineStarted = false;
  let fromAddress = addressLine();
  // A NUL would end the line where the engine reads it: the rest would be dropped unsaid.
  const addressNul = fromAddress !== null && fromAddress.includes('\0');
  if (addressNul) fromAddress = null;
  let addressRefused = null;
  let firstError = null;
  let drawingTimer = 0;
  let wordsTimer = 0;
  // The kick swept live (player.js), once the controls take changes.
  let player = null;

  view.section.hidden = false;
  const margins = new Margins(view);
  const help = new Help(view.help, view.helpButton);

  function say(state, text) {
    view.status.dataset.state = state;
    view.status.textContent = text;
  }

  // Messages of the page itself (a refused value, a refused address), beside the status.
  function note(text) {
    view.message.textContent = text;
    view.message.hidden = text === '';
  }

  // Word of what the page did (a file saved, a line copied), beside the pictures.
  let feedbackTimer = 0;
  function feedback(text, kind = 'done') {
    clearTimeout(feedbackTimer);
    view.feedback.textContent = text;
    view.feedback.dataset.kind = kind;
    if (kind !== 'busy') feedbackTimer = setTimeout(() => { view.feedback.textContent = ''; }, 8000);
  }

  // What the status says of a picture on view: its group and its kick.
  function shownText(line) {
    const values = Object.fromEntries(line.split(' ').map((pair) => pair.split('=')));
    const group = engine === null ? null
      : engine.rules.groups.find((entry) => entry.short === values.group);
    return (group ? groupWords(group) : values.group) + ', kick ' + values.kick + '.';
  }

  // While pictures follow one another (a dragged slider), the status's words follow once they
  // rest: new words every picture would take this thread from the slider.
  function sayShown() {
    clearTimeout(wordsTimer);
    const words = () => say('shown', shownText(view.status.dataset.line));
    if (view.status.dataset.state === 'shown') {
      wordsTimer = setTimeout(words, wordsDelay);
    } else {
      words();
    }
  }

  function put(canvas, width, height, bitmap) {
    if (canvas.width !== width) canvas.width = width;
    if (canvas.height !== height) canvas.height = height;
    canvas.getContext('bitmaprenderer').transferFromImageBitmap(bitmap);
  }

  const scheduler = new Scheduler({
    onPicture(answer, newest) {
      if (player !== null && player.swallows(answer)) return;
      put(view.portrait, answer.portraitShown.width, answer.portraitShown.height, answer.portrait);
      put(view.strip, answer.stripShown.width, answer.stripShown.height, answer.strip);
      margins.fit();
      // The default scene's pictures from the build (index.html) are covered from now on.
      delete document.documentElement.dataset.firstPicture;
      view.status.dataset.line = answer.line;
      view.status.dataset.drawMs = answer.ms.toFixed(1);
      view.status.dataset.workers = answer.split ? '2' : '1';
      if (newest) {
        clearTimeout(drawingTimer);
        drawingTimer = 0;
      }
      if (newest || view.status.dataset.state !== 'drawing') sayShown();
    },
    onError(id, error) {
      // The address's scene refused is this thread's engine's to tell (see startEngine).
      if (id === 1 && addressRefused !== false) {
        firstError = error;
      } else {
        say('failed', 'The picture cannot be drawn: ' + error + '.');
      }
    },
    onFailed(why) { say('failed', 'The explore page cannot draw: ' + why + '.'); },
    onStarted() { becomeUsable(); },
    onAnswer() { if (!engineStarted) startEngine(); },
  // Pictures are drawn by one worker each: on the 2-core machine the page was measured on,
  // splitting a picture between both made it slower (README, Performance). The tests and the
  // timing split them by setting window.exploreSplit to true before the page's scripts run.
  // Pictures larger than their room on the page are drawn smaller by the workers, to that room.
  }, { split: window.exploreSplit === true, room: () => margins.room() });

  function draw(line) {
    view.status.dataset.scene = line;
    scheduler.request(line);
    if (drawingTimer === 0) {
      drawingTimer = setTimeout(() => {
        drawingTimer = 0;
        if (scheduler.behind) say('drawing', 'Drawing…');
      }, drawingDelay);
    }
  }

  // The address, and the line shown under the pictures, follow the scene once it rests.
  const address = new AddressKeeper(() => {
    view.line.textContent = record.line;
    return record.line;
  });

  // The kept part, outlined over the portrait in fractions of it; written only where it changes.
  function outline() {
    const set = (property, value) => {
      if (view.kept.style[property] !== value) view.kept.style[property] = value;
    };
    set('left', (100 * record.kept.left / record.tile.width) + '%');
    set('top', (100 * record.kept.top / record.tile.height) + '%');
    set('width', (100 * record.kept.width / record.tile.width) + '%');
    set('height', (100 * record.kept.height / record.tile.height) + '%');
  }

  // The download sizes: the scene's own and its multiples while the scene's limits allow them.
  let sizesFor = '';
  function fillSizes() {
    if (record.values.size === sizesFor) return;
    sizesFor = record.values.size;
    const chosen = view.sizes.selectedIndex;
    view.sizes.textContent = '';
    for (const entry of engine.sizes()) {
      const option = new Option(entry.size + (entry.times === 1 ? ' (the scene\'s size)' : ''),
                                entry.size);
      option.dataset.line = entry.line;
      view.sizes.append(option);
    }
    view.sizes.selectedIndex = Math.min(Math.max(chosen, 0), view.sizes.options.length - 1);
  }

  // The words on the last planted orbit, and the legend of a colouring by chaos or density, as
  // the record gives them (engine/dynamics.hpp): shown only where they change.
  let legendFor = null;
  function showDynamics() {
    const facts = record.facts === null ? '' : 'Last orbit: ' + record.facts + '.';
    if (view.facts.textContent !== facts) view.facts.textContent = facts;
    view.facts.hidden = facts === '';
    const legend = record.legend === null ? '' : JSON.stringify(record.legend);
    if (legend === legendFor) return;
    legendFor = legend;
    view.legend.textContent = '';
    view.legend.hidden = legend === '';
    if (legend === '') return;
    const { title, colours, marks } = record.legend;
    const bar = document.createElement('div');
    bar.className = 'legend-bar';
    bar.style.background = 'linear-gradient(to right, ' + colours.join(', ') + ')';
    for (const mark of marks) {
      const label = document.createElement('span');
      // The kinds' boundary above the bar, the scale's numbers below it; the end labels inside.
      label.className = 'legend-mark' + (mark.boundary ? ' boundary' : '') +
        (mark.at < 0.05 ? ' first' : mark.at > 0.95 ? ' last' : '');
      label.style.left = (100 * mark.at) + '%';
      label.textContent = mark.label;
      bar.append(label);
    }
    const caption = document.createElement('p');
    caption.className = 'legend-title';
    caption.textContent = title;
    view.legend.append(caption, bar);
  }

  // After every answer of the engine: a refusal said, or the fields, the address and the picture.
  function took(answer, field) {
    if (controls !== null) controls.mark(field, answer.refusal !== null);
    if (answer.refusal !== null) {
      note(answer.refusal);
      return;
    }
    const moved = record === null || answer.line !== record.line;
    record = answer;
    note('');
    controls.fill(record);
    margins.show(record);
    outline();
    fillSizes();
    showDynamics();
    if (moved) {
      address.changed();
      draw(record.line);
    }
  }

  // Runs an operation of the engine on the scene (the gestures' and keys' way in).
  function edit(method, ...args) {
    if (!usable) return;
    if (method === 'setGroup') {
      took(engine.set('group', engine.rules.groups[args[0]].short));
    } else {
      took(engine[method](...args));
    }
  }

  // The controls wait for this thread's engine and both workers, which start after the first
  // picture: changes made while they start would only queue behind them.
  function becomeUsable() {
    if (usable || engine === null || !scheduler.running) return;
    usable = true;
    for (const control of [...controls.all, view.copy, view.orbits]) control.disabled = false;
    controls.fill(record);
    player = new Player({
      section: view.section, portrait: view.portrait, strip: view.strip, module: scheduler.module,
      kickRule: engine.rules.keys.find((rule) => rule.name === 'kick'),
      line: () => record.line, group: () => record.values.group, size: () => record.values.size,
      show(picture) {
        put(view.portrait, picture.tileWidth, picture.height, picture.portrait);
        put(view.strip, picture.width, picture.height, picture.strip);
      },
      settle: (kick) => took(engine.set('kick', kick)), say,
    });
  }

  bindGestures(view.portrait, edit, () => usable);

  view.download.addEventListener('click', () => {
    if (!usable) return;
    const option = view.sizes.selectedOptions[0];
    const fileName = 'explore-' + record.values.group + '-kick-' + record.values.kick + '.png';
    view.download.disabled = true;
    feedback('Making ' + fileName + ' (' + option.value + ')…', 'busy');
    scheduler.module.then((module) => makeFile(module, option.dataset.line)).then((made) => {
      savePng(made.png, fileName);
      feedback('Saved ' + fileName + ' (' + option.value + ', ' +
               Math.ceil(made.png.size / 1024) + ' KB) to your downloads.');
    }, (error) => {
      feedback('No file: ' + error.message + '.', 'failed');
    }).finally(() => { view.download.disabled = false; });
  });

  // The table of every orbit the scene draws, made by the engine as the desktop's --orbits makes it.
  view.orbits.addEventListener('click', () => {
    if (!usable) return;
    const made = engine.orbitTable();
    const fileName = 'explore-' + record.values.group + '-kick-' + record.values.kick + '-orbits.csv';
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([made.table], { type: 'text/csv' }));
    link.download = fileName;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60_000);
    feedback('Saved ' + fileName + ' (' + made.rows + ' orbits) to your downloads.');
  });

  view.copy.addEventListener('click', () => {
    const line = record.line;
    if (!navigator.clipboard) {
      feedback('This browser lets no page copy: select the line below and copy it.', 'failed');
      return;
    }
    navigator.clipboard.writeText(line).then(() => feedback('Copied the scene line.'),
      () => feedback('The browser refused to copy: select the line below and copy it.', 'failed'));
  });

  function startEngine() {
    engineStarted = true;
    scheduler.startSecond();
    scheduler.module.then(loadEngine).then((loaded) => {
      engine = loaded;
      controls = new Controls(view.form, engine.rules, {
        change(key, value, field, continues) {
          if (usable) took(engine.set(key, value, continues), field);
        },
        press(id) {
          const operations = {
            'zoom-in': () => engine.zoomIn(), 'zoom-out': () => engine.zoomOut(),
            whole: () => engine.wholeTorus(), undo: () => engine.undo(),
            redo: () => engine.redo(), reset: () => engine.reset(),
          };
          if (usable) took(operations[id]());
        },
        step(hundredths) {
          if (usable) took(engine.stepKick(hundredths));
        },
      });
      margins.engine = engine;
      help.rules = engine.rules;
      for (const control of [...controls.all, view.copy, view.orbits]) control.disabled = true;
      const started = engine.start(fromAddress === null ? '' : fromAddress);
      addressRefused = started.refusal !== null;
      record = started;
      controls.fill(record);
      margins.show(record);
      outline();
      fillSizes();
      showDynamics();
      view.line.textContent = view.status.dataset.scene = record.line;
      becomeUsable();
      if (view.status.dataset.state === 'shown') say('shown', shownText(view.status.dataset.line));
      if (addressNul) {
        note('The scene in the address was refused, so the default scene is shown: it holds a ' +
             'NUL character (%00), which no scene line may hold.');
      } else if (addressRefused) {
        note('The scene in the address was refused, so the default scene is shown: ' +
             started.refusal);
        // The workers refused it too, quietly: the default scene instead.
        draw(record.line);
      } else if (firstError !== null) {
        say('failed', 'The picture cannot be drawn: ' + firstError + '.');
      }
    }).catch((error) => say('failed', 'The explore page cannot start: ' + error.message));
  }

  say('loading', 'Loading explore…');
  view.copy.disabled = true;
  view.orbits.disabled = true;
  // The first picture is asked for at once, from the address as it stands, of one worker that
  // fetches and compiles the engine's code itself and reads the line itself. The second worker
  // and this thread's engine (the controls) start once it is on view: on a machine of few cores
  // they would only have slowed it down.
  scheduler.startFirst();
  draw(fromAddress === null ? '' : fromAddress);
  setTimeout(() => {
    if (!engineStarted) startEngine();
  }, latestStart);
}
