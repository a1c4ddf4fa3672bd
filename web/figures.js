// Runs the program named in the address (?program=figureN, and &seed=N for its colours) in the
// page's canvas, sizes the picture to the window, and keeps the line above it up to date: what
// is being drawn, which slide stands, how to go on, and when the show has ended.
//
// The status line carries the state for scripts too: data-state is idle, loading, drawing,
// showing, ended or failed; data-slide is the slide on the canvas (0 before the first) and
// data-slides the number of slides in the show. The program itself reports each step (see
// kit/src/platform_web.cpp), whatever the viewer used to move on: a key, a click or a tap.
(function () {
  'use strict';

  const status = document.getElementById('status');
  const again = document.getElementById('again');
  const stage = document.getElementById('stage');
  const picture = document.getElementById('picture');
  const canvas = document.getElementById('screen');
  const fullscreenButton = document.getElementById('fullscreen');
  const parameters = new URLSearchParams(location.search);
  const name = parameters.get('program');
  const seed = parameters.get('seed');
  const label = seed === null ? name : name + ' (seed ' + seed + ')';
  let state = 'idle';
  let slides = 0;
  let shown = 0;
  const errors = [];

  function report(newState, text) {
    state = newState;
    status.dataset.state = newState;
    status.dataset.slide = String(shown);
    status.dataset.slides = String(slides);
    status.textContent = text;
    document.body.dataset.show = newState;
  }

  function running() {
    return state === 'showing' || state === 'drawing';
  }

  // The list of programs comes from the build (programs.js).
  const programs = window.figurePrograms || [];
  const list = document.getElementById('programs');
  for (const program of programs) {
    const item = document.createElement('li');
    const link = document.createElement('a');
    link.href = '?program=' + program.name;
    link.textContent = program.name;
    if (program.name === name) link.setAttribute('aria-current', 'page');
    const summary = document.createElement('span');
    summary.textContent = program.summary;
    item.append(link, ' ', summary);
    list.append(item);
  }

  if (name === null) return;
  document.body.dataset.program = name;
  // Only the programs of the list: the name becomes a script address.
  if (!programs.some((program) => program.name === name)) {
    report('failed', 'There is no program called "' + name + '": choose one of those above.');
    return;
  }
  document.title = name + ' – Figures';
  if (location.protocol === 'file:') {
    report('failed', 'A browser runs these programs only from a web server, not from a file ' +
                     'opened directly: run "make serve" and open the address it prints.');
    return;
  }

  // --- The picture's size ----------------------------------------------------------------------
  // As large as its room allows at a whole number of screen pixels per picture pixel, so that
  // every pixel of the slide is drawn the same size. It fills its room instead on dense screens
  // (phones: two or more screen pixels to the page's pixel), where uneven pixels cannot be told
  // apart, and in full screen, where a projector should get all the picture it can. A room too
  // small for one screen pixel per picture pixel gets the picture shrunk to fit, blended (see
  // figures.css).

  function fullscreenElement() {
    return document.fullscreenElement || document.webkitFullscreenElement || null;
  }

  function fitPicture() {
    const room = picture.getBoundingClientRect();
    if (room.width <= 0 || room.height <= 0) return;
    const density = window.devicePixelRatio || 1;
    const fit = Math.min(room.width / canvas.width, room.height / canvas.height);
    const fits = fit * density >= 1;
    let scale = fit;
    if (fits && density < 2 && fullscreenElement() !== stage) {
      scale = Math.floor(fit * density) / density;
    }
    picture.dataset.scaling = fits ? 'sharp' : 'smooth';
    picture.style.setProperty('--picture-width', canvas.width * scale + 'px');
    picture.style.setProperty('--picture-height', canvas.height * scale + 'px');
  }

  picture.hidden = false;
  fitPicture();
  new ResizeObserver(fitPicture).observe(picture);
  // A change of zoom or of screen changes the density without changing the room.
  window.addEventListener('resize', fitPicture);

  // --- Full screen -------------------------------------------------------------------------------
  // The stage (status line and picture) takes the screen; keys, clicks and taps reach the
  // program as before. Esc leaves full screen and does not advance: where the browser has left
  // full screen on it already, the page may still get the key just after.

  let leftFullscreenAt = -Infinity;

  function leaveFullscreen() {
    const result = (document.exitFullscreen || document.webkitExitFullscreen).call(document);
    if (result && result.catch) result.catch(function () {});
  }

  function isLeavingKey(event) {
    return event.key === 'Escape' &&
           (fullscreenElement() !== null || performance.now() - leftFullscreenAt < 500);
  }

  if (document.fullscreenEnabled || document.webkitFullscreenEnabled) {
    fullscreenButton.hidden = false;
    fullscreenButton.addEventListener('click', function () {
      // A focused button would take the next Space or Enter for itself.
      fullscreenButton.blur();
      if (fullscreenElement() !== null) {
        leaveFullscreen();
        return;
      }
      const request = stage.requestFullscreen || stage.webkitRequestFullscreen;
      const result = request.call(stage);
      if (result && result.catch) {
        result.catch(function (error) {
          console.warn('full screen refused: ' + error.message);
        });
      }
    });
    const fullscreenChanged = function () {
      if (fullscreenElement() === stage) {
        stage.dataset.fullscreen = '';
      } else {
        delete stage.dataset.fullscreen;
        leftFullscreenAt = performance.now();
      }
      fitPicture();
    };
    document.addEventListener('fullscreenchange', fullscreenChanged);
    document.addEventListener('webkitfullscreenchange', fullscreenChanged);
  }

  // --- Input ---------------------------------------------------------------------------------------

  // Keys the page keeps for the browser: shortcuts with Ctrl, Alt or Cmd, Tab for moving between
  // links, Enter and Space on a link or button, Esc in full screen, and everything while no show
  // runs. A key held down advances once, as on the desktop. Whatever is stopped here never
  // reaches the program's SDL, which listens on the document and would otherwise swallow every
  // key.
  function filterKeys(event) {
    const forBrowser = !running() || event.ctrlKey || event.altKey || event.metaKey ||
                       event.key === 'Tab' ||
                       isLeavingKey(event) ||
                       ((event.key === 'Enter' || event.key === ' ') &&
                        event.target instanceof Element && event.target.closest('a, button'));
    if (forBrowser) {
      event.stopPropagation();
      if (event.type === 'keydown' && event.key === 'Escape' && fullscreenElement() !== null) {
        leaveFullscreen();
      }
      return;
    }
    if (event.repeat) {
      event.stopPropagation();
      event.preventDefault();
    }
  }
  for (const type of ['keydown', 'keypress', 'keyup']) window.addEventListener(type, filterKeys, true);

  // Once the show is over the picture is only a picture: SDL's handlers on the canvas, which
  // take every touch and wheel turn for the program, no longer get them.
  const pointerEvents = ['mousedown', 'mouseup', 'mousemove', 'mouseout', 'touchstart', 'touchmove',
                         'touchend', 'wheel', 'mousewheel', 'DOMMouseScroll'];
  for (const type of pointerEvents) {
    picture.addEventListener(type, function (event) {
      if (!running()) event.stopPropagation();
    }, true);
  }

  // --- The program -------------------------------------------------------------------------------

  const advanceHint = 'Press any key, or click or tap the picture, ';

  // Input given while a slide is drawn is dropped by the program (kit/src/platform_web.cpp).
  function drawing(slide) {
    return label + ': drawing slide ' + slide + ' of ' + slides + '… Keys, clicks and taps ' +
           'count again once it is shown.';
  }

  // A program that stops before its first slide leaves nothing worth a blank box.
  function stopped(text) {
    if (shown === 0) {
      picture.hidden = true;
      fullscreenButton.hidden = true;
    }
    report('failed', text);
  }

  // The first line the program wrote to its error stream, without its name in front.
  function firstError() {
    const line = errors.length > 0 ? errors[0] : '';
    return line.startsWith(name + ': ') ? line.slice(name.length + 2) : line;
  }

  window.Module = {
    canvas: canvas,
    arguments: seed === null ? [] : ['--seed', seed],
    // The program's pixel memory is the picture; the canvas only shows it.
    screenIsReadOnly: true,
    onShowStarted: function (programName, count) {
      slides = count;
      report('drawing', drawing(1));
    },
    onSlide: function (slide) {
      shown = slide;
      if (slide < slides) {
        report('showing', label + ': slide ' + slide + ' of ' + slides + '. ' + advanceHint +
                          'for the next slide.');
      } else {
        report('showing', label + ': slide ' + slide + ' of ' + slides + ', the last. ' +
                          advanceHint + 'to end the show.');
      }
    },
    onDrawingNext: function () {
      report('drawing', shown < slides ? drawing(shown + 1) : label + ': ending the show…');
    },
    onExit: function (code) {
      if (code === 0) {
        report('ended', 'The show has ended: ' + label + ' has shown all ' + slides +
                        (slides === 1 ? ' slide.' : ' slides.'));
        again.hidden = false;
      } else if (code === 2 && seed !== null) {
        // The seed is the only thing the page passes on the command line.
        stopped(name + ' cannot start: ' + (firstError() || 'the seed is refused') +
                         '. It comes from "seed=' + seed + '" in the address: correct that, ' +
                         'or leave it out.');
      } else {
        stopped(label + ' stopped with status ' + code +
                         (errors.length > 0 ? ': ' + firstError() : '.'));
        again.hidden = false;
      }
    },
    onAbort: function (what) {
      stopped(label + ' broke down: ' + (firstError() || what));
      again.hidden = false;
    },
    print: function (text) { console.log(text); },
    printErr: function (text) {
      console.error(text);
      errors.push(text);
    },
    // The program's code is fetched and compiled from the start, while its script loads, rather
    // than after (the script would only ask for it once it runs).
    instantiateWasm: function (imports, receiveInstance) {
      compiled
        .then((module) => WebAssembly.instantiate(module, imports)
          .then((instance) => receiveInstance(instance, module)))
        .catch((error) => stopped(label + ' cannot start: ' + error.message));
      return {};
    },
  };

  report('loading', 'Loading ' + name + '…');
  // compileStreaming needs the server to say application/wasm; without that, compile the bytes.
  const compiled = WebAssembly.compileStreaming(fetch(name + '.wasm'))
    .catch(() => fetch(name + '.wasm').then((response) => response.arrayBuffer())
      .then((bytes) => WebAssembly.compile(bytes)));
  const script = document.createElement('script');
  script.src = name + '.js';
  script.onerror = function () {
    stopped(name + ' is not part of this build: choose another program above.');
  };
  document.body.appendChild(script);
})();
