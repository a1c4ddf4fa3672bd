// Runs the program named in the address (?program=figureN) in the page's canvas and keeps the
// line above it up to date: which slide stands, how to go on, and when the show has ended.
//
// The status line carries the state for scripts too: data-state is idle, loading, drawing,
// showing, ended or failed; data-slide is the slide on the canvas (0 before the first) and
// data-slides the number of slides in the show.
(function () {
  'use strict';

  const status = document.getElementById('status');
  const canvas = document.getElementById('screen');
  const again = document.getElementById('again');
  const name = new URLSearchParams(location.search).get('program');
  let state = 'idle';
  let slides = 0;
  let shown = 0;
  let lastError = '';

  function report(newState, text) {
    state = newState;
    status.dataset.state = newState;
    status.dataset.slide = String(shown);
    status.dataset.slides = String(slides);
    status.textContent = text;
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

  const advanceHint = 'Press any key, or click or tap the picture, ';

  function drawingNext() {
    if (state !== 'showing') return;
    report('drawing', shown < slides ? name + ': drawing slide ' + (shown + 1) + ' of ' + slides + '…'
                                     : name + ': ending the show…');
  }

  // Keys the page keeps for the browser: shortcuts with Ctrl, Alt or Cmd, Tab for moving between
  // links, Enter and Space on a link, and everything once the show is over. A key held down
  // advances once, as on the desktop. Whatever is stopped here never reaches the program's SDL,
  // which listens on the document and would otherwise swallow every key.
  function filterKeys(event) {
    const running = state === 'showing' || state === 'drawing';
    const forBrowser = !running || event.ctrlKey || event.altKey || event.metaKey ||
                       event.key === 'Tab' ||
                       ((event.key === 'Enter' || event.key === ' ') &&
                        event.target instanceof Element && event.target.closest('a, button'));
    if (forBrowser) {
      event.stopPropagation();
      return;
    }
    if (event.repeat) {
      event.stopPropagation();
      event.preventDefault();
      return;
    }
    if (event.type === 'keydown') drawingNext();
  }
  for (const type of ['keydown', 'keypress', 'keyup']) window.addEventListener(type, filterKeys, true);
  canvas.addEventListener('mousedown', function (event) {
    if (event.button === 0) drawingNext();
  });

  window.Module = {
    canvas: canvas,
    // The program's pixel memory is the picture; the canvas only shows it.
    screenIsReadOnly: true,
    onShowStarted: function (programName, count) {
      slides = count;
      report('drawing', name + ': drawing slide 1 of ' + slides + '…');
    },
    onSlide: function (slide) {
      shown = slide;
      canvas.hidden = false;
      if (slide < slides) {
        report('showing', name + ': slide ' + slide + ' of ' + slides + '. ' + advanceHint +
                          'for the next slide.');
      } else {
        report('showing', name + ': slide ' + slide + ' of ' + slides + ', the last. ' +
                          advanceHint + 'to end the show.');
      }
    },
    onExit: function (code) {
      if (code === 0) {
        canvas.hidden = true;
        report('ended', 'The show has ended: ' + name + ' has shown all ' + slides +
                        (slides === 1 ? ' slide.' : ' slides.'));
      } else {
        report('failed', name + ' stopped with status ' + code +
                         (lastError ? ': ' + lastError : '.'));
      }
      again.hidden = false;
    },
    onAbort: function (what) {
      report('failed', name + ' broke down: ' + (lastError || what));
      again.hidden = false;
    },
    print: function (text) { console.log(text); },
    printErr: function (text) {
      console.error(text);
      lastError = text;
    },
  };

  report('loading', 'Loading ' + name + '…');
  const script = document.createElement('script');
  script.src = name + '.js';
  script.onerror = function () {
    report('failed', name + ' is not part of this build: choose another program above.');
  };
  document.body.appendChild(script);
})();
