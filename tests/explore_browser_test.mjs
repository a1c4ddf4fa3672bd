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
// - the axes and readouts stand in the portrait's margins, the pointer's theta and p follow it;
// - Help lists every key and gesture, ? and Esc take it away and leave the scene as it was;
// - a one-pixel drag of the kick slider moves K by at most 0.01 where |K| <= 2, at 1280x900 and
//   on a phone, and the slider reaches both limits;
// - saving and copying say so beside the pictures; a NUL in the address is refused, said so;
// - the largest scene's pictures never hold the page's thread for more than 100 ms;
// - the kick played over a range, paused and recorded (explore_player_checks.mjs);
// - on a phone the pictures come first, nothing scrolls sideways, every control is 44 CSS
//   pixels tall or more; the portrait is drawn at a whole number of screen pixels per pixel
//   where that fits.
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

// Opened, also for the touches and clicks that follow: the controls and gestures take changes
// once the page's engine and workers run, which may be after the first picture, and touches sent
// straight to the screen wait for nothing.
async function open(page, origin, line) {
  const query = line === undefined ? '' : '&scene=' + encodeURIComponent(line);
  await page.goto(origin + '/?program=explore' + query);
  await page.waitForFunction(() => document.getElementById('explore-status').dataset.state ===
                                   'failed' || document.getElementById('kick')?.disabled === false,
                             null, { timeout: 30_000 });
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

  // Coloured by chaos and by density, chosen in the list (split between the workers where both
  // are idle): explore --export's pixels; the legend shown, the planted orbit's facts beside the
  // portrait, and the table of orbits downloaded is explore --orbits' byte for byte.
  for (const colour of ['chaos', 'density']) {
    await open(page, origin, 'kick=1.3 size=600x90 group=p2mg orbit=3.1415927,0.3');
    await page.selectOption('#colour', colour);
    const coloured = await settled(page);
    check(coloured.line.includes(' colour=' + colour) &&
          samePixels(asPicture(coloured), desktop(coloured.line)),
          `colour=${colour}: the strip is explore --export's, pixel for pixel (${coloured.workers} workers)`);
    const words = await page.evaluate(() => [document.getElementById('orbit-facts').textContent,
      document.getElementById('colour-legend').hidden,
      document.querySelectorAll('#colour-legend .legend-mark').length]);
    check(words[0].startsWith('Last orbit: orbit at theta 3.1415927, p 0.3: exponent ') &&
          words[0].endsWith(', regular.') && !words[1] && words[2] >= 4,
          `colour=${colour}: the legend and the last orbit's facts are shown (${words[0]})`);
    const [download] = await Promise.all([page.waitForEvent('download'),
      page.click('#download-orbits')]);
    const saved = join(work, `orbits-${colour}.csv`);
    await download.saveAs(saved);
    const tableFile = join(work, `desktop-${colour}.csv`);
    const run = spawnSync(join(binDir, 'explore'), ['--scene', coloured.line, '--orbits', tableFile],
                          { encoding: 'utf8' });
    check(run.status === 0 && Buffer.compare(readFileSync(saved), readFileSync(tableFile)) === 0 &&
          download.suggestedFilename().endsWith('-orbits.csv'),
          `colour=${colour}: the downloaded table of orbits is explore --orbits', byte for byte`);
  }
  await page.selectOption('#colour', 'start');
  const plain = await settled(page);
  check(await page.evaluate(() => document.getElementById('colour-legend').hidden) &&
        plain.line.includes(' colour=start'), 'colour=start: no legend');

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
    const said = await page.locator('#feedback').textContent();
    check(said.startsWith('Saved explore-p2mg-kick-0.93.png (' + size),
          `the ${size} download says so beside the pictures ("${said}")`);
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

  await margins(page, origin);
  await helpShown(page, origin);
  await kickSlider(page, origin, '1280x900');
  await copyAndNul(page, origin, context);
  await neverStalls(browser, origin);
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
    short: [...document.querySelectorAll('#explore button, #explore select, #explore input')]
      .filter((control) => control.offsetParent !== null &&
                           control.getBoundingClientRect().height < 44).map((control) => control.id),
  }));
  check(layout.wide <= 390 && layout.strip <= layout.controls,
        `on a phone the pictures come first and nothing scrolls sideways (${JSON.stringify(layout)})`);
  check(layout.short.length === 0,
        `on a phone every control is at least 44 CSS pixels tall (${layout.short.join(' ')})`);
  await kickSlider(phonePage, origin, '390x844');
  // A finger's drag: the browser's own handling of the slider must not take it over.
  await open(phonePage, origin, 'kick=0.9 size=600x100 length=100');
  const finger = await phone.newCDPSession(phonePage);
  const track = await phonePage.evaluate(() => {
    const field = document.getElementById('kick');
    // A touch lands where the screen shows it: the slider must be on the screen.
    field.scrollIntoView({ block: 'center' });
    const box = field.getBoundingClientRect();
    const position = (Number(field.value) - Number(field.min)) / (Number(field.max) - Number(field.min));
    return { x: box.left + 8 + position * (box.width - 16), y: box.top + box.height / 2 };
  });
  await finger.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [track] });
  const kicks = [];
  for (let pixel = 1; pixel <= 30; ++pixel) {
    await finger.send('Input.dispatchTouchEvent',
                      { type: 'touchMove', touchPoints: [{ x: track.x + pixel, y: track.y }] });
    kicks.push(Number(await phonePage.inputValue('#kick-number')));
  }
  await finger.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  const jumps = kicks.map((kick, index) => Math.abs(kick - (index === 0 ? 0.9 : kicks[index - 1])));
  check(Math.max(...jumps) <= 0.01 + 1e-9 && kicks.at(-1) > 0.9,
        `390x844: a finger's drag of 30 pixels a pixel at a time moves K by at most 0.01 a pixel ` +
        `(0.9 to ${kicks.at(-1)})`);
  await phone.close();
} catch (error) {
  failures.push('the test broke: ' + error.message);
  console.log(error);
} finally {
  clearTimeout(watchdog);
  if (browser) await browser.close();
  if (server) server.close();
  rmSync(work, { recursive: true, force: true });
}

