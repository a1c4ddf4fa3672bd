// The browser build against the desktop one, in headless Chromium:
// - every slide of every program, read back from the page's canvas, is pixel for pixel what the
//   desktop program exports (some with a seed given in the address and on the command line);
// - keys, clicks and taps take turns advancing the shows; every flip is painted before the
//   next drawing starts, and the status line says what is being drawn, whatever the input was;
// - input given while a slide is being drawn does not advance past that slide;
// - figure1's first slide is on view, exactly, from the build's picture before its program runs;
// - after the last slide the picture stays, with the ended status and "show it again";
// - full screen enlarges the picture, and keys, clicks and taps still advance; Esc leaves it;
// - the page fits common laptop and phone screens without scrolling, the picture at a whole
//   number of screen pixels per picture pixel at densities 1, 2 and 3 (read back from
//   screenshots), and on phones every link and button is a target a finger can hit;
// - the landing page fits a laptop's screen, each program's picture is its last slide cropped to
//   what it draws, and the studio's is explore's own picture of a scene;
// - a bad seed in the address gets a message on the page;
// - the presenter's view, on figure6: in full screen i shows the slide number and caption below
//   the picture, b . w , blank the screen until the next key, F5 stays with the page; the
//   canvas is the export's slide throughout;
// - the presenter's controls, on figure6: Left, End and Home show exactly the exported slides,
//   bare modifiers do nothing, the address names the slide and the seed after each move, a
//   reload resumes there, Download saves the exported slide's pixels and text chunks in at most
//   half as many bytes again as the export's, q ends the
//   show keeping the picture; figure4 tells the page the seed its clock chose; figure5 ignores
//   a seed with a note.
//
// usage: node browser_test.mjs BIN_DIR WEB_DIR NODE_MODULES_DIR CHROMIUM PROGRAM...
// Run through browser_test.sh, which skips (status 77) when something it needs is missing.
import { spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';

import { launchChromium, recordPage, serve } from './browser_support.mjs';

const [binDir, webDir, modulesDir, chromiumPath, ...programNames] = process.argv.slice(2);
if (programNames.length === 0) {
  console.error('usage: node browser_test.mjs BIN_DIR WEB_DIR NODE_MODULES_DIR CHROMIUM PROGRAM...');
  process.exit(2);
}
const { PNG } = createRequire(import.meta.url)(join(resolve(modulesDir), 'pngjs'));

// Shows with a seed: in the address (?seed=N) and on the desktop (--seed N). figure4 draws new
// colours on every run without one; figure2's fixed palette changes with a seed.
const seeds = new Map([['figure4', '7'], ['figure2', '12345']]);
// The show in which keys, a click and a tap are given while its first slide is being drawn.
const busyShow = 'figure1';
// The show that runs in full screen from its first slide, until Esc on the one given here.
const fullscreenShow = { name: 'figure6', leaveOnSlide: 4 };
// How each slide is left, in turn.
const inputs = ['key', 'click', 'tap'];
// Screens the page has to fit without scrolling, with their density: screen pixels to the page's
// pixel. Phones have three, and touch.
const screens = [
  { width: 1280, height: 800, density: 1 }, { width: 1366, height: 768, density: 1 },
  { width: 1920, height: 1080, density: 1 }, { width: 1280, height: 800, density: 2 },
  { width: 390, height: 844, density: 3, phone: true },
  { width: 844, height: 390, density: 3, phone: true },
];
// The smallest target a finger hits reliably, in the page's pixels.
const fingerPixels = 44;
// A download may take this many times the bytes of the desktop's export of the same slide.
const downloadBytesPerExported = 1.5;
// The landing pictures keep at most this many pixels of background round what they show.
const cropMargin = 2;
const wholeTestMs = 330_000;
const stepMs = 30_000;

const work = mkdtempSync(join(tmpdir(), 'figures-browser-'));
let browser = null;
let server = null;

function cleanUp() {
  rmSync(work, { recursive: true, force: true });
}

// Whatever hangs, the test ends by itself inside CTest's limit.
const watchdog = setTimeout(() => {
  console.log(`FAIL: the browser test took longer than ${wholeTestMs / 1000} s`);
  cleanUp();
  process.exit(1);
}, wholeTestMs);

function plural(count, noun) {
  return `${count} ${noun}${count === 1 ? '' : 's'}`;
}

class Failure extends Error {}
function check(condition, message) {
  if (!condition) throw new Failure(message);
}

// --- The desktop program's slides --------------------------------------------------------------

function exportSlides(name, seed) {
  const dir = join(work, name);
  const args = ['--export', dir, ...(seed === undefined ? [] : ['--seed', seed])];
  const run = spawnSync(join(binDir, name), args, { encoding: 'utf8', timeout: 60_000 });
  check(run.status === 0,
        `${name} ${args.join(' ')} exited with ${run.status ?? run.signal}: ${run.stderr}`);
  const files = readdirSync(dir).filter((f) => /^slide-\d\d\.png$/.test(f)).sort();
  check(files.length > 0, `${name} --export wrote no slides`);
  files.forEach((file, i) => {
    check(file === `slide-${String(i + 1).padStart(2, '0')}.png`, `${name}: unexpected ${file}`);
  });
  return files.map((file) => PNG.sync.read(readFileSync(join(dir, file))));
}

// --- What the page does between our looks at it ------------------------------------------------

async function pageLog(page) {
  return page.evaluate(() => window.figuresTestLog);
}

// Every flip reached the screen before the next drawing started, and the status line said what
// was being drawn before each slide (and before the end), whatever ended the wait.
function checkPainting(name, log, slideCount) {
  const painted = new Set(log.filter((e) => e.what === 'frame').map((e) => e.puts));
  const puts = log.filter((e) => e.what === 'put');
  for (const put of puts) {
    check(painted.has(put.puts),
          `${name}: picture ${put.puts} put on the canvas was never painted: the next one came ` +
          'before the browser rendered a frame');
  }
  for (let slide = 0; slide <= slideCount; ++slide) {
    check(log.some((e) => e.what === 'frame' && e.state === 'drawing' && e.slide === slide),
          `${name}: no frame showed the status "drawing" after slide ${slide}`);
  }
  return puts.length;
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
        return element.dataset.state === wantedState &&
               (wantedSlide === null || element.dataset.slide === wantedSlide);
      },
      [state, slide === null ? null : String(slide)], { timeout: stepMs, polling: 20 });
  } catch {
    const now = await status(page);
    throw new Failure(`${name}: ${what}: no ${state} slide ${slide} within ${stepMs / 1000} s; ` +
                      `the page is ${now.state}, slide ${now.slide} of ${now.slides}: "${now.text}"`);
  }
}

