// The browser build against the desktop one: each program's page in headless Chromium, every
// slide read back from the canvas and compared pixel for pixel with what the desktop program
// exports; keys and a click on the picture advance the show until the page says it has ended.
//
// usage: node browser_test.mjs BIN_DIR WEB_DIR NODE_MODULES_DIR CHROMIUM
// Run through browser_test.sh, which skips (status 77) when something it needs is missing.
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { extname, join, resolve, sep } from 'node:path';
import { inflateSync } from 'node:zlib';

const [binDir, webDir, modulesDir, chromiumPath] = process.argv.slice(2);
if (!chromiumPath) {
  console.error('usage: node browser_test.mjs BIN_DIR WEB_DIR NODE_MODULES_DIR CHROMIUM');
  process.exit(2);
}
const { chromium } = createRequire(import.meta.url)(join(resolve(modulesDir), 'playwright-core'));

// Slide 1 of figure6 is drawn with a key, slide 4 with a click on the canvas; figure5's only
// slide is ended with a click. Every other advance is a key press.
const programs = [
  { name: 'figure6', clicks: new Set([3]) },
  { name: 'figure5', clicks: new Set([1]) },
];
const wholeTestMs = 110_000;
const stepMs = 30_000;

const work = mkdtempSync(join(tmpdir(), 'figures-browser-'));
let browser = null;
let server = null;

function cleanUp() {
  rmSync(work, { recursive: true, force: true });
}

// Whatever hangs, the test ends by itself well inside CTest's limit.
const watchdog = setTimeout(() => {
  console.log(`FAIL: the browser test took longer than ${wholeTestMs / 1000} s`);
  cleanUp();
  process.exit(1);
}, wholeTestMs);

class Failure extends Error {}
function check(condition, message) {
  if (!condition) throw new Failure(message);
}

// --- PNG files as the desktop program writes them: 8-bit indexed, RGB or RGBA, not interlaced --

function paeth(a, b, c) {
  const p = a + b - c;
  const pa = Math.abs(p - a);
  const pb = Math.abs(p - b);
  const pc = Math.abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Returns { width, height, rgb } with rgb three bytes a pixel, row after row.
function decodePng(file) {
  const bytes = readFileSync(file);
  const signature = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
  check(bytes.subarray(0, 8).equals(signature), `${file}: not a PNG file`);
  let header = null;
  let palette = null;
  const idat = [];
  for (let at = 8; at + 12 <= bytes.length;) {
    const length = bytes.readUInt32BE(at);
    const type = bytes.toString('latin1', at + 4, at + 8);
    const data = bytes.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      header = {
        width: data.readUInt32BE(0), height: data.readUInt32BE(4), depth: data[8],
        colourType: data[9], interlace: data[12],
      };
    } else if (type === 'PLTE') {
      palette = data;
    } else if (type === 'IDAT') {
      idat.push(data);
    } else if (type === 'IEND') {
      break;
    }
    at += 12 + length;
  }
  check(header !== null, `${file}: no IHDR chunk`);
  const { width, height, depth, colourType, interlace } = header;
  const channelsOf = { 2: 3, 3: 1, 6: 4 };
  check(depth === 8 && colourType in channelsOf && interlace === 0,
        `${file}: bit depth ${depth}, colour type ${colourType}, interlace ${interlace}; ` +
        'only 8-bit indexed, RGB or RGBA without interlacing is read here');
  check(colourType !== 3 || palette !== null, `${file}: an indexed image without a palette`);
  const channels = channelsOf[colourType];
  const stride = width * channels;
  const raw = inflateSync(Buffer.concat(idat));
  check(raw.length === height * (stride + 1),
        `${file}: ${raw.length} bytes of image data, expected ${height * (stride + 1)}`);
  const pixels = Buffer.alloc(height * stride);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    const out = y * stride;
    for (let i = 0; i < stride; ++i) {
      const left = i >= channels ? pixels[out + i - channels] : 0;
      const up = y > 0 ? pixels[out - stride + i] : 0;
      const upLeft = y > 0 && i >= channels ? pixels[out - stride + i - channels] : 0;
      let predicted;
      switch (filter) {
        case 0: predicted = 0; break;
        case 1: predicted = left; break;
        case 2: predicted = up; break;
        case 3: predicted = (left + up) >> 1; break;
        case 4: predicted = paeth(left, up, upLeft); break;
        default: throw new Failure(`${file}: unknown filter type ${filter} on row ${y}`);
      }
      pixels[out + i] = (line[i] + predicted) & 0xff;
    }
  }
  if (colourType === 2) return { width, height, rgb: pixels };
  const rgb = Buffer.alloc(width * height * 3);
  for (let p = 0; p < width * height; ++p) {
    if (colourType === 6) {
      pixels.copy(rgb, p * 3, p * 4, p * 4 + 3);
    } else {
      const entry = pixels[p];
      check(entry * 3 + 3 <= palette.length,
            `${file}: pixel ${p} uses entry ${entry} of a ${palette.length / 3}-colour palette`);
      palette.copy(rgb, p * 3, entry * 3, entry * 3 + 3);
    }
  }
  return { width, height, rgb };
}

// --- The desktop program's slides --------------------------------------------------------------

function exportSlides(name) {
  const dir = join(work, name);
  const run = spawnSync(join(binDir, name), ['--export', dir], { encoding: 'utf8', timeout: 60_000 });
  check(run.status === 0, `${name} --export exited with ${run.status ?? run.signal}: ${run.stderr}`);
  const files = readdirSync(dir).filter((f) => /^slide-\d\d\.png$/.test(f)).sort();
  check(files.length > 0, `${name} --export wrote no slides`);
  files.forEach((file, i) => {
    check(file === `slide-${String(i + 1).padStart(2, '0')}.png`, `${name}: unexpected ${file}`);
  });
  return files.map((file) => decodePng(join(dir, file)));
}