// The scene line's value of a key.
function valueOf(line, key) {
  return line.match(new RegExp('(?:^| )' + key + '=([^ ]+)'))[1];
}

// The axes and readouts, outside the portrait: theta's ticks under it, p's left of it, labelled
// at the window's ends and at the multiples of pi/2; the pointer's theta and p as it moves; the
// portrait at a whole number of screen pixels per picture pixel.
async function margins(page, origin) {
  await open(page, origin, 'kick=0.8 size=1200x200 group=p2');
  const read = () => page.evaluate(() => {
    const box = (id) => document.getElementById(id).getBoundingClientRect();
    const labels = (id) => [...document.querySelectorAll('#' + id + ' .tick')]
      .map((tick) => tick.textContent);
    const portrait = document.getElementById('portrait');
    return {
      theta: labels('theta-axis'), p: labels('p-axis'), portrait: box('portrait').toJSON(),
      thetaAxis: box('theta-axis').toJSON(), pAxis: box('p-axis').toJSON(),
      readout: document.getElementById('readout').textContent.replace(/\s+/g, ' ').trim(),
      perPixel: box('portrait').width * devicePixelRatio / portrait.width,
    };
  });
  const whole = await read();
  const multiples = ['0', 'π/2', 'π', '3π/2', '2π'];
  check(JSON.stringify(whole.theta) === JSON.stringify(multiples) &&
        JSON.stringify(whole.p) === JSON.stringify([...multiples].reverse()),
        `the whole torus: theta's ticks ${whole.theta.join(' ')}, p's ${whole.p.join(' ')}`);
  check(whole.thetaAxis.top >= whole.portrait.bottom - 0.5 &&
        whole.pAxis.right <= whole.portrait.left + 0.5,
        'the axes stand outside the portrait, theta under it and p left of it');
  check(whole.readout.includes('kick K = 0.8') && whole.readout.includes('p2 or p211 (spinning-hop)'),
        `the readout gives the kick and the group by both names ("${whole.readout}")`);
  check(Number.isInteger(whole.perPixel) && whole.perPixel >= 1,
        `the portrait is drawn at a whole number of screen pixels per picture pixel (${whole.perPixel})`);
  const box = whole.portrait;
  await page.mouse.move(box.x + 0.25 * box.width, box.y + 0.75 * box.height);
  const pointed = (await read()).readout.match(/θ ([-0-9.]+), p ([-0-9.]+)/);
  check(pointed !== null && Math.abs(Number(pointed[1]) - Math.PI / 2) < 0.02 &&
        Math.abs(Number(pointed[2]) - Math.PI / 2) < 0.04,
        `the pointer a quarter across and up reads theta and p near pi/2 (${pointed?.[0]})`);
  // Zoomed in off the multiples: the ends are labelled with their values.
  await page.mouse.wheel(0, -300);
  const zoomed = await settled(page);
  const near = await read();
  const [from, to] = valueOf(zoomed.line, 'theta').split(':').map(Number);
  check(Number(near.theta[0]) === Number(from.toFixed(near.theta[0].split('.')[1]?.length ?? 0)) &&
        Number(near.theta.at(-1)) === Number(to.toFixed(near.theta.at(-1).split('.')[1]?.length ?? 0)),
        `zoomed in, theta's ends are labelled with the window's (${near.theta.join(' ')} for ` +
        `${from}:${to})`);
  check(samePixels(asPicture(zoomed), desktop(zoomed.line)),
        'with the axes around it the strip is still explore --export\'s, pixel for pixel');
}