// The canvas's own pixels, RGBA. Alpha is left out of the comparison: the desktop slides are RGB
// and the browser's SDL makes every pixel opaque.
async function canvasPixels(page) {
  const { width, height, data } = await page.$eval('#screen', (canvas) => {
    const rgba = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let text = '';
    for (let i = 0; i < rgba.length; i += 0x8000) {
      text += String.fromCharCode.apply(null, rgba.subarray(i, i + 0x8000));
    }
    return { width: canvas.width, height: canvas.height, data: btoa(text) };
  });
  return { width, height, data: Buffer.from(data, 'base64') };
}

function compare(name, slide, expected, actual) {
  check(actual.width === expected.width && actual.height === expected.height,
        `${name} slide ${slide}: the canvas is ${actual.width}x${actual.height}, ` +
        `the export ${expected.width}x${expected.height}`);
  let differing = 0;
  let first = null;
  for (let p = 0; p < expected.width * expected.height * 4; p += 4) {
    const e = expected.data.subarray(p, p + 3);
    const a = actual.data.subarray(p, p + 3);
    if (e[0] !== a[0] || e[1] !== a[1] || e[2] !== a[2]) {
      if (first === null) first = { p: p / 4, e: [...e], a: [...a] };
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

async function give(page, input) {
  const box = await page.locator('#screen').boundingBox();
  const x = box.x + box.width / 2;
  const y = box.y + box.height / 2;
  if (input === 'key') return page.keyboard.press('n');
  if (input === 'click') return page.mouse.click(x, y, { button: 'left' });
  return page.touchscreen.tap(x, y);
}

async function fullscreenElementId(page) {
  return page.evaluate(() => document.fullscreenElement && document.fullscreenElement.id);
}

async function pictureSize(page) {
  const box = await page.locator('#screen').boundingBox();
  return { width: box.width, height: box.height };
}

function watchProblems(page) {
  const problems = [];
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console: ${message.text()}`);
  });
  return problems;
}

async function enterFullscreen(page, name) {
  const before = await pictureSize(page);
  await page.getByRole('button', { name: 'Full screen' }).click();
  await page.waitForFunction(() => document.fullscreenElement !== null, null, { timeout: stepMs });
  check(await fullscreenElementId(page) === 'stage', `${name}: full screen shows something else`);
  try {
    await page.waitForFunction((width) => document.getElementById('screen').getBoundingClientRect().width > width,
                               before.width, { timeout: 5_000 });
  } catch {
    const after = await pictureSize(page);
    throw new Failure(`${name}: full screen left the picture at ${after.width}x${after.height}`);
  }
  const after = await pictureSize(page);
  check(after.height > before.height, `${name}: full screen made the picture ${after.width}x${after.height}`);
  console.log(`  ${name}: full screen, the picture at ${after.width}x${after.height}`);
}

// Esc leaves full screen and stays on the slide.
async function leaveFullscreen(page, name, slide) {
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => document.fullscreenElement === null, null, { timeout: stepMs });
  await page.waitForTimeout(100);
  const now = await status(page);
  check(now.state === 'showing' && now.slide === String(slide),
        `${name}: Esc in full screen moved the show to ${now.state} slide ${now.slide}`);
  console.log(`  ${name}: Esc left full screen on slide ${slide}`);
}

// Two keys and a click while the first slide is drawn: all arrive before it is on view, and
// none of them moves the show on from it. The page tells the test (figuresTestDrawing, see
// recordPage) in the first frame that shows "drawing", as the test cannot ask it anything while
// it draws; the inputs are then sent all at once, straight to the browser, which hands them to
// the page between two steps of the drawing. (Chromium holds a tap back until the next frame,
// after the slide is on view, where it rightly advances: taps are tried on every third slide.)
// The slide draws in a tenth of a second or less, so the page's processor is slowed twentyfold
// meanwhile: the inputs then arrive while it draws however busy the machine is.
async function giveWhileDrawing(page, name, load) {
  const drawing = new Promise((resolveDrawing) => page.exposeFunction('figuresTestDrawing', resolveDrawing));
  const session = await page.context().newCDPSession(page);
  await session.send('Emulation.setCPUThrottlingRate', { rate: 20 });
  const loading = load();
  const box = await drawing;
  const at = { x: box.x + box.width / 2, y: box.y + box.height / 2 };
  const keys = [{ key: 'n', code: 'KeyN', windowsVirtualKeyCode: 78 },
                { key: ' ', code: 'Space', windowsVirtualKeyCode: 32 }];
  const mouse = { ...at, button: 'left', clickCount: 1 };
  await Promise.all([
    ...keys.flatMap((key) => [session.send('Input.dispatchKeyEvent', { type: 'keyDown', ...key }),
                              session.send('Input.dispatchKeyEvent', { type: 'keyUp', ...key })]),
    session.send('Input.dispatchMouseEvent', { type: 'mousePressed', ...mouse }),
    session.send('Input.dispatchMouseEvent', { type: 'mouseReleased', ...mouse }),
  ]);
  await loading;
  await waitForState(page, name, 'showing', 1, 'after input while drawing');
  await session.send('Emulation.setCPUThrottlingRate', { rate: 1 });
  await session.detach();
  // The program looks for input every frame or so: whatever it had kept would have been used.
  await page.waitForTimeout(250);
  const arrived = (await pageLog(page)).filter((e) => e.what === 'keydown' || e.what === 'mousedown');
  check(arrived.length === 3, `${name}: ${arrived.length} of the 3 inputs arrived`);
  check(arrived.every((e) => e.state === 'drawing'),
        `${name}: the test was too slow: some input arrived after the first slide was shown ` +
        `(${JSON.stringify(arrived)})`);
  console.log(`  ${name}: ${arrived.length} inputs during the first slide's drawing left it standing`);
}

async function runShow(context, origin, name) {
  const seed = seeds.get(name);
  const expected = exportSlides(name, seed);
  const page = await context.newPage();
  const problems = watchProblems(page);
  const address = `${origin}/index.html?program=${name}${seed === undefined ? '' : '&seed=' + seed}`;
  const started = Date.now();
  let drawingMs = 0;
  try {
    const load = () => page.goto(address);
    if (name === busyShow) await giveWhileDrawing(page, name, load);
    else await load();
    const fullscreen = fullscreenShow.name === name;
    for (let slide = 1; slide <= expected.length; ++slide) {
      const asked = Date.now();
      await waitForState(page, name, 'showing', slide,
                         slide === 1 ? 'after loading' : `after advancing from slide ${slide - 1}`);
      drawingMs = Math.max(drawingMs, Date.now() - asked);
      const now = await status(page);
      check(now.slides === String(expected.length),
            `${name}: the page counts ${now.slides} slides, the export wrote ${expected.length}`);
      compare(name, slide, expected[slide - 1], await canvasPixels(page));
      // Nothing moved on behind the picture while it was being read.
      const after = await status(page);
      check(after.state === 'showing' && after.slide === String(slide),
            `${name}: slide ${slide} changed by itself to ${after.state} slide ${after.slide}`);
      if (fullscreen && slide === 1) await enterFullscreen(page, name);
      if (fullscreen && slide === fullscreenShow.leaveOnSlide) await leaveFullscreen(page, name, slide);
      const input = inputs[(slide - 1) % inputs.length];
      await give(page, input);
      console.log(`  ${name}: slide ${slide} of ${expected.length} matches the desktop export; ` +
                  `left with a ${input}`);
    }
    await waitForState(page, name, 'ended', expected.length, 'after the last slide');
    const end = await status(page);
    check(/the show has ended/i.test(end.text), `${name}: after the last slide the status says "${end.text}"`);
    check(await page.locator('#screen').isVisible(), `${name}: the picture is gone after the end`);
    compare(name, `${expected.length} (after the end)`, expected[expected.length - 1],
            await canvasPixels(page));
    const again = page.getByRole('link', { name: 'Show it again' });
    check(await again.isVisible(), `${name}: no "Show it again" after the end`);
    const fromStart = new URL(page.url());
    fromStart.searchParams.delete('slide');
    check(await again.evaluate((link) => link.href) === fromStart.href,
          `${name}: "Show it again" does not lead to the same show from its start`);
    const flips = checkPainting(name, await pageLog(page), expected.length);
    check(problems.length === 0, `${name}: ${problems.join('; ')}`);
    console.log(`PASS: ${name}: all ${plural(expected.length, 'slide')}, each of ${flips} flips painted, ` +
                `then "${end.text}" with the last picture (${(Date.now() - started) / 1000} s, ` +
                `longest wait for a slide ${drawingMs} ms)`);
  } catch (error) {
    if (problems.length > 0) console.log(`  ${name}: the page said: ${problems.join('; ')}`);
    throw error;
  } finally {
    await page.close();
  }
}

// The page's address as program, seed and slide ('' where absent).
function addressOf(page) {
  const query = new URL(page.url()).searchParams;
  return ['program', 'seed', 'slide'].map((key) => query.get(key) ?? '').join(' ');
}

async function standsOn(page, name, slide, expected, what) {
  await waitForState(page, name, 'showing', slide, what);
  compare(name, `${slide} (${what})`, expected[slide - 1], await canvasPixels(page));
  const address = addressOf(page);
  check(address === `${name} 1 ${slide}`, `${name}: ${what}: the address says "${address}"`);
}

// The chunks of a PNG file other than its image data, as "type:data" strings in order.
function chunksButData(bytes) {
  const chunks = [];
  for (let at = 8; at + 12 <= bytes.length;) {
    const length = bytes.readUInt32BE(at);
    const type = bytes.toString('latin1', at + 4, at + 8);
    if (type !== 'IDAT') chunks.push(type + ':' + bytes.toString('latin1', at + 8, at + 8 + length));
    at += 12 + length;
  }
  return chunks;
}

// Download saves the slide on view as the export's file has it: its name, its pixels, its
// chunks other than the image data, and not many more bytes.
async function checkDownload(page, name, slide, expected) {
  const file = `slide-${String(slide).padStart(2, '0')}.png`;
  const [download] = await Promise.all([page.waitForEvent('download', { timeout: stepMs }),
                                        page.getByRole('button', { name: 'Download' }).click()]);
  check(download.suggestedFilename() === `${name}-${file}`,
        `${name}: the download is called ${download.suggestedFilename()}`);
  const saved = readFileSync(await download.path());
  const exported = readFileSync(join(work, name, file));
  compare(name, `${slide} (downloaded)`, expected[slide - 1], PNG.sync.read(saved));
  const [savedChunks, exportedChunks] = [chunksButData(saved), chunksButData(exported)];
  check(JSON.stringify(savedChunks) === JSON.stringify(exportedChunks),
        `${name}: the download's chunks ${JSON.stringify(savedChunks)} are not the export's ` +
        JSON.stringify(exportedChunks));
  const ratio = saved.length / exported.length;
  check(ratio <= downloadBytesPerExported,
        `${name}: the download of slide ${slide} takes ${saved.length} bytes, ${ratio.toFixed(2)} ` +
        `times the export's ${exported.length}`);
  console.log(`  ${name}: Download saves the exported slide ${slide} with its ` +
              `${savedChunks.length} chunks in ${saved.length} bytes (${ratio.toFixed(2)} times the export's)`);
}

async function presenterControls(context, origin) {
  const name = 'figure6';
  const expected = exportSlides(name);
  const page = await context.newPage();
  const problems = watchProblems(page);
  try {
    await page.goto(`${origin}/index.html?program=${name}`);
    await standsOn(page, name, 1, expected, 'after loading');
    await page.keyboard.press('ArrowRight');
    await standsOn(page, name, 2, expected, 'after Right');
    await page.keyboard.press('ArrowRight');
    await standsOn(page, name, 3, expected, 'after Right');
    await page.keyboard.press('ArrowLeft');
    await standsOn(page, name, 2, expected, 'after Left');
    await page.keyboard.press('End');
    await standsOn(page, name, 6, expected, 'after End');
    await page.keyboard.press('Home');
    await standsOn(page, name, 1, expected, 'after Home');
    for (const key of ['Backspace', 'Shift', 'Control', 'Alt', 'CapsLock']) await page.keyboard.press(key);
    await page.waitForTimeout(300);
    await standsOn(page, name, 1, expected, 'after Backspace and bare modifiers on slide 1');
    console.log(`  ${name}: Right, Left, End and Home show the exported slides, modifiers nothing`);

    await checkDownload(page, name, 1, expected);
    await page.keyboard.press('End');
    await standsOn(page, name, 6, expected, 'after End');
    await checkDownload(page, name, 6, expected);
    await page.keyboard.press('Home');
    await standsOn(page, name, 1, expected, 'after Home');

    await page.getByRole('button', { name: 'Next' }).click();
    await standsOn(page, name, 2, expected, 'after the Next button');
    await page.getByRole('button', { name: 'Next' }).click();
    await standsOn(page, name, 3, expected, 'after the Next button');
    await page.getByRole('button', { name: 'Previous' }).click();
    await standsOn(page, name, 2, expected, 'after the Previous button');
    await page.reload();
    await standsOn(page, name, 2, expected, 'after a reload');
    await page.keyboard.press('q');
    await waitForState(page, name, 'ended', 2, 'after q');
    compare(name, '2 (after q)', expected[1], await canvasPixels(page));
    console.log(`  ${name}: the buttons move, a reload resumes on slide 2, q ends the show there`);

    // The clock's seed is in the address once chosen, and draws the same colours on the desktop.
    await page.goto(`${origin}/index.html?program=figure4`);
    await waitForState(page, 'figure4', 'showing', 1, 'without a seed');
    const seed = new URL(page.url()).searchParams.get('seed');
    check(/^\d+$/.test(seed ?? ''), `figure4: the address has no seed: ${page.url()}`);
    check((await page.locator('#note').textContent()).includes(seed), 'figure4: the seed is not shown');
    compare('figure4', `1 (seed ${seed} from the address)`, exportSlides('figure4', seed)[0],
            await canvasPixels(page));
    console.log(`  figure4: the clock's seed ${seed} is in the address and draws the desktop's colours`);

    await page.goto(`${origin}/index.html?program=figure5&seed=3`);
    await waitForState(page, 'figure5', 'showing', 1, 'with a seed it has no use for');
    check(addressOf(page) === 'figure5  1', `figure5: the address keeps "${addressOf(page)}"`);
    check(/seed=3/.test(await page.locator('#note').textContent()), 'figure5: no note on the seed');
    check(problems.length === 0, `${name}: ${problems.join('; ')}`);
    console.log('PASS: the presenter\'s controls');
  } finally {
    await page.close();
  }
}

// The box of the pixels unlike the background (white) in an RGBA picture: left, top, right and
// bottom (one past the last), or null when there are none.
function drawnBox({ width, height, data }) {
  let box = null;
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const p = 4 * (y * width + x);
      if (data[p] === 255 && data[p + 1] === 255 && data[p + 2] === 255) continue;
      if (box === null) box = { left: x, top: y, right: x + 1, bottom: y + 1 };
      box.left = Math.min(box.left, x);
      box.right = Math.max(box.right, x + 1);
      box.top = Math.min(box.top, y);
      box.bottom = Math.max(box.bottom, y + 1);
    }
  }
  return box;
}

function cropped({ width, data }, { left, top, right, bottom }) {
  const out = { width: right - left, height: bottom - top, data: Buffer.alloc(4 * (right - left) * (bottom - top)) };
  for (let y = top; y < bottom; ++y) {
    data.copy(out.data, 4 * (y - top) * out.width, 4 * (y * width + left), 4 * (y * width + right));
  }
  return out;
}

// The text chunks of a PNG file, keyword to text.
function textChunks(bytes) {
  const texts = {};
  for (const chunk of chunksButData(bytes)) {
    if (!chunk.startsWith('tEXt:')) continue;
    const [keyword, text] = chunk.slice(5).split('\0');
    texts[keyword] = text;
  }
  return texts;
}

// The desktop program's captions, from its --help ("   N  caption" lines).
function captionsOf(name) {
  const run = spawnSync(join(binDir, name), ['--help'], { encoding: 'utf8' });
  return [...run.stdout.matchAll(/^ +(\d+)  (.+)$/gm)].map((match) => match[2]);
}

async function box(page, selector) {
  return page.locator(selector).evaluate((element) => {
    const { left, top, right, bottom } = element.getBoundingClientRect();
    return { left, top, right, bottom, shown: getComputedStyle(element).display !== 'none',
             background: getComputedStyle(element).backgroundColor };
  });
}

// The presenter's view on figure6: i shows the slide number and caption in the margin below the
// picture in full screen only (HTML, the canvas untouched), kept as the show moves on; b . w ,
// blank the picture (in full screen the whole screen) until the next key, click or tap, which
// does not advance; F5 is kept from the browser in full screen only.
async function presenterView(context, origin) {
  const name = 'figure6';
  const expected = exportSlides(name);
  const captions = captionsOf(name);
  check(captions.length === expected.length, `${name} --help lists ${captions.length} captions`);
  const page = await context.newPage();
  const problems = watchProblems(page);
  // Whether the page kept the last F5 from the browser.
  await page.addInitScript(() => {
    window.addEventListener('keydown', (event) => {
      if (event.key === 'F5') window.figuresTestF5 = event;
    }, true);
  });
  const f5Kept = () => page.evaluate(() => window.figuresTestF5.defaultPrevented);
  const still = async (slide, what) => {
    await page.waitForTimeout(300);
    await standsOn(page, name, slide, expected, what);
  };
  const blankIs = async (colour, what) => {
    const cover = await box(page, '#blank');
    const colours = { black: 'rgb(0, 0, 0)', white: 'rgb(255, 255, 255)', '': null };
    check(colour === '' ? !cover.shown : cover.shown && cover.background === colours[colour],
          `${name}: ${what}: the blank cover is ${cover.shown ? cover.background : 'hidden'}, ` +
          `not ${colour || 'hidden'}`);
    return cover;
  };
  try {
    await page.goto(`${origin}/index.html?program=${name}`);
    await standsOn(page, name, 1, expected, 'after loading');
    // In a window the status line says it all: i shows nothing more there, but is kept.
    await page.keyboard.press('i');
    await still(1, 'after i in a window');
    check(!(await box(page, '#margin')).shown, `${name}: i shows a margin in a window`);

    await enterFullscreen(page, name);
    const margin = await box(page, '#margin');
    const picture = await box(page, '#screen');
    const text = await page.locator('#margin').textContent();
    check(margin.shown && text === `1/6 · ${captions[0]}`, `${name}: the margin says "${text}"`);
    check(margin.top >= picture.bottom - 0.5 && margin.bottom <= 800.5,
          `${name}: the margin (${margin.top}-${margin.bottom}) is not below the picture ` +
          `(${picture.top}-${picture.bottom}) on the screen`);
    await still(1, 'with the margin in full screen');

    for (const [key, colour, back] of [['b', 'black', ' '], ['.', 'black', 'b'], ['w', 'white', 'w'],
                                       [',', 'white', 'click'], ['b', 'black', 'ArrowRight']]) {
      await page.keyboard.press(key);
      await page.waitForTimeout(200);
      const cover = await blankIs(colour, `after ${key} in full screen`);
      check(cover.left <= 0 && cover.top <= 0 && cover.right >= 1280 && cover.bottom >= 800,
            `${name}: ${key} covers ${JSON.stringify(cover)}, not the screen`);
      await still(1, `under the ${colour} of ${key}`);
      if (back === 'click') await give(page, 'click');
      else await page.keyboard.press(back);
      await page.waitForTimeout(200);
      await blankIs('', `after ${key} and ${back}`);
      await still(1, `after ${key} and ${back}`);
    }
    for (const key of ['F5', 'Shift+F5']) {
      await page.keyboard.press(key);
      check(await f5Kept(), `${name}: ${key} in full screen went to the browser`);
    }
    await still(1, 'after F5 and Shift+F5 in full screen');
    check(await fullscreenElementId(page) === 'stage', `${name}: F5 left full screen`);
    console.log(`  ${name}: b . w , blank the screen until the next key, F5 does nothing, in full screen`);

    await page.keyboard.press('ArrowRight');
    await standsOn(page, name, 2, expected, 'after Right with the margin');
    const second = await page.locator('#margin').textContent();
    check(second === `2/6 · ${captions[1]}`, `${name}: on slide 2 the margin says "${second}"`);
    await page.keyboard.press('i');
    await page.waitForFunction((height) =>
      document.getElementById('screen').getBoundingClientRect().height > height, picture.bottom - picture.top);
    check(!(await box(page, '#margin')).shown, `${name}: a second i leaves the margin`);
    await leaveFullscreen(page, name, 2);

    // In a window the cover hides the picture's room only, and F5 reloads.
    await page.keyboard.press('w');
    await page.waitForTimeout(200);
    const cover = await blankIs('white', 'after w in a window');
    const room = await box(page, '#picture');
    check(Math.abs(cover.top - room.top) < 1 && Math.abs(cover.bottom - room.bottom) < 1,
          `${name}: in a window w covers ${JSON.stringify(cover)}, not the picture's room`);
    check(await page.locator('#status').isVisible(), `${name}: w hid the status line`);
    await page.keyboard.press('n');
    await page.waitForTimeout(200);
    await blankIs('', 'after w and n in a window');
    await still(2, 'after w and n in a window');
    await page.keyboard.press('F5');
    check(!(await f5Kept()), `${name}: F5 in a window was kept from the browser`);
    check(problems.length === 0, `${name}: ${problems.join('; ')}`);
    console.log(`PASS: the presenter's view: the margin in full screen with "${text}", the blank ` +
                'screens and F5');
  } finally {
    await page.close();
  }
}

// The landing page: on a laptop's screen without scrolling, every program with its sentence and
// its picture, a link to its page. A slide show's picture is its last slide as the desktop
// exports it, cropped to what it draws; the studio's is explore's own export of a scene, the
// one its Scene chunk names.
async function landingPage(context, origin) {
  const page = await context.newPage();
  try {
    await page.goto(`${origin}/index.html`);
    await page.waitForFunction(() => [...document.querySelectorAll('#landing img')]
      .every((img) => img.complete && img.naturalWidth > 0), null, { timeout: stepMs });
    for (const [width, height] of [[1280, 800], [1366, 768], [1920, 1080]]) {
      await page.setViewportSize({ width, height });
      const layout = await page.evaluate(() => ({
        scrollWidth: document.documentElement.scrollWidth,
        scrollHeight: document.documentElement.scrollHeight,
        cards: [...document.querySelectorAll('#landing .card')].map((card) => card.getBoundingClientRect().toJSON()),
      }));
      check(layout.scrollWidth <= width && layout.scrollHeight <= height,
            `the landing page at ${width}x${height} is ${layout.scrollWidth}x${layout.scrollHeight} and scrolls`);
      check(layout.cards.every((b) => b.left >= 0 && b.top >= 0 && b.right <= width && b.bottom <= height),
            `the landing page at ${width}x${height} cuts a card off`);
    }
    const cards = await page.$$eval('#landing .card', (links) => links.map((link) => ({
      href: link.href,
      name: link.querySelector('.card-name').textContent,
      summary: link.querySelector('.card-summary').textContent,
      picture: link.querySelector('img')?.src ?? null,
      shown: link.querySelector('img')?.getBoundingClientRect().height ?? 0,
      natural: link.querySelector('img')?.naturalHeight ?? 0,
    })));
    const names = [...programNames, 'explore'];
    check(JSON.stringify(cards.map((card) => card.name)) === JSON.stringify(names),
          `the landing page shows ${cards.map((card) => card.name)}, not ${names}`);
    for (const card of cards) {
      const { name } = card;
      check(new URL(card.href).search === `?program=${name}`, `${name}: its card leads to ${card.href}`);
      check(card.summary.length > 20 && card.picture !== null, `${name}: no sentence or picture on the landing page`);
      check(card.shown === card.natural,
            `${name}: its picture is shown ${card.shown} pixels high, not at its own ${card.natural}`);
      const bytes = await (await page.request.get(card.picture)).body();
      const shown = PNG.sync.read(bytes);
      if (name === 'explore') {
        const scene = textChunks(bytes).Scene;
        check(scene !== undefined, 'explore: the landing picture names no scene');
        if (!existsSync(join(binDir, 'explore'))) continue;
        const file = join(work, 'landing-explore.png');
        const run = spawnSync(join(binDir, 'explore'), ['--scene', scene, '--export', file],
                              { encoding: 'utf8', timeout: 60_000 });
        check(run.status === 0, `explore --scene "${scene}" --export failed: ${run.stderr}`);
        compare(name, 'landing picture', PNG.sync.read(readFileSync(file)), shown);
        continue;
      }
      const box = drawnBox(shown);
      check(box !== null && box.left <= cropMargin && box.top <= cropMargin &&
            shown.width - box.right <= cropMargin && shown.height - box.bottom <= cropMargin,
            `${name}: the landing picture (${shown.width}x${shown.height}) has a border of white ` +
            `round what it shows (${JSON.stringify(box)})`);
      // figure4's colours are new on every run.
      if (name === 'figure4') continue;
      const slides = exportSlides(name);
      const last = slides[slides.length - 1];
      compare(name, 'last, cropped (landing picture)', cropped(last, drawnBox(last)), shown);
    }
    console.log(`PASS: the landing page fits 1280x800, 1366x768 and 1920x1080 and shows ${cards.length} ` +
                'programs, each slide show with its last slide cropped, the studio with its own strip');
  } finally {
    await page.close();
  }
}

async function badSeed(context, origin) {
  const page = await context.newPage();
  // (figure5 has fixed colours: it ignores a seed, bad or not.)
  const name = programNames.find((program) => program !== 'figure5') ?? 'figure1';
  try {
    await page.goto(`${origin}/index.html?program=${name}&seed=12x`);
    await waitForState(page, name, 'failed', null, 'with seed 12x');
    const now = await status(page);
    check(/seed/.test(now.text) && now.text.includes('12x'),
          `${name}: a bad seed gets "${now.text}"`);
    check(await page.locator('#screen').isHidden(), `${name}: an empty picture under a bad seed`);
    console.log(`PASS: ${name}&seed=12x: "${now.text}"`);
  } finally {
    await page.close();
  }
}

// Every link and button the page shows (the studio's own section aside) is at least a finger's
// size.
async function checkTargets(page, what) {
  const small = await page.$$eval('a, button', (targets, least) => targets
    .filter((target) => !target.closest('#studio') && target.getClientRects().length > 0)
    .map((target) => ({ text: target.textContent.trim(), box: target.getBoundingClientRect() }))
    .filter(({ box }) => box.width < least || box.height < least)
    .map(({ text, box }) => `"${text}" ${box.width.toFixed(1)}x${box.height.toFixed(1)}`), fingerPixels);
  check(small.length === 0, `${what}: targets smaller than ${fingerPixels}x${fingerPixels}: ${small.join(', ')}`);
}

// The picture as the screen shows it, read back from a screenshot in the screen's own pixels: its
// box starts on a screen pixel's edge and each picture pixel is a square of a whole number of
// screen pixels, all of its colour (the canvas's, or the picture given). Returns that number.
async function checkSharp(page, what, density, expected = null) {
  const box = await page.locator('#screen').boundingBox();
  const picture = expected ?? await canvasPixels(page);
  const shot = PNG.sync.read(await page.screenshot({ scale: 'device' }));
  const scale = (box.width * density) / picture.width;
  const [left, top] = [box.x * density, box.y * density];
  // (Layout keeps sizes in 64ths of the page's pixel.)
  const near = (value) => Math.abs(value - Math.round(value)) < 0.1;
  check(near(scale) && Math.round(scale) >= 1 && near(left) && near(top),
        `${what}: the picture's box ${JSON.stringify(box)} is ${scale.toFixed(3)} screen pixels per ` +
        `picture pixel, from ${left.toFixed(2)},${top.toFixed(2)}`);
  const [k, x0, y0] = [Math.round(scale), Math.round(left), Math.round(top)];
  let differing = 0;
  let first = null;
  for (let y = 0; y < picture.height * k; ++y) {
    for (let x = 0; x < picture.width * k; ++x) {
      const s = 4 * ((y0 + y) * shot.width + x0 + x);
      const p = 4 * (Math.floor(y / k) * picture.width + Math.floor(x / k));
      if (shot.data[s] !== picture.data[p] || shot.data[s + 1] !== picture.data[p + 1] ||
          shot.data[s + 2] !== picture.data[p + 2]) {
        first ??= { x, y, screen: [...shot.data.subarray(s, s + 3)], picture: [...picture.data.subarray(p, p + 3)] };
        ++differing;
      }
    }
  }
  check(differing === 0, `${what}: ${differing} screen pixels are not their picture pixel's colour at ` +
                         `${k} screen pixels a picture pixel; the first ${JSON.stringify(first)}`);
  return k;
}

// figure1's first slide at first sight: while its program is held back, the page shows the
// build's picture of it over the canvas, on the screen the desktop's slide 1 pixel for pixel at
// densities 1 and 2; once let through, the program's own slide 1 stands and the picture is
// gone; likewise from the address the page then shows (the default seed and slide 1). With
// another seed in the address (other colours) there is no such picture.
async function firstSight(origin) {
  const [slide] = exportSlides('figure1');
  for (const [query, density] of [['', 1], ['', 2], ['&seed=1&slide=1', 1], ['&seed=5', 1]]) {
    const shown = !query.includes('seed=5');
    const what = `figure1${query} at first sight at density ${density}`;
    const context = await browser.newContext({ viewport: { width: 1280, height: 800 },
                                               deviceScaleFactor: density });
    let release = null;
    const held = new Promise((resolveHeld) => { release = resolveHeld; });
    try {
      const page = await context.newPage();
      await page.route('**/figure1.js', async (route) => {
        await held;
        await route.continue();
      });
      // The page's load waits for the program's script.
      await page.goto(`${origin}/index.html?program=figure1${query}`, { waitUntil: 'domcontentloaded' });
      await page.waitForFunction(() => !document.getElementById('picture').hidden);
      const cover = page.locator('#first-slide');
      if (shown) {
        // Painted: element timing tells when the picture's pixels reached the screen.
        const painted = await page.evaluate((ms) => new Promise((done) => {
          setTimeout(() => done(false), ms);
          new PerformanceObserver((list) => {
            if (list.getEntries().some((entry) => entry.identifier === 'first-slide')) done(true);
          }).observe({ type: 'element', buffered: true });
        }), stepMs / 3);
        check(painted, `${what}: the first slide's picture was not painted within ${stepMs / 3000} s`);
        const now = await status(page);
        check(now.state === 'loading', `${what}: the program ran before it was let through (${now.state})`);
        await checkSharp(page, what, density, slide);
      } else {
        check(!(await cover.isVisible()), `${what}: the default colours' first slide is on view`);
      }
      release();
      await waitForState(page, what, 'showing', 1, 'after its program was let through');
      check(!(await cover.isVisible()), `${what}: the picture still covers the program's slide 1`);
      if (shown) compare(what, 1, slide, await canvasPixels(page));
      console.log(`PASS: ${what}: ${shown ? "the desktop's slide 1 on view until the " +
                  "program's stood" : 'no first slide before the program draws'}`);
    } finally {
      release();
      await context.close();
    }
  }
}

// The whole page on one screen: no scrolling, the picture and the status line in view, the
// picture sharp (see checkSharp) and 4:3; on phones, targets for fingers, on a show and on the
// landing page.
async function checkScreen(origin, screen) {
  const { width, height, density, phone } = screen;
  const context = await browser.newContext({
    viewport: { width, height }, deviceScaleFactor: density,
    ...(phone ? { isMobile: true, hasTouch: true } : {}),
  });
  const what = `${width}x${height} at density ${density}${phone ? ' (phone)' : ''}`;
  const page = await context.newPage();
  try {
    // A slide with colour in every part of the picture.
    await page.goto(`${origin}/index.html?program=figure6&slide=6`);
    await waitForState(page, what, 'showing', 6, 'after loading');
    const layout = await page.evaluate(() => {
      const box = (id) => document.getElementById(id).getBoundingClientRect().toJSON();
      return {
        scrollWidth: document.documentElement.scrollWidth,
        scrollHeight: document.documentElement.scrollHeight,
        picture: box('screen'), status: box('status'),
        rendering: getComputedStyle(document.getElementById('screen')).imageRendering,
      };
    });
    const inView = (b) => b.left >= 0 && b.top >= 0 && b.right <= width && b.bottom <= height;
    check(layout.scrollWidth <= width && layout.scrollHeight <= height,
          `${what}: the page is ${layout.scrollWidth}x${layout.scrollHeight} and scrolls`);
    check(inView(layout.picture) && inView(layout.status),
          `${what}: the picture (${JSON.stringify(layout.picture)}) or the status line is cut off`);
    check(layout.rendering === 'pixelated', `${what}: the picture is drawn ${layout.rendering}`);
    check(Math.abs(layout.picture.height - layout.picture.width * 0.75) < 0.1,
          `${what}: the picture is ${layout.picture.width}x${layout.picture.height}, not 4:3`);
    const scale = await checkSharp(page, what, density);
    if (phone) {
      await checkTargets(page, `${what}, a show`);
      await page.keyboard.press('q');
      await waitForState(page, what, 'ended', 6, 'after q');
      await checkTargets(page, `${what}, a show ended`);
      await page.goto(`${origin}/index.html`);
      await checkTargets(page, `${what}, the landing page`);
    }
    console.log(`PASS: ${what}: the page fits, the picture ${layout.picture.width}x` +
                `${layout.picture.height} at ${layout.picture.left},${layout.picture.top}, ` +
                `${scale} screen pixels per pixel${phone ? '; every target fits a finger' : ''}`);
  } finally {
    await context.close();
  }
}

let failed = false;
try {
  server = await serve(webDir);
  const origin = `http://127.0.0.1:${server.address().port}`;
  browser = await launchChromium(modulesDir, chromiumPath);
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 }, hasTouch: true });
  await context.addInitScript(recordPage);
  // The page needs nothing but its own server; anything else is refused rather than fetched.
  await context.route('**/*', (route) =>
    route.request().url().startsWith(origin + '/') ? route.continue() : route.abort());
  for (const name of programNames) await runShow(context, origin, name);
  await badSeed(context, origin);
  if (programNames.includes('figure1')) await firstSight(origin);
  await landingPage(context, origin);
  await presenterControls(context, origin);
  await presenterView(context, origin);
  for (const screen of screens) await checkScreen(origin, screen);
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
