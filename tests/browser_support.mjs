// What the browser test and the timing of the page share: a static server for the built page,
// headless Chromium, and a log of what the page does.
import { readFileSync, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import { extname, join, resolve, sep } from 'node:path';

const contentTypes = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8', '.wasm': 'application/wasm',
};

// Serves the files under root on the loopback interface only, at a free port; nothing is cached.
// `pages` adds pages of the test's own, path to HTML text (a timing's one-line page).
export function serve(root, pages = {}) {
  const base = resolve(root);
  return new Promise((ready, fail) => {
    const httpServer = createServer((request, response) => {
      const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
      if (Object.hasOwn(pages, path)) {
        response.writeHead(200, { 'Content-Type': 'text/html', 'Cache-Control': 'no-store' })
          .end(pages[path]);
        return;
      }
      const file = resolve(base, '.' + (path.endsWith('/') ? path + 'index.html' : path));
      let body = null;
      if (file.startsWith(base + sep) && request.method === 'GET') {
        try {
          if (statSync(file).isFile()) body = readFileSync(file);
        } catch {
          body = null;
        }
      }
      if (body === null) {
        response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
        return;
      }
      response.writeHead(200, {
        'Content-Type': contentTypes[extname(file)] ?? 'application/octet-stream',
        'Cache-Control': 'no-store',
      }).end(body);
    });
    httpServer.once('error', fail);
    httpServer.listen(0, '127.0.0.1', () => ready(httpServer));
  });
}

// Headless Chromium through the playwright-core installed in modulesDir.
export function launchChromium(modulesDir, chromiumPath) {
  const { chromium } = createRequire(import.meta.url)(join(resolve(modulesDir), 'playwright-core'));
  return chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
}

// To be installed in every page before its own scripts (context.addInitScript): a log, in
// window.figuresTestLog, of each picture put on the canvas, of each frame the browser renders
// (with what the canvas and the status line hold then), and of each key, click and tap as it
// arrives; t is the time in ms since the page was asked for. A page that has been given a
// function figuresTestDrawing (page.exposeFunction) has it called, with the picture's box, in
// the first frame that shows "drawing".
export function recordPage() {
  const log = [];
  window.figuresTestLog = log;
  let puts = 0;
  let last = '';
  let toldDrawing = false;
  const statusNow = () => {
    const status = document.getElementById('status');
    return status ? { state: status.dataset.state, slide: Number(status.dataset.slide ?? 0) } : {};
  };
  const putImageData = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...args) {
    ++puts;
    log.push({ what: 'put', puts, t: performance.now() });
    return putImageData.apply(this, args);
  };
  // rAF callbacks run just before the browser renders a frame: the frame shows what they see.
  const frame = () => {
    const now = { what: 'frame', puts, ...statusNow() };
    if (now.state === 'drawing' && window.figuresTestDrawing && !toldDrawing) {
      toldDrawing = true;
      window.figuresTestDrawing(document.getElementById('screen').getBoundingClientRect().toJSON());
    }
    const key = JSON.stringify(now);
    if (key !== last) log.push({ ...now, t: performance.now() });
    last = key;
    requestAnimationFrame(frame);
  };
  requestAnimationFrame(frame);
  for (const type of ['keydown', 'mousedown', 'touchstart']) {
    window.addEventListener(type, () => log.push({ what: type, ...statusNow(), t: performance.now() }),
                            true);
  }
}