// --- A static server for the built page, on the loopback interface only ------------------------

const contentTypes = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8', '.wasm': 'application/wasm',
};

function serve(root) {
  const base = resolve(root);
  return new Promise((ready, fail) => {
    const httpServer = createServer((request, response) => {
      const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
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

// --- The page --------------------------------------------------------------------------------

async function status(page) {
  return page.$eval('#status', (element) => ({
    state: element.dataset.state, slide: element.dataset.slide, slides: element.dataset.slides,
    text: element.textContent,
  }));
}

async function waitForState(page, name, state, slide, what) {
  try {
    await page.waitForFunction(
      ([wantedState, wantedSlide]) => {
        const element = document.getElementById('status');
        return element.dataset.state === wantedState && element.dataset.slide === wantedSlide;
      },
      [state, String(slide)], { timeout: stepMs, polling: 20 });
  } catch {
    const now = await status(page);
    throw new Failure(`${name}: ${what}: no ${state} slide ${slide} within ${stepMs / 1000} s; ` +
                      `the page is ${now.state}, slide ${now.slide} of ${now.slides}: "${now.text}"`);
  }
}

// The canvas as the page shows it, RGBA. Alpha is left out of the comparison: the desktop slides
// are RGB and the browser's SDL makes every pixel opaque.
async function canvasPixels(page) {
  const { width, height, data } = await page.$eval('#screen', (canvas) => {
    const rgba = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let text = '';
    for (let i = 0; i < rgba.length; i += 0x8000) {
      text += String.fromCharCode.apply(null, rgba.subarray(i, i + 0x8000));
    }
    return { width: canvas.width, height: canvas.height, data: btoa(text) };
  });
  return { width, height, rgba: Buffer.from(data, 'base64') };
}

function compare(name, slide, expected, actual) {
  check(actual.width === expected.width && actual.height === expected.height,
        `${name} slide ${slide}: the canvas is ${actual.width}x${actual.height}, ` +
        `the export ${expected.width}x${expected.height}`);
  let differing = 0;
  let first = null;
  for (let p = 0; p < expected.width * expected.height; ++p) {
    const e = expected.rgb.subarray(p * 3, p * 3 + 3);
    const a = actual.rgba.subarray(p * 4, p * 4 + 3);
    if (e[0] !== a[0] || e[1] !== a[1] || e[2] !== a[2]) {
      if (first === null) first = { p, e: [...e], a: [...a] };
      ++differing;
    }
  }
  if (first !== null) {
    const x = first.p % expected.width;
    const y = Math.floor(first.p / expected.width);
    throw new Failure(`${name} slide ${slide}: ${differing} pixels differ; the first at ` +
                      `(${x}, ${y}): desktop rgb(${first.e}), browser rgb(${first.a})`);
  }
}

async function advance(page, name, slide, byClick) {
  if (byClick) {
    const box = await page.locator('#screen').boundingBox();
    await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2, { button: 'left' });
  } else {
    await page.keyboard.press('n');
  }
  console.log(`  ${name}: ${byClick ? 'clicked the canvas' : 'pressed a key'} on slide ${slide}`);
}

async function runShow(context, origin, program) {
  const { name, clicks } = program;
  const expected = exportSlides(name);
  const page = await context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console: ${message.text()}`);
  });
  try {
    await page.goto(`${origin}/index.html?program=${name}`);
    for (let slide = 1; slide <= expected.length; ++slide) {
      await waitForState(page, name, 'showing', slide,
                         slide === 1 ? 'after loading' : `after advancing from slide ${slide - 1}`);
      const now = await status(page);
      check(now.slides === String(expected.length),
            `${name}: the page counts ${now.slides} slides, the export wrote ${expected.length}`);
      compare(name, slide, expected[slide - 1], await canvasPixels(page));
      // Nothing moved on behind the picture while it was being read.
      const after = await status(page);
      check(after.state === 'showing' && after.slide === String(slide),
            `${name}: slide ${slide} changed by itself to ${after.state} slide ${after.slide}`);
      console.log(`  ${name}: slide ${slide} of ${expected.length} matches the desktop export`);
      await advance(page, name, slide, clicks.has(slide));
    }
    await waitForState(page, name, 'ended', expected.length, 'after the last slide');
    const end = await status(page);
    check(/the show has ended/i.test(end.text),
          `${name}: after the last slide the status says "${end.text}"`);
    check(await page.locator('#screen').isHidden(), `${name}: the canvas still shows after the end`);
    check(problems.length === 0, `${name}: ${problems.join('; ')}`);
    console.log(`PASS: ${name}: all ${expected.length} of its slides, then "${end.text}"`);
  } catch (error) {
    if (problems.length > 0) console.log(`  ${name}: the page said: ${problems.join('; ')}`);
    throw error;
  } finally {
    await page.close();
  }
}

let failed = false;
try {
  server = await serve(webDir);
  const origin = `http://127.0.0.1:${server.address().port}`;
  browser = await chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
  const context = await browser.newContext({ viewport: { width: 1024, height: 900 } });
  // The page needs nothing but its own server; anything else is refused rather than fetched.
  await context.route('**/*', (route) =>
    route.request().url().startsWith(origin + '/') ? route.continue() : route.abort());
  for (const program of programs) await runShow(context, origin, program);
} catch (error) {
  failed = true;
  console.log(error instanceof Failure ? `FAIL: ${error.message}` : `FAIL: ${error.stack}`);
} finally {
  clearTimeout(watchdog);
  if (browser) await browser.close().catch(() => {});
  if (server) server.close();
  cleanUp();
}
process.exit(failed ? 1 : 0);
