// explore on the page against the desktop explore, in headless Chromium:
// - scenes of all seven groups, with orbits started by clicks and taps on the portrait and the
//   window zoomed and panned, show on the page's strip exactly what explore --export writes for
//   the line the page shows;
// - the address holds that line: reopening it gives the same scene, a line the desktop printed
//   opens as the same pixels, slider steps replace the history entry instead of adding ones, and a
//   bad scene gets explore's own refusal and the default scene;
// - the downloaded PNG carries the scene line in its text chunk and is the desktop's export of it,
//   at the shown size and at a larger one, named after the group and the kick;
// - a pinch zooms the window by the fingers' spread;
// - pictures split between the two drawing workers are as exact as one worker's;
// - a slow drawing overtaken by a change is abandoned and never shown; "Drawing…" is said only
//   of a picture that takes longer than a tenth of a second; a slow scene in the address does not
//   hold the controls;
// - undo and redo take back and redo every change, a reset too;
// - the kick played over a range, paused and recorded (explore_player_checks.mjs);
// - on a phone the pictures come first and nothing scrolls sideways.
//
// usage: node explore_browser_test.mjs BIN_DIR WEB_DIR NODE_MODULES_DIR CHROMIUM
// Run through browser_test.sh, which skips (status 77) when something it needs is missing.
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';

import { launchChromium, serve } from './browser_support.mjs';
import { checkPlayer } from './explore_player_checks.mjs';

const [binDir, webDir, modulesDir, chromiumPath] = process.argv.slice(2);
const { PNG } = createRequire(import.meta.url)(join(resolve(modulesDir), 'pngjs'));
const work = mkdtempSync(join(tmpdir(), 'figures-explore-browser-'));
const failures = [];
let browser = null;
let server = null;

const watchdog = setTimeout(() => {
  console.log('FAIL: the explore browser test took longer than 240 s');
  rmSync(work, { recursive: true, force: true });
  process.exit(1);
}, 240_000);

function check(condition, what) {
  if (!condition) failures.push(what);
  console.log((condition ? 'ok   ' : 'FAIL ') + what);
}

// The desktop's export of a scene line, decoded; or its one-line refusal.
let exports = 0;
function desktop(line) {
  const file = join(work, `export-${++exports}.png`);
  const run = spawnSync(join(binDir, 'explore'), ['--scene', line, '--export', file],
                        { encoding: 'utf8' });
  if (run.status !== 0) return { refusal: run.stderr.trim() };
  const bytes = readFileSync(file);
  return Object.assign(PNG.sync.read(bytes), { fileSize: bytes.length });
}

function samePixels(a, b) {
  return a.width === b.width && a.height === b.height && Buffer.compare(a.data, b.data) === 0;
}

// A PNG's tEXt chunks, keyword to text.
function pngTexts(bytes) {
  const texts = {};
  for (let at = 8; at + 8 <= bytes.length;) {
    const length = bytes.readUInt32BE(at);
    const type = bytes.toString('latin1', at + 4, at + 8);
    if (type === 'tEXt') {
      const data = bytes.subarray(at + 8, at + 8 + length);
      const zero = data.indexOf(0);
      texts[data.toString('latin1', 0, zero)] = data.toString('latin1', zero + 1);
    }
    at += 12 + length;
  }
  return texts;
}

async function settled(page) {
  await page.waitForFunction(() => {
    const status = document.getElementById('explore-status');
    return status.dataset.state === 'failed' ||
           (status.dataset.state === 'shown' && status.dataset.line === status.dataset.scene &&
            status.dataset.line === document.getElementById('scene-line').textContent);
  }, null, { timeout: 30_000 });
  return page.evaluate(() => {
    // The strip's pixels (its canvas shows image bitmaps: read through a 2D canvas) as base64,
    // far quicker to hand over than an array of numbers.
    const strip = document.getElementById('strip');
    const copy = document.createElement('canvas');
    copy.width = strip.width;
    copy.height = strip.height;
    const context = copy.getContext('2d');
    context.drawImage(strip, 0, 0);
    const bytes = context.getImageData(0, 0, strip.width, strip.height).data;
    let binary = '';
    for (let at = 0; at < bytes.length; at += 0x8000) {
      binary += String.fromCharCode.apply(null, bytes.subarray(at, at + 0x8000));
    }
    return {
      workers: document.getElementById('explore-status').dataset.workers,
      state: document.getElementById('explore-status').dataset.state,
      line: document.getElementById('explore-status').dataset.line,
      message: document.getElementById('explore-message').textContent,
      search: location.search,
      width: strip.width, height: strip.height, data: btoa(binary),
    };
  });
}

function asPicture(shown) {
  return { width: shown.width, height: shown.height, data: Buffer.from(shown.data, 'base64') };
}