// Help: the button and the ? key show every key and gesture and words on each control; Esc and ?
// hide it, leaving the scene as it was.
async function helpShown(page, origin) {
  const before = await open(page, origin, 'kick=0.7 size=600x100');
  const shown = () => page.evaluate(() => !document.getElementById('help').hidden);
  await page.click('#help-button');
  const listed = await page.evaluate(() => ({
    keys: [...document.querySelectorAll('#help-keys kbd')].map((key) => key.textContent),
    gestures: document.querySelectorAll('#help-gestures dt').length,
    controls: [...document.querySelectorAll('#help-controls dt')].map((term) => term.textContent),
    words: [...document.querySelectorAll('#help-controls dd')].every((dd) => dd.textContent.length > 20),
  }));
  const keysWanted = ['u', 'U', 'r', 'g', 'k', 'c', '[', ']', '+', '-', 'Enter', 'Page Up', '?'];
  check(await shown() && keysWanted.every((key) => listed.keys.includes(key)) &&
        listed.gestures >= 3 && listed.words &&
        ['Kick', 'Kept part', 'Palette seed', 'Seed-line step', 'Whole torus']
          .every((control) => listed.controls.includes(control)),
        `Help lists every key (${listed.keys.join(' ')}), the gestures and a sentence on each ` +
        `control (${listed.controls.join(', ')})`);
  await page.keyboard.press('Escape');
  const hiddenByEsc = !(await shown());
  await page.focus('#portrait');
  await page.keyboard.press('?');
  const shownByKey = await shown();
  await page.keyboard.press('?');
  const after = await settled(page);
  check(hiddenByEsc && shownByKey && !(await shown()) && after.line === before.line &&
        samePixels(asPicture(after), asPicture(before)),
        'Esc hides Help, ? shows and hides it, and the scene stays as it was');
  // The keys Help lists work on the focused portrait.
  await page.focus('#portrait');
  await page.keyboard.press(']');
  await page.keyboard.press('g');
  const keyed = await settled(page);
  check(valueOf(keyed.line, 'kick') === '0.71' && valueOf(keyed.line, 'group') !== valueOf(after.line, 'group'),
        `] and g on the focused portrait step the kick and the group (${keyed.line})`);
}

// The kick slider: a one-pixel drag anywhere |K| <= 2 moves K by at most 0.01 (and by something),
// and a press at either end of its track reaches the limit there.
async function kickSlider(page, origin, screen) {
  await open(page, origin, 'kick=0 size=600x100 length=100');
  const kickNow = async () => Number(valueOf((await settled(page)).line, 'kick'));
  const thumbAt = (kick) => page.evaluate((k) => {
    const field = document.getElementById('kick');
    const box = field.getBoundingClientRect();
    const position = (Number(field.value) - Number(field.min)) / (Number(field.max) - Number(field.min));
    return box.left + 8 + position * (box.width - 16);
  }, kick);
  const steps = [];
  let worst = 0;
  for (const start of ['-2', '-1.3', '0', '0.9', '1.99']) {
    await page.fill('#kick-number', start);
    await settled(page);
    const slider = await page.locator('#kick').boundingBox();
    const x = await thumbAt(start), y = slider.y + slider.height / 2;
    await page.mouse.move(x, y);
    await page.mouse.down();
    // Ten moves of a pixel each (those within |K| <= 2 counted).
    let last = Number(start);
    for (let pixel = 1; pixel <= 10; ++pixel) {
      await page.mouse.move(x + pixel, y);
      const now = Number(await page.inputValue('#kick-number'));
      if (Math.abs(now) <= 2 && Math.abs(last) <= 2) worst = Math.max(worst, Math.abs(now - last));
      last = now;
    }
    await page.mouse.up();
    steps.push(`${start}→${await kickNow()}`);
  }
  const slider = await page.locator('#kick').boundingBox();
  check(worst <= 0.01 + 1e-9 && !steps.some((step) => step.endsWith('→' + step.split('→')[0])),
        `${screen}: a pixel's drag of the ${slider.width.toFixed(0)}-pixel kick slider moves K by ` +
        `at most 0.01 where |K| <= 2 (the most ${worst.toFixed(3)}; ten pixels: ${steps.join(', ')})`);
  const ends = [];
  for (const end of [1, 0]) {
    const box = await page.locator('#kick').boundingBox();
    await page.mouse.click(box.x + (end ? box.width - 2 : 2), box.y + box.height / 2);
    ends.push(await kickNow());
  }
  check(ends[0] === 10 && ends[1] === -10,
        `${screen}: presses at the slider's ends reach kick ${ends.join(' and ')}`);
}

