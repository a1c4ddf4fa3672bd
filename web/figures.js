// Runs the program named in the address (?program=figureN, &seed=N for its colours and
// &slide=K to begin at slide K) in the page's canvas, sizes the picture to the window, and keeps
// the line above it up to date: what is being drawn, which slide stands and what it shows, and
// when the show has ended. The address follows the show: once the program has chosen its seed it
// is written into it, and the slide on view with every move (replacing the history entry, not
// adding one), so that a reload resumes there and a copied address opens that slide in the same
// colours.
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
  const previousButton = document.getElementById('previous');
  const nextButton = document.getElementById('next');
  const downloadButton = document.getElementById('download');
  const note = document.getElementById('note');
  const blankCover = document.getElementById('blank');
  const marginSlide = document.getElementById('margin-slide');
  const marginCaption = document.getElementById('margin-caption');
  const parameters = new URLSearchParams(location.search);
  const name = parameters.get('program');
  let seed = parameters.get('seed');
  const startSlide = parameters.get('slide');
  let label = name;
  let state = 'idle';
  let slides = 0;
  let shown = 0;
  let captions = [];
  const errors = [];

  function report(newState, text) {
    state = newState;
    status.dataset.state = newState;
    status.dataset.slide = String(shown);
    status.dataset.slides = String(slides);
    status.textContent = text;
    document.body.dataset.show = newState;
    // The build's picture of the first slide (index.html) covers the canvas only while the
    // program starts and draws that slide: once a slide stands the canvas holds its pixels, and
    // a show stopped before it has nothing to show.
    if (newState !== 'loading' && newState !== 'drawing') {
      delete document.documentElement.dataset.firstSlide;
    }
    if (name !== null) updateButtons();
  }

  function running() {
    return state === 'showing' || state === 'drawing';
  }

  // The address of the show as it stands: the program, its seed once known, the slide on view.
  function address(slide) {
    const query = new URLSearchParams({ program: name });
    if (seed !== null) query.set('seed', seed);
    if (slide > 0) query.set('slide', String(slide));
    return '?' + query.toString();
  }

  function keepAddress() {
    history.replaceState(history.state, '', address(shown));
  }

  // The previous/next and download buttons work while a slide stands.
  function updateButtons() {
    const standing = state === 'showing';
    previousButton.disabled = !standing || shown <= 1;
    nextButton.disabled = !standing;
    downloadButton.disabled = !standing;
  }

  // The list of programs comes from the build (programs.js): links in the header of a show, and
  // on the landing page a card for each, with its picture and its sentence.
  const programs = window.figurePrograms || [];
  const list = document.getElementById('programs');
  for (const program of programs) {
    const item = document.createElement('li');
    const link = document.createElement('a');
    link.href = '?program=' + program.name;
    link.textContent = program.name;
    if (program.name === name) link.setAttribute('aria-current', 'page');
    item.append(link);
    list.append(item);
  }

  // The landing pictures are shown at a whole number of screen pixels per picture pixel, as the
  // slides are: one CSS pixel each where the screen has a whole number of pixels to the CSS pixel,
  // else the largest whole number of screen pixels that is not more than that.
  function landingPixel() {
    const density = window.devicePixelRatio || 1;
    return Math.max(1, Math.floor(density + 1e-6)) / density;
  }

  function sizeLandingPicture(image) {
    if (image.naturalWidth === 0) return;
    const pixel = landingPixel();
    image.style.width = image.naturalWidth * pixel + 'px';
    image.style.height = image.naturalHeight * pixel + 'px';
  }

  function card(program) {
    const link = document.createElement('a');
    link.className = 'card';
    link.href = '?program=' + program.name;
    const frame = document.createElement('span');
    frame.className = 'card-picture';
    if (program.picture) {
      const image = document.createElement('img');
      image.alt = '';
      image.addEventListener('load', () => sizeLandingPicture(image));
      image.src = program.picture;
      frame.append(image);
    }
    const title = document.createElement('span');
    title.className = 'card-name';
    title.textContent = program.name;
    const summary = document.createElement('span');
    summary.className = 'card-summary';
    summary.textContent = program.summary;
    const text = document.createElement('span');
    text.className = 'card-text';
    text.append(title, ' ', summary);
    link.append(frame, text);
    return link;
  }

  if (name === null) {
    const shows = document.getElementById('shows');
    const exploreEntry = document.getElementById('explore-entry');
    for (const program of programs) {
      if (!program.slideShow) {
        exploreEntry.append(card(program));
        continue;
      }
      const item = document.createElement('li');
      item.append(card(program));
      shows.append(item);
    }
    const landing = document.getElementById('landing');
    landing.style.setProperty('--picture-pixel', landingPixel() + 'px');
    landing.hidden = false;
    // A change of zoom or of screen changes the density.
    window.addEventListener('resize', () => {
      landing.style.setProperty('--picture-pixel', landingPixel() + 'px');
      for (const image of landing.querySelectorAll('img')) sizeLandingPicture(image);
    });
    return;
  }
  document.body.dataset.program = name;
  // Only the programs of the list: the name becomes a script address.
  const entry = programs.find((program) => program.name === name);
  if (entry === undefined) {
    report('failed', 'There is no program called "' + name + '": choose one of those above.');
    return;
  }
  // A program with fixed colours has no seed to take: one in the address is dropped, and said so.
  if (!entry.seeded && seed !== null) {
    note.textContent = name + ' draws in fixed colours: "seed=' + seed + '" in the address ' +
                       'changes nothing and has been left out.';
    note.hidden = false;
    seed = null;
    history.replaceState(history.state, '', address(Number(startSlide) > 0 ? startSlide : 0));
  }
  document.title = name + ' – Figures';
  if (location.protocol === 'file:') {
    report('failed', 'A browser runs these programs only from a web server, not from a file ' +
                     'opened directly: run "make serve" and open the address it prints.');
    return;
  }
  // explore, the frieze studio, is no slide show: it has a section of the page and modules of its
  // own (explore/main.js).
  if (!entry.slideShow) {
    import('./explore/main.js').then((explore) => explore.start(savePng),
      (error) => report('failed', 'explore cannot start: ' + error.message));
    return;
  }

  // --- The picture's size ----------------------------------------------------------------------
  // As large as its room allows at a whole number of the screen's own pixels per picture pixel
  // (devicePixelRatio of them make a CSS pixel), on every screen, phones too, so that every pixel
  // of the slide is a square of the same size, from a screen pixel's edge. It fills its room
  // instead in full screen, where a projector should get all the picture it can. A room too
  // small for one screen pixel per picture pixel gets the picture shrunk to fit, blended (see
  // figures.css).
  //
  // The sharp picture keeps its own size in CSS pixels and is scaled by a transform: layout
  // rounds a length to 64ths of a CSS pixel (a third of one, 800 screen pixels at three to the
  // CSS pixel, cannot be had) and some browsers paint a picture's box from whole CSS pixels. Its
  // corner sits on a whole CSS pixel where the density is whole, and on a screen pixel where
  // it is not.

  function fullscreenElement() {
    return document.fullscreenElement || document.webkitFullscreenElement || null;
  }

  // The room inside the picture's box: its padding keeps the picture's outline in view.
  function pictureRoom() {
    const box = picture.getBoundingClientRect();
    const edge = parseFloat(getComputedStyle(picture).paddingTop) || 0;
    return { left: box.left + edge, top: box.top + edge,
             width: box.width - 2 * edge, height: box.height - 2 * edge };
  }

  function fitPicture() {
    const room = pictureRoom();
    if (room.width <= 0 || room.height <= 0) return;
    const density = window.devicePixelRatio || 1;
    const fit = Math.min(room.width / canvas.width, room.height / canvas.height);
    // Screen pixels per picture pixel; the tolerance keeps a room of exactly 1600 screen pixels
    // from being taken for 1599.99.
    const whole = Math.floor(fit * density + 1e-6);
    const sharp = whole >= 1 && fullscreenElement() !== stage;
    picture.dataset.scaling = whole >= 1 ? 'sharp' : 'smooth';
    const set = (property, value) => picture.style.setProperty('--picture-' + property, value);
    if (!sharp) {
      set('width', canvas.width * fit + 'px');
      set('height', canvas.height * fit + 'px');
      set('left', '0px');
      set('top', '0px');
      set('transform', 'none');
      set('outline', '1px');
      return;
    }
    const scale = whole / density;
    const grid = Number.isInteger(density) ? 1 : 1 / density;
    // Centred across the room and at its top.
    const left = Math.round((room.left + (room.width - canvas.width * scale) / 2) / grid) * grid;
    const top = Math.ceil(room.top / grid - 1e-6) * grid;
    set('width', canvas.width + 'px');
    set('height', canvas.height + 'px');
    set('left', left - room.left + 'px');
    set('top', top - room.top + 'px');
    set('transform', 'scale(' + scale + ')');
    // One CSS pixel, once scaled.
    set('outline', 1 / scale + 'px');
  }

  picture.hidden = false;
  fitPicture();
  new ResizeObserver(fitPicture).observe(picture);
  // A change of zoom or of screen changes the density without changing the room.
  window.addEventListener('resize', fitPicture);

  // --- Full screen -------------------------------------------------------------------------------
  // The stage (status line and picture) takes the screen; keys, clicks and taps reach the
  // program as before. Esc leaves full screen and does not advance.

  function leaveFullscreen() {
    const result = (document.exitFullscreen || document.webkitExitFullscreen).call(document);
    if (result && result.catch) result.catch(function () {});
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
      }
      fitPicture();
    };
    document.addEventListener('fullscreenchange', fullscreenChanged);
    document.addEventListener('webkitfullscreenchange', fullscreenChanged);
  }

  // --- The presenter's view ----------------------------------------------------------------------
  // The program keeps it (keys i, b and ., w and ,: kit/src/keys.hpp) and tells the page, which
  // shows it in HTML and leaves the canvas as it is. In full screen, with i, the slide number and
  // caption stand in the margin below the picture, which makes room for them (the status line
  // above says as much outside full screen, and i shows nothing more there, though it is kept
  // for when full screen comes). A blank screen covers the picture (in full screen, the whole
  // screen) until the next key, click or tap, which only brings the slide back.

  function showMargin(slide) {
    marginSlide.textContent = slide + '/' + slides;
    marginCaption.textContent = captions[slide - 1] || '';
  }

  function showView(info, blank) {
    if (info) {
      stage.dataset.info = '';
    } else {
      delete stage.dataset.info;
    }
    stage.dataset.blank = blank;
    blankCover.hidden = blank === '';
  }

  // --- Input ---------------------------------------------------------------------------------------

  // Keys the page keeps for the browser: shortcuts with Ctrl, Alt or Cmd, Tab for moving between
  // links, Enter and Space on a link or button, Esc (which leaves full screen, and which the page
  // leaves to the browser otherwise too, rather than end the show as on the desktop: q does that),
  // and everything while no show runs. A key held down advances once, as on the desktop. Whatever
  // is stopped here never reaches the program's SDL, which listens on the document and would
  // otherwise swallow every key. The rest the program sorts itself, as on the desktop (a bare
  // Shift does nothing, Left goes back, q ends the show).
  //
  // F5 and Shift+F5, which a presenter's remote sends to start or resume a show, reload the page
  // in a window (the address holds the slide and the seed, so the show comes back where it
  // stood). In full screen a reload would throw the presenter out of it, which only a click on
  // Full screen brings back: there they do nothing while a show runs, as on the desktop (the
  // browser's own reload, Ctrl+R, still works).
  function filterKeys(event) {
    if (event.key === 'F5' && running() && fullscreenElement() !== null && !event.ctrlKey &&
        !event.altKey && !event.metaKey) {
      event.stopPropagation();
      event.preventDefault();
      return;
    }
    const forBrowser = !running() || event.ctrlKey || event.altKey || event.metaKey ||
                       event.key === 'Tab' || event.key === 'Escape' || event.key === 'F5' ||
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

  const advanceHint = 'Any key, a click or a tap: ';

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

  // What the page asks of a standing slide: the program takes it at its next look (see
  // kit/src/platform_web.cpp); one made while a slide is drawn is dropped there, as input is.
  function ask(request) {
    if (state !== 'showing') return;
    window.Module.figuresRequests.push(request);
  }
  previousButton.addEventListener('click', () => ask('back'));
  nextButton.addEventListener('click', () => ask('forward'));
  downloadButton.addEventListener('click', () => ask('download'));
  for (const button of [previousButton, nextButton, downloadButton]) {
    // A focused button would take the next Space or Enter for itself.
    button.addEventListener('click', () => button.blur());
  }

  // A PNG file handed to the browser as a download named fileName (explore's too): its bytes,
  // or a Blob.
  function savePng(file, fileName) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([file], { type: 'image/png' }));
    link.download = fileName;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60_000);
  }

  // The slide as a file, under the name the desktop's export would give it, with the program.
  // The program gives the file's head and its image data uncompressed, which the browser's own
  // deflate compresses (png.js).
  function save(head, scanlines) {
    const fileName = name + '-slide-' + String(shown).padStart(2, '0') + '.png';
    import('./png.js')
      .then((png) => png.finishPng(head, scanlines))
      .then((file) => savePng(file, fileName))
      .catch((error) => {
        note.textContent = 'The slide could not be saved: ' + error.message + '.';
        note.hidden = false;
      });
  }

  const startArguments = [];
  if (seed !== null) startArguments.push('--seed', seed);
  if (startSlide !== null) startArguments.push('--start', startSlide);

  window.Module = {
    canvas: canvas,
    arguments: startArguments,
    // The program's pixel memory is the picture; the canvas only shows it.
    screenIsReadOnly: true,
    figuresRequests: [],
    // The program's seed: the one given, or the one it chose (figure4's clock); null for a
    // program with fixed colours.
    onShowStarted: function (programName, count, chosenSeed, slideCaptions) {
      slides = count;
      captions = slideCaptions;
      if (chosenSeed !== null) {
        seed = String(chosenSeed);
        label = name + ' (seed ' + seed + ')';
        note.textContent = 'Seed ' + seed + ': this address gives the same colours again, ' +
                           'here or in "' + name + ' --seed ' + seed + '" on the desktop.';
        note.hidden = false;
      }
      const first = Number(startSlide) > 0 ? Number(startSlide) : 1;
      report('drawing', drawing(first <= count ? first : 1));
    },
    onSlide: function (slide) {
      shown = slide;
      showMargin(slide);
      keepAddress();
      const what = label + ': slide ' + slide + ' of ' + slides + ' – ' + captions[slide - 1] + '. ';
      report('showing', what + advanceHint + (slide < slides ? 'next slide' : 'end the show') +
                        (slide > 1 ? '; Left: back.' : '.'));
    },
    onDrawingNext: function (slide) {
      if (slide > 0) showMargin(slide);
      report('drawing', slide > 0 ? drawing(slide) : label + ': ending the show…');
    },
    onView: showView,
    onSave: save,
    onExit: function (code) {
      if (code === 0) {
        report('ended', 'The show has ended: ' + label + (shown === slides
          ? ' has shown all ' + slides + (slides === 1 ? ' slide.' : ' slides.')
          : ' was stopped at slide ' + shown + ' of ' + slides + '.'));
        again.querySelector('a').href = address(0);
        again.hidden = false;
      } else if (code === 2 && startArguments.length > 0) {
        // The seed and the slide are all the page passes on the command line.
        stopped(name + ' cannot start: ' + (firstError() || 'the address is refused') +
                '. It comes from the address (' + location.search.slice(1) + '): correct ' +
                'that, or leave it out.');
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
  // The page's head asked for the code already where it could.
  const early = (window.figuresEarly || {}).compiled;
  const compiled = (early || WebAssembly.compileStreaming(fetch(name + '.wasm')))
    .catch(() => fetch(name + '.wasm').then((response) => response.arrayBuffer())
      .then((bytes) => WebAssembly.compile(bytes)));
  const script = document.createElement('script');
  script.src = name + '.js';
  script.onerror = function () {
    stopped(name + ' is not part of this build: choose another program above.');
  };
  document.body.appendChild(script);
})();