async function open(page, origin, line) {
  const query = line === undefined ? '' : '&scene=' + encodeURIComponent(line);
  await page.goto(origin + '/?program=explore' + query);
  return settled(page);
}

// A click (or with touch, a tap) at fractions of the portrait.
async function pointAt(page, fx, fy, touch) {
  const box = await page.locator('#portrait').boundingBox();
  const x = box.x + fx * box.width, y = box.y + fy * box.height;
  if (touch) await page.touchscreen.tap(x, y);
  else await page.mouse.click(x, y);
}

try {
  server = await serve(webDir);
  const origin = `http://127.0.0.1:${server.address().port}`;
  browser = await launchChromium(modulesDir, chromiumPath);
  const context = await browser.newContext({ viewport: { width: 1280, height: 900 }, hasTouch: true,
                                             acceptDownloads: true });
  // Pictures split between the two workers where both are idle, as the page can draw them.
  await context.addInitScript(() => { window.exploreSplit = true; });
  const page = await context.newPage();
  page.on('pageerror', (error) => failures.push('page error: ' + error.message));

  // Each group: chosen in the list, two orbits tapped or clicked, zoomed in by the wheel and
  // panned by a drag in one of them.
  const groups = ['p1', 'p11g', 'p1m1', 'p2', 'p2mg', 'p11m', 'p2mm'];
  const workers = [];
  for (const [index, group] of groups.entries()) {
    const opened = await open(page, origin,
                              `kick=${(0.6 + 0.17 * index).toFixed(2)} size=700x120 palette=${index}`);
    check(opened.workers === '1' && samePixels(asPicture(opened), desktop(opened.line)),
          `${group}: the first picture, the first worker's alone, is explore --export's`);
    await page.selectOption('#group', group);
    await settled(page);
    await pointAt(page, 0.3, 0.4, index % 2 === 0);
    await settled(page);
    await pointAt(page, 0.7, 0.8, index % 2 === 1);
    if (index === 3) {
      const box = await page.locator('#portrait').boundingBox();
      await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
      await page.mouse.wheel(0, -300);
      await settled(page);
      await page.mouse.down();
      await page.mouse.move(box.x + box.width / 2 - 40, box.y + box.height / 2 + 20, { steps: 4 });
      await page.mouse.up();
    }
    const shown = await settled(page);
    const orbits = shown.line.split(' ').filter((pair) => pair.startsWith('orbit=')).length;
    check(shown.line.includes(' group=' + group + ' ') && orbits === 2,
          `${group}: the group chosen and two orbits started on the portrait (${shown.line})`);
    if (index === 3) {
      check(!shown.line.includes('theta=0:6.283185307179586'), `${group}: the window zoomed and panned`);
    }
    check(samePixels(asPicture(shown), desktop(shown.line)),
          `${group}: the strip is explore --export's, pixel for pixel`);
    workers.push(shown.workers);
  }
  // A change that finds both workers idle is split between them.
  check(workers.filter((count) => count === '2').length >= 3,
        `most strips compared were drawn by both workers together (${workers.join(' ')})`);

  // The address round trip: the line shown is in the address, and opening it again gives it.
  const before = await settled(page);
  // The address follows a moment later (a few times a second at most).
  await page.waitForFunction((line) => new URLSearchParams(location.search).get('scene') === line,
                             before.line, { timeout: 5000 }).catch(() => {});
  check(new URLSearchParams(await page.evaluate(() => location.search)).get('scene') === before.line,
        'the address holds the scene line shown');
  const reopened = await open(page, origin, before.line);
  check(reopened.line === before.line && samePixels(asPicture(reopened), asPicture(before)),
        'reopening the address gives the same scene and pixels');
  // A line as the desktop prints it (its --export names it), pasted into the address.
  const printed = spawnSync(join(binDir, 'explore'),
                            ['--scene', 'kick=1.1 group=step orbit=2,3 theta=1:4',
                             '--export', join(work, 'printed.png')], { encoding: 'utf8' });
  const printedLine = printed.stdout.slice(printed.stdout.indexOf('): ') + 3).trim();
  const pasted = await open(page, origin, printedLine);
  check(pasted.line === printedLine &&
        samePixels(asPicture(pasted), PNG.sync.read(readFileSync(join(work, 'printed.png')))),
        'a line the desktop printed opens as the same line and pixels');

  // The kick slider by keyboard: each step redraws and replaces the history entry.
  const historyLength = await page.evaluate(() => history.length);
  await page.focus('#kick');
  for (let i = 0; i < 5; ++i) await page.keyboard.press('ArrowRight');
  const stepped = await settled(page);
  check(stepped.line.includes(' kick=1.15 ') &&
        await page.evaluate(() => history.length) === historyLength,
        'five slider steps by keyboard give kick 1.15 without adding history entries (' +
        stepped.line + ')');
  check(samePixels(asPicture(stepped), desktop(stepped.line)),
        'the stepped kick is explore --export\'s, pixel for pixel');

  // Undo and redo of every change, the engine's history: two changes and a reset undone one by
  // one bring each scene back, and redo goes forward again.
  const first = await open(page, origin, 'kick=0.6 size=600x100 length=200');
  await page.fill('#kick-number', '0.65');
  const second = await settled(page);
  await page.selectOption('#group', 'p11g');
  const third = await settled(page);
  await page.click('#reset');
  const reset = await settled(page);
  const lines = [];
  for (const button of ['#undo', '#undo', '#undo', '#redo']) {
    await page.click(button);
    lines.push((await settled(page)).line);
  }
  check(reset.line === first.line &&
        JSON.stringify(lines) === JSON.stringify([third.line, second.line, first.line, second.line]) &&
        await page.isDisabled('#undo') === false && await page.isDisabled('#redo') === false,
        'undo takes back a reset and each change before it, redo goes forward again');
  const redone = await settled(page);
  check(samePixels(asPicture(redone), desktop(redone.line)),
        'the scene redone is explore --export\'s, pixel for pixel');

  // A strip wider than four tiles is shown as its first four (the rest repeats them).
  const wide = await open(page, origin, 'kick=0.8 size=3000x100 group=p2');
  const wideExport = desktop(wide.line);
  const firstColumns = { width: 1200, height: 100, data: Buffer.alloc(1200 * 100 * 4) };
  for (let y = 0; y < 100; ++y) {
    wideExport.data.copy(firstColumns.data, y * 1200 * 4, y * 3000 * 4, y * 3000 * 4 + 1200 * 4);
  }
  check(samePixels(asPicture(wide), firstColumns),
        'a 3000x100 strip shows its first four tiles, those of explore --export');

  // A bad scene: explore's own refusal, and the default scene.
  const bad = await open(page, origin, 'kick=12 group=p2');
  const refusal = desktop('kick=12 group=p2').refusal;
  const reason = refusal.slice(refusal.indexOf('bad scene: ') + 'bad scene: '.length);
  check(bad.state === 'shown' && bad.message.endsWith(reason) && bad.line === desktop_default(),
        'a bad scene in the address: explore\'s refusal and the default scene');

  // Downloads: the shown size, and four times it, wider than the strip on view can be.
  await open(page, origin, 'kick=0.93 group=p2mg size=4100x100 orbit=1,1');
  for (const size of ['4100x100', '16400x400']) {
    await page.selectOption('#download-size', size);
    const [download] = await Promise.all([page.waitForEvent('download'),
                                          page.click('#download-strip')]);
    const file = join(work, 'download.png');
    await download.saveAs(file);
    const bytes = readFileSync(file);
    const line = pngTexts(bytes).Scene ?? '';
    check(download.suggestedFilename() === 'explore-p2mg-kick-0.93.png' &&
          line.includes(' size=' + size + ' ') && line.includes(' orbit=1,1'),
          `the ${size} download is named after group and kick and carries its scene (${line})`);
    const exported = desktop(line);
    check(samePixels(PNG.sync.read(bytes), exported) && bytes.length <= 1.5 * exported.fileSize,
          `the ${size} download is explore --export's of its scene, pixel for pixel, in at most ` +
          `1.5 times its bytes (${(bytes.length / exported.fileSize).toFixed(2)})`);
  }

  // A pinch: two fingers spread from 40 to 80 px apart about the portrait's centre halve the
  // window's width and height about it.
  await open(page, origin, 'kick=0.7 size=600x120 length=100');
  const touch = await context.newCDPSession(page);
  const box = await page.locator('#portrait').boundingBox();
  const fingers = (half) => [{ x: box.x + box.width / 2 - half, y: box.y + box.height / 2, id: 0 },
                             { x: box.x + box.width / 2 + half, y: box.y + box.height / 2, id: 1 }];
  await touch.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: fingers(20) });
  for (const half of [25, 30, 35, 40]) {
    await touch.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: fingers(half) });
  }
  await touch.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  const pinched = await settled(page);
  // Each window halved, about the centre (the fingers land on whole pixels: within a pixel of it).
  const halved = (key) => {
    const [from, to] = pinched.line.match(new RegExp(' ' + key + '=([^: ]+):([^ ]+)')).slice(1)
      .map(Number);
    return Math.abs(to - from - Math.PI) < 1e-9 && Math.abs(from + to - 2 * Math.PI) < 0.02;
  };
  check(halved('theta') && halved('p') && !pinched.line.includes('orbit='),
        `a pinch halves the window about its centre and starts no orbit (${pinched.line})`);
  check(samePixels(asPicture(pinched), desktop(pinched.line)),
        'the pinched window is explore --export\'s, pixel for pixel');

  // Drawings overtaken: from a quick scene (600 thousand steps), long orbits (60 million steps,
  // some seconds) and a new kick leave each worker on a slow scene; a change back to short orbits
  // overtakes both. The slow drawings are abandoned, so neither is ever shown, and the quick
  // picture is. "Drawing…" is said only a tenth of a second after a change, and never of a
  // picture on view within that time.
  await open(page, origin, 'kick=0.7 size=600x120 length=100');
  await page.evaluate(() => {
    const status = document.getElementById('explore-status');
    window.exploreStates = [];
    new MutationObserver(() => window.exploreStates.push({
      t: performance.now(), state: status.dataset.state, line: status.dataset.line,
    })).observe(status, { attributes: true });
  });
  const now = () => page.evaluate(() => performance.now());
  const sceneNow = () => page.evaluate(() => document.getElementById('explore-status').dataset.scene);
  const quickAt = await now();
  await page.fill('#kick-number', '0.71');
  await settled(page);
  const slowAt = await now();
  await page.fill('#length', '10000');
  const staleOnFirst = await sceneNow();
  await page.fill('#kick-number', '0.72');
  const staleOnSecond = await sceneNow();
  await page.fill('#length', '100');
  const overtaking = await settled(page);
  const states = await page.evaluate(() => window.exploreStates);
  const drawingSaid = (from, to) => states.filter((entry) => entry.state === 'drawing' &&
                                                             entry.t >= from && entry.t < to);
  const saidSlow = drawingSaid(slowAt, Infinity);
  check(drawingSaid(quickAt, slowAt).length === 0 && saidSlow.length > 0 &&
        saidSlow[0].t - slowAt >= 95,
        '"Drawing…" is said a tenth of a second after a slow change, never of a quick one (' +
        (saidSlow.length > 0 ? (saidSlow[0].t - slowAt).toFixed(0) + ' ms' : 'never') + ')');
  check(overtaking.line.includes(' kick=0.72 ') && overtaking.line.includes(' length=100 ') &&
        !states.some((entry) => entry.line === staleOnFirst || entry.line === staleOnSecond),
        'slow drawings overtaken by a change are abandoned, never shown');

  // A slow scene in the address (six hundred million steps) does not hold the controls: they take
  // changes before its picture is drawn, and a change overtakes it.
  await page.goto(origin + '/?program=explore&scene=' +
                  encodeURIComponent('kick=0.8 size=600x120 length=10000 step=0.0001'));
  await page.waitForFunction(() => document.getElementById('kick')?.disabled === false, null,
                             { timeout: 10_000 });
  const nothingYet = await page.evaluate(
    () => document.getElementById('explore-status').dataset.line === undefined);
  await page.fill('#length', '100');
  const afterSlow = await settled(page);
  check(nothingYet && afterSlow.line.includes(' length=100 '),
        'a slow scene in the address leaves the controls usable before its picture, and a ' +
        'change overtakes it');

  await checkPlayer({
    context, page, origin, check, desktop, open, settled, asPicture, samePixels,
    async saveDownload(download) {
      const file = join(work, 'download.webm');
      await download.saveAs(file);
      return readFileSync(file);
    },
  });

  // A phone: the pictures above the controls, nothing wider than the screen.
  const phone = await browser.newContext({ viewport: { width: 390, height: 844 },
                                           deviceScaleFactor: 3, hasTouch: true, isMobile: true });
  const phonePage = await phone.newPage();
  await open(phonePage, origin);
  const layout = await phonePage.evaluate(() => ({
    wide: document.documentElement.scrollWidth,
    strip: document.getElementById('strip').getBoundingClientRect().bottom,
    controls: document.getElementById('explore-controls').getBoundingClientRect().top,
  }));
  check(layout.wide <= 390 && layout.strip <= layout.controls,
        `on a phone the pictures come first and nothing scrolls sideways (${JSON.stringify(layout)})`);
} catch (error) {
  failures.push('the test broke: ' + error.message);
  console.log(error);
} finally {
  clearTimeout(watchdog);
  if (browser) await browser.close();
  if (server) server.close();
  rmSync(work, { recursive: true, force: true });
}

function desktop_default() {
  const run = spawnSync(join(binDir, 'explore'), ['--export', join(work, 'default.png')],
                        { encoding: 'utf8' });
  return run.stdout.slice(run.stdout.indexOf('): ') + 3).trim();
}

console.log(failures.length === 0 ? 'PASS' : `FAIL: ${failures.length} check(s)`);
process.exit(failures.length === 0 ? 0 : 1);