// Copying the line says so beside the pictures; a NUL in the address is refused and said so.
async function copyAndNul(page, origin, context) {
  await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin });
  const shown = await open(page, origin, 'kick=0.75 size=600x100');
  await page.click('#copy-line');
  await page.waitForFunction(() => document.getElementById('feedback').textContent !== '', null,
                             { timeout: 5000 }).catch(() => {});
  const said = await page.locator('#feedback').textContent();
  const copied = await page.evaluate(() => navigator.clipboard.readText()).catch(() => '');
  check(said === 'Copied the scene line.' && copied === shown.line,
        `Copy puts the line on the clipboard and says so ("${said}")`);
  const refused = await open(page, origin, 'kick=0.75\0 size=600x100');
  check(refused.message.includes('NUL') && refused.line === desktop_default(),
        `a NUL in the address is refused, said so, and the default scene shown ("${refused.message}")`);
}

// The largest scene (its tile and strip of nearly a hundred million pixels each): no task of the
// page's thread longer than 100 ms once its controls take changes, while its first picture comes
// (seconds later) and while a click and a zoom change it. (The page's start-up, its scripts read
// and the engine started, is the same for every scene; on a busy machine a task of it may pass
// 100 ms, and it is printed, not held against the scene.)
// One look at the largest scene: its first picture, a click and a wheel zoom, and the page's
// long tasks meanwhile.
async function stallsOnce(browser, origin) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  await context.addInitScript(() => {
    window.exploreLongTasks = [];
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) {
        window.exploreLongTasks.push({ start: entry.startTime, ms: Math.round(entry.duration) });
      }
    }).observe({ type: 'longtask', buffered: true });
  });
  const page = await context.newPage();
  // Polled by a timer: the test's own work stays off the page's frames.
  const rest = () => page.waitForFunction(() => {
    const status = document.getElementById('explore-status');
    return status.dataset.state === 'failed' || (status.dataset.state === 'shown' &&
      status.dataset.line === status.dataset.scene && !document.getElementById('kick').disabled);
  }, null, { timeout: 60_000, polling: 100 });
  await page.goto(origin + '/?program=explore&scene=' +
                  encodeURIComponent('kick=0.9 size=16383x5461 length=1'));
  await page.waitForFunction(() => document.getElementById('kick')?.disabled === false, null,
                             { timeout: 60_000, polling: 20 });
  const usableAt = await page.evaluate(() => performance.now());
  const drawn = await page.evaluate(() => document.getElementById('explore-status').dataset.line);
  await rest();
  const box = await page.locator('#portrait').boundingBox();
  await page.mouse.click(box.x + 0.3 * box.width, box.y + 0.4 * box.height);
  await rest();
  await page.mouse.move(box.x + 0.5 * box.width, box.y + 0.5 * box.height);
  await page.mouse.wheel(0, -300);
  await rest();
  const found = await page.evaluate(() => ({
    tasks: window.exploreLongTasks, state: document.getElementById('explore-status').dataset.state,
    line: document.getElementById('explore-status').dataset.line,
  }));
  const later = found.tasks.filter((task) => task.start + task.ms > usableAt).map((task) => task.ms);
  const before = found.tasks.filter((task) => task.start + task.ms <= usableAt).map((task) => task.ms);
  await context.close();
  return { drawn, found, later, before };
}

// A task's length is the wall clock's: on a machine whose cores other programs take, any task
// may stretch. A task the page's own work makes long shows in every look; a look the machine
// stretched does not repeat, so the best of three looks decides (each is printed).
async function neverStalls(browser, origin) {
  const looks = [];
  for (let look = 0; look < 3; ++look) {
    const seen = await stallsOnce(browser, origin);
    looks.push(seen);
    if (seen.later.every((ms) => ms <= 100)) break;
  }
  const words = looks.map((seen) => `long tasks from its controls' start, before its first ` +
    `picture: ${seen.later.join(', ') || 'none'} ms; in the start-up: ` +
    `${seen.before.join(', ') || 'none'} ms`).join(' | ');
  const last = looks.at(-1);
  check(last.drawn === undefined && last.found.state === 'shown' &&
        last.found.line.includes('orbit=') && last.later.every((ms) => ms <= 100),
        `the largest scene never holds the page's thread longer than 100 ms (${words})`);
}

function desktop_default() {
  const run = spawnSync(join(binDir, 'explore'), ['--export', join(work, 'default.png')],
                        { encoding: 'utf8' });
  return run.stdout.slice(run.stdout.indexOf('): ') + 3).trim();
}

console.log(failures.length === 0 ? 'PASS' : `FAIL: ${failures.length} check(s)`);
process.exit(failures.length === 0 ? 0 : 1);
